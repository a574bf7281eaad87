// tarvtool's packing, data-file and effect commands on bad input: what each says and its exit code.
#include "TaTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

class TarvtoolTest : public TaScratchTest
{
protected:
    int tool(const std::string& arguments)
    {
        return taTestRun(std::string(TARV_TOOL) + " " + arguments + " > out.txt 2> err.txt");
    }
};

TEST_F(TarvtoolTest, RefusalsSayWhy)
{
    writeFile("player", "#!engine#");
    writeFile("notes.txt", "not an archive");
    writeFile("a.txt", "a");
    writeFile("plain.hlsl", "float4 ps_main() : COLOR0 { return 1; }\n");
    writeFile("bad.dds", "DDS junk");
    writeFile("glass.hlsl", "/*\n[TARV_BEGIN]\n//config baseMaterial : glass\n[TARV_END]\n*/\n"
                            "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n"
                            "float4 ps_main() : COLOR0 { return 1; }\n");
    writeFile("typo.hlsl", "/*\n[TARV_BEGIN]\nflaot4 tint : 0\n[TARV_END]\n*/\n");
    struct { const char* what; const char* arguments; int status; const char* output; } cases[] = {
        {"stamp a text file", "stamp player notes.txt", 1, "'notes.txt' is not a ZIP archive"},
        {"stamp onto a missing file", "stamp nothere notes.txt", 1, "cannot open 'nothere': No such file or directory"},
        {"stamp a missing archive", "stamp player nothere.zip", 1, "cannot open 'nothere.zip': No such file or directory"},
        {"packinfo on a missing file", "packinfo nothere", 1, "cannot open 'nothere': No such file or directory"},
        {"zip: an entry above the archive", "zip out.zip . ../up.txt=a.txt", 1, "leaves the extraction folder"},
        {"zip: an absolute entry", "zip out.zip . /etc/a.txt=a.txt", 1, "absolute path"},
        {"zip: an empty entry name", "zip out.zip . =a.txt", 1, "empty name"},
        {"datafiles: no such directory", "datafiles no/such/dir", 1, "'no/such/dir' is not a directory"},
        {"fx dump without a Tarv block", "fx dump plain.hlsl", 0, "warning: plain.hlsl: no [TARV_BEGIN] block"},
        {"fx dump with an unknown type", "fx dump typo.hlsl", 0, "unknown declaration type 'flaot4'"},
        {"fx check of a base material it does not know", "fx check glass.hlsl", 1,
         "glass.hlsl does not build: Invalid base material annotation glass"},
        {"tex of a damaged DDS file", "tex bad.dds", 1, "Could not load texture 'bad.dds': the header is truncated"},
        {"tex of a missing file", "tex nothere.png", 1, "no texture made of 'nothere.png' (the file is not found)"},
        {"tex gen of an unknown name", "tex gen Noise x.png", 1, "'Noise' is not a generated texture"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tool(c.arguments), c.status) << c.what << ": " << readFile("err.txt");
        EXPECT_NE(readFile("err.txt").find(c.output), std::string::npos) << c.what << ": " << readFile("err.txt");
    }
    EXPECT_FALSE(exists("out.zip"));
    EXPECT_EQ(readFile("player"), "#!engine#");

    // A good archive stamps; the data-file listing ends with its tally.
    ASSERT_EQ(tool("zip good.zip . a.txt"), 0) << readFile("err.txt");
    EXPECT_EQ(tool("stamp player good.zip"), 0) << readFile("err.txt");
    tool(std::string("datafiles ") + TARV_SOURCE_DIR + "/data");
    EXPECT_NE(readFile("out.txt").find(" files found; "), std::string::npos) << readFile("out.txt");
}

TEST_F(TarvtoolTest, FxCheckListsConstantsAndSamplers)
{
    writeFile("check.hlsl", "/*\n[TARV_BEGIN]\n//float4x4 WVP : WorldViewProjection : vertex\n"
                            "//float4 Tint : 1,1,1,1 : pixel\n//texture 2 : : srgb\n[TARV_END]\n*/\n"
                            "float4x4 WVP; float4 Tint; sampler2D Base : register(s2);\n"
                            "float4 vs_main(float3 p : POSITION) : POSITION { return mul(WVP, float4(p, 1)); }\n"
                            "float4 ps_main() : COLOR0 { return Tint * tex2D(Base, Tint.xy); }\n");
    ASSERT_EQ(tool("fx check check.hlsl"), 0) << readFile("err.txt");
    const std::string out = readFile("out.txt");
    EXPECT_NE(out.find("vertex constant WVP"), std::string::npos) << out;
    EXPECT_NE(out.find("WorldViewProjectionTranspose -> Transform"), std::string::npos) << out;
    EXPECT_NE(out.find("-> its value"), std::string::npos) << out;
    EXPECT_NE(out.find("pixel sampler  Tex__2"), std::string::npos) << out;
    EXPECT_NE(out.find("texture layer 2: (no texture) (sRGB)"), std::string::npos) << out;
}

TEST_F(TarvtoolTest, TexDescribesWhatTheManagerMakes)
{
    // A generated texture written as a picture is read back as a 2D texture with its mip chain; as a
    // strip it is refused with the manager's message.
    ASSERT_EQ(tool("tex gen RandVec vec.png"), 0) << readFile("err.txt");
    ASSERT_EQ(tool("tex vec.png"), 0) << readFile("err.txt");
    EXPECT_NE(readFile("out.txt").find("kind: 2D\nsize: 512 x 512\n"), std::string::npos) << readFile("out.txt");
    EXPECT_NE(readFile("out.txt").find("mip levels: 10\n"), std::string::npos) << readFile("out.txt");
    EXPECT_EQ(tool("tex vec.png -volume"), 1);
    EXPECT_NE(readFile("err.txt").find("convertion 2D->3D requires R8G8B8 format"), std::string::npos);
}

} // namespace

