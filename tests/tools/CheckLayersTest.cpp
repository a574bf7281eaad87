// The layer check the build runs before compiling: includes must point down the layers, and GL,
// X11 and Lua headers stay in the folders that own them.
#include "TaTestSupport.h"

#include <string>

namespace {

const std::string kLayers = "platform core files pack driver effects nodes render particles music engine scene script demo app";

using CheckLayersTest = TaScratchTest;

TEST_F(CheckLayersTest, UpwardIncludesFailTheCheck)
{
    const std::string check = std::string(TARV_SOURCE_DIR) + "/tools/check-layers.sh";
    struct { const char* what; const char* file; const char* text; int status; const char* output; } cases[] = {
        {"down the layers", "engine/TaEngine.cpp", "#include \"core/TaLog.h\"\n#include \"render/TaRenderer.h\"\n", 0, ""},
        {"within a layer and its subfolder", "driver/TaNull.cpp", "#include \"driver/gl/TaGL.h\"\n", 0, ""},
        {"a folder that is no layer", "scene/TaScene.cpp", "#include \"tests/TaTestSupport.h\"\n", 0, ""},
        {"up from the log", "core/TaLog.cpp", "#include \"engine/TaEngine.h\"\n", 1,
         "core/TaLog.cpp:1: core/ includes a header of the higher layer engine/"},
        {"up from a subfolder", "driver/gl/TaGL.cpp", "int a;\n#  include \"effects/TaEffectDef.h\"\n", 1,
         "driver/gl/TaGL.cpp:2: driver/ includes a header of the higher layer effects/"},
        {"sideways to a higher neighbour", "music/TaMusic.h", "#include \"engine/TaEngine.h\"\n", 1, "higher layer engine/"},
        {"GL outside driver/gl", "render/TaRenderer.cpp", "#include <GL/gl.h>\n", 1, "OpenGL headers belong in driver/gl/"},
        {"X11 outside platform", "engine/TaInput.cpp", "#include <X11/Xlib.h>\n", 1, "X11 headers belong in platform/"},
        {"Lua outside script", "scene/TaObjects.cpp", "#include <lua.hpp>\n", 1, "Lua belongs in script/"},
    };
    for (const auto& c : cases) {
        taTestRun("rm -rf tree");
        writeFile(std::string("tree/") + c.file, c.text);
        const int status = taTestRun(check + " tree " + kLayers + " > out.txt 2>&1");
        const std::string out = readFile("out.txt");
        EXPECT_EQ(status, c.status) << c.what << "\n" << out;
        EXPECT_NE(out.find(c.output), std::string::npos) << c.what << "\n" << out;
    }
    // The engine's own sources pass.
    EXPECT_EQ(taTestRun(check + " " + TARV_SOURCE_DIR + " " + kLayers + " > out.txt 2>&1"), 0) << readFile("out.txt");
}

} // namespace