namespace {

TEST_F(TarvtoolTest, SceneSaysWhatItMadeAndWhatIsMissing)
{
    const std::string city = std::string(TARV_SOURCE_DIR) + "/samples/city/";
    ASSERT_EQ(tool("scene " + city + "city.tscn"), 0) << readFile("err.txt");
    const std::string out = readFile("out.txt");
    for (const char* line : {"frames: 0 to 120, step 4, 30 frames per second", "light 2: spot, shadow map",
                             "object 2 'Block1': Objects/block.obj, loaded", "object 4 'Block2': Objects/block.obj, clone of 2",
                             "  surface 0 'Brick': USE_TEX_COLOR USE_TEX_LUMINOSITY USE_TEX_NORMAL",
                             "meshes loaded: 6 for 12 objects"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    // The sample's binary form is the text form through tf tobin.
    ASSERT_EQ(tool("tf tobin " + city + "city.tscn city.tarv"), 0) << readFile("err.txt");
    std::ifstream committed(city + "city.tarv", std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(committed)), std::istreambuf_iterator<char>());
    EXPECT_EQ(readFile("city.tarv"), bytes) << "samples/city/city.tarv is behind city.tscn: run tarvtool tf tobin";

    writeFile("broken/scene.tscn", "{ Scene\n  { Objects\n    { A\n      name STR A\n      xfilename STR none.obj\n"
                                   "      filename STR a.lwo\n    }\n    { B\n      name STR B\n    }\n  }\n}\n");
    EXPECT_EQ(tool("scene broken/scene.tscn"), 1);
    const std::string broken = readFile("out.txt");
    for (const char* line : {"cameras: 0", "object 1 'A': none.obj, FAILED", "object 2 'B': (none), FAILED",
                             "missing: none.obj", "message: There is no camera in the scene",
                             "message: The object id=1 'none.obj' cannot be loaded"})
        EXPECT_NE(broken.find(line), std::string::npos) << line << "\n" << broken;
    writeFile("notes.tscn", "not a scene\n");
    EXPECT_EQ(tool("scene notes.tscn"), 1);
    EXPECT_NE(readFile("err.txt").find("Failed to load scene file 'notes.tscn'"), std::string::npos)
        << readFile("err.txt");
    EXPECT_EQ(tool("scene"), 2);
}

TEST_F(TarvtoolTest, SendFrameRefusalsSayWhy)
{
    // Rows that need a display to say there is no such window get a fresh virtual one of their own.
    const bool virtualDisplay = taTestRun("command -v xvfb-run > /dev/null") == 0;
    const char* const noDisplay = "env -u DISPLAY ";
    const char* const emptyDisplay = "xvfb-run -a -s '-screen 0 64x64x24' ";
    const struct {
        const char* what;
        const char* prefix;
        const char* arguments;
        int status;
        const char* output;
    } cases[] = {
        {"no frame", noDisplay, "sendframe 0x400001", 2, "usage: tarvtool sendframe WINDOW-OR-PID FRAME"},
        {"a frame that is not a number", noDisplay, "sendframe 0x400001 12a", 2, "'12a' is not a frame number"},
        {"a frame with a plus sign", noDisplay, "sendframe 0x400001 +12", 2, "'+12' is not a frame number"},
        {"a frame beyond 32 bits", noDisplay, "sendframe 0x400001 2147483648", 2, "'2147483648' is not a frame number"},
        {"a target that is no number", noDisplay, "sendframe viewer 12", 2,
         "'viewer' is neither a window id nor a process id"},
        {"a target of 0", noDisplay, "sendframe 0 12", 2, "'0' is neither a window id nor a process id"},
        {"a hexadecimal target without digits", noDisplay, "sendframe 0x 12", 2,
         "'0x' is neither a window id nor a process id"},
        {"no display", noDisplay, "sendframe 0x400001 12", 1, "cannot open the X display: DISPLAY is not set"},
        {"no such window", emptyDisplay, "sendframe 0x1fffff0 12", 1, "no window 0x1fffff0 on the display"},
        {"no window of the process", emptyDisplay, "sendframe 4194305 -3", 1,
         "no window of process 4194305 and no window 4194305 on the display"},
    };
    for (const auto& c : cases) {
        if (c.prefix == emptyDisplay && !virtualDisplay)
            continue;
        const std::string command = std::string(TARV_TOOL) + " " + c.arguments + " > out.txt 2> err.txt";
        int status = -1;
        if (c.prefix == noDisplay) {
            status = taTestRun(c.prefix + command);
        } else {
            // The tool's own status, written inside the virtual display's session: xvfb-run's may
            // instead tell of its clean-up, and a display number taken by a parallel test at the same
            // moment keeps the server from starting, so that is tried again.
            for (int attempt = 0; attempt < 3 && status < 0; ++attempt) {
                std::remove("status.txt");
                taTestRun(std::string(c.prefix) + "sh -c '" + command + "; echo $? > status.txt'");
                const std::string written = readFile("status.txt");
                if (!written.empty())
                    status = std::atoi(written.c_str());
            }
        }
        EXPECT_EQ(status, c.status) << c.what << ": " << readFile("err.txt");
        EXPECT_NE(readFile("err.txt").find(c.output), std::string::npos) << c.what << ": " << readFile("err.txt");
        EXPECT_EQ(readFile("out.txt"), "") << c.what;
    }
    if (!virtualDisplay)
        GTEST_SKIP() << "xvfb-run is not installed (tools/setup.sh installs it): the rows with a display did not run";
}

} // namespace
