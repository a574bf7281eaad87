// Start-up and run-mode dispatch: exit results, what each mode is handed, packed copies.
#include "app/TaCommandLine.h"
#include "app/TaRunModes.h"
#include "core/TaLog.h"
#include "engine/TaDialogs.h"
#include "engine/TaEngine.h"
#include "files/TaFile.h"

#include "TaTestSupport.h"

#include <string>
#include <vector>

namespace {

// The whole start-up, in-process: what the engine answers for files and commands of this build.
// Without a display, so that messages and dialogs stay on standard error.
class TaStartupTest : public TaScratchTest
{
protected:
    // A setup file that starts the engine headless.
    void writeHeadlessSetup() { writeFile("tarv-setup.ini", "[Setup]\ndriver = null\naudio = null\n"); }

    TaNoDisplay m_noDisplay;
};

// The shipped executable's own dispatch, with the run modes it registers: its exit status (0 for a
// run that went to its end, 255 for every failure) and what it says.
TEST_F(TaStartupTest, ExitResults)
{
    writeHeadlessSetup();
    writeFile("hello.lua", "print('hello from a script')\n");
    writeFile("good.tscn", "{ Scene\n  { Cameras\n    { Camera\n    }\n  }\n}\n");
    // A demo of one empty part that ends after 100 ms.
    writeFile("short.demo.ini", "[part1]\ntime = 0\n[end_part]\ntime = 100\n");
    writeFile("started.lua", "ta.Setup(64, 48) ta.Sync() ta.Term() print('started')\n");
    writeFile("syntax.lua", "print('fine')\nlocal = 3\n");
    writeFile("raises.lua", "error('stopped on purpose')\n");
    // As Lua's own loader: a byte-order mark and a "#" first line are skipped, lines still counted.
    writeFile("marked.lua", "\xEF\xBB\xBF#!/usr/bin/env tarv\nprint('marked')\nerror('line three')\n");
    struct { const char* args; int status; const char* output; } cases[] = {
        {"readme", 255, "File format of 'readme' is not supported"},
        {"-windowed 0 a.txt", 255, "File format of 'a.txt' is not supported"},
        {"scene.lws.ini", 255, "Failed to load scene"},
        {"-binary a.tscn", 255, "Failed to load scene file 'a.tscn'"},
        {"-binary good.tscn", 0, "Tarv Engine scene viewer ended"},
        {"-binary", 255, "No display to show the file requester on: cancelled"},
        {"intro.demo.ini", 255, "Fail to parse ini"},
        {"-driver null -audio null short.demo.ini", 0, ""},
        {"-demoexe out intro.demo.ini", 255, "Failed to load ini file intro.demo.ini"},
        {"-exersc out", 0, "as resource 501"},
        {"-extract", 255, "carries no packed scene"},
        {"-driver dx9 a.tscn", 255, "unknown driver"},
        {"-driver opengl a.tscn", 255, "Setup failed: fails to createDevice"},
        {"", 255, "file requester"},
        {"-driver null -audio null hello.lua", 0, "hello from a script"},
        {"-driver null -audio null started.lua", 0, "started"},
        // A mode that fails fails the run.
        {"-driver null -audio null missing.lua", 255, "cannot open missing.lua"},
        {"-driver null -audio null syntax.lua", 255, "syntax.lua:2:"},
        {"-driver null -audio null raises.lua", 255, "raises.lua:1: stopped on purpose"},
        {"-driver null -audio null marked.lua", 255, "marked.lua:3: line three"},
        {"-driver opengl -audio null started.lua", 255, "Setup failed: fails to createDevice"},
        {"missing.x", 255, "Failed to load object missing.x"},
    };
    for (const auto& c : cases) {
        const int status = taTestRun(std::string(TARV_EXECUTABLE) + " " + c.args + " > out.txt 2>&1");
        const std::string out = readFile("out.txt");
        EXPECT_EQ(status, c.status) << c.args << "\n" << out;
        EXPECT_NE(out.find(c.output), std::string::npos) << c.args << "\n" << out;
    }
}

// In-process, without the modes registered: a run mode this build lacks is reported once the
// engine has started, and the start fails.
TEST_F(TaStartupTest, ModesNotRegisteredAreReported)
{
    writeHeadlessSetup();
    struct { std::vector<std::string> args; const char* message; } cases[] = {
        {{"a.OBJ"}, "The object viewer is not part of this build yet"},
        {{"main.lua"}, "The script host is not part of this build yet"},
    };
    for (const auto& c : cases) {
        TaLogCapture log;
        TaArgs args(c.args);
        EXPECT_EQ(taMain(args.argc(), args.argv()), -1) << c.args[0];
        EXPECT_TRUE(log.contains(c.message)) << c.message;
    }
}

// A stand-in for a run mode, recording what dispatch hands it.
struct STaSeenRequest {
    int calls = 0;
    int mode = 0;
    std::string file;
    bool hasSetup = false;
    STaSetupParams setup;
    STaViewerOptions viewer;
};
STaSeenRequest g_seen;

int recordRequest(const STaRunRequest& request)
{
    ++g_seen.calls;
    g_seen.mode = request.mode;
    g_seen.file = request.file ? request.file : "";
    g_seen.hasSetup = request.setup != nullptr;
    if (request.setup)
        g_seen.setup = *request.setup;
    g_seen.viewer = request.viewer;
    return 0;
}

int countDialog(STaScreenMode*, void* user)
{
    ++*static_cast<int*>(user);
    return -1; // closed without Start
}

class TaDispatchTest : public TaStartupTest
{
protected:
    void SetUp() override
    {
        TaStartupTest::SetUp();
        g_seen = STaSeenRequest();
        for (int mode = ETAMODE_OBJECT_VIEWER; mode <= ETAMODE_SCRIPT; ++mode)
            taSetRunMode(mode, recordRequest);
    }
    void TearDown() override
    {
        for (int mode = ETAMODE_OBJECT_VIEWER; mode <= ETAMODE_SCRIPT; ++mode)
            taSetRunMode(mode, nullptr);
        taSetScreenModeDialogHandler(nullptr, nullptr);
        TaStartupTest::TearDown();
    }
    int run(std::vector<std::string> arguments)
    {
        TaArgs args(std::move(arguments));
        return taMain(args.argc(), args.argv());
    }
};

TEST_F(TaDispatchTest, ViewerStartsInAWindowWithoutAskingAndWithItsOptions)
{
    int dialogs = 0;
    taSetScreenModeDialogHandler(countDialog, &dialogs);
    ASSERT_EQ(run({"-driver", "null", "-audio", "null", "-paused", "-framestart", "30", "city.tscn"}), 0);
    EXPECT_EQ(dialogs, 0);
    ASSERT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.mode, ETAMODE_SCENE_VIEWER);
    EXPECT_EQ(g_seen.file, "city.tscn");
    ASSERT_TRUE(g_seen.hasSetup);
    EXPECT_EQ(g_seen.setup.width, 640);
    EXPECT_EQ(g_seen.setup.height, 480);
    EXPECT_EQ(g_seen.setup.windowed, -1);
    EXPECT_EQ(g_seen.viewer.flags, 0x21u | 0x04 | 0x08);
    EXPECT_EQ(g_seen.viewer.frameStart, 30);
}

TEST_F(TaDispatchTest, DemoWithoutSetupFileAsksAndFailsWhenClosed)
{
    int dialogs = 0;
    taSetScreenModeDialogHandler(countDialog, &dialogs);
    EXPECT_EQ(run({"intro.demo.ini"}), -1);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(g_seen.calls, 0);
}

TEST_F(TaDispatchTest, CommandLineFullScreenBeatsTheSetupFile)
{
    // The setup file is found in the executable's directory, so put one in the current directory.
    writeFile("tarv-setup.ini", "[Setup]\nwindowed = yes\ndisplay = 800 600\ndriver = null\naudio = null\n");
    ASSERT_EQ(run({"-windowed", "0", "intro.demo.ini"}), 0);
    ASSERT_TRUE(g_seen.hasSetup);
    EXPECT_EQ(g_seen.setup.windowed, 0);
    EXPECT_EQ(g_seen.setup.width, 800);
}

TEST_F(TaDispatchTest, ScriptsReadNoSetupButKeepTheDriverChoice)
{
    ASSERT_EQ(run({"-driver", "null", "-audio", "null", "main.lua"}), 0);
    EXPECT_EQ(g_seen.mode, ETAMODE_SCRIPT);
    EXPECT_FALSE(g_seen.hasSetup);
    EXPECT_EQ(taGetCommandLine().driver, ETADRIVER_NULL);
    EXPECT_STREQ(taGetCommandLine().audio, "null");
    EXPECT_STREQ(taGetDataDirectory(), taGetExeDirectory());
}

// A device lost beyond recovery ends the mode's loop and fails the run instead of ending the
// process with success.
int loseTheDevice(const STaRunRequest&)
{
    taSetPrecalculatedRenderTargets();
    taFireDeviceReset();
    int frames = 0;
    while (taRun() && frames < 100) {
        Sync();
        ++frames;
    }
    return frames == 1 ? 0 : 1;
}

TEST_F(TaDispatchTest, ALostDeviceFailsTheRun)
{
    writeHeadlessSetup();
    taSetRunMode(ETAMODE_OBJECT_VIEWER, loseTheDevice);
    TaLogCapture log;
    EXPECT_EQ(run({"cube.x"}), -1);
    EXPECT_TRUE(log.contains("Graphic Device lost, cannot re-create rendered textures, exiting"));
    EXPECT_TRUE(taIsDeviceLost());
    // The next start begins afresh.
    ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL)), 0);
    EXPECT_FALSE(taIsDeviceLost());
    EXPECT_TRUE(Sync());
    taShutdown();
}

TEST_F(TaDispatchTest, BinaryLoadsWithoutSetup)
{
    ASSERT_EQ(run({"-binary", "scene.lws.ini.bin"}), 0);
    EXPECT_EQ(g_seen.mode, ETAMODE_SCENE_VIEWER);
    EXPECT_FALSE(g_seen.hasSetup);
    EXPECT_EQ(g_seen.viewer.flags, 0x23u);
    EXPECT_EQ(g_seen.file, "scene.lws.ini.bin");
}

// A copy of the real executable with packed data: its command line no longer matters.
TEST_F(TaStartupTest, PackedCopyIgnoresItsArgumentsButExtract)
{
    ASSERT_EQ(taTestRun(std::string("cp ") + TARV_EXECUTABLE + " player"), 0);
    writeFile("content/tarv.tscn", "scene");
    writeFile("content/wood.png", "png");
    writeFile("content/scene_backup/city.lws", "lws");
    // A packed copy carries the engine's own effect files and textures.
    ASSERT_EQ(taTestRun("cp -r '" TARV_DATA_DIR "/shaders' '" TARV_DATA_DIR "/textures' content/"), 0);
    ASSERT_EQ(taTestRun("cd content && zip -q -r ../scene.zip ."), 0);
    ASSERT_EQ(taTestRun(std::string(TARV_TOOL) + " stamp player scene.zip 500"), 0);

    // Without a setup file the screen-mode dialog is asked for, and no display means cancelled.
    EXPECT_EQ(taTestRun("./player > out.txt 2>&1"), 255);
    EXPECT_NE(readFile("out.txt").find("screen-mode dialog"), std::string::npos) << readFile("out.txt");
    // With one, the engine starts and the archive's scene picks the mode.
    writeHeadlessSetup();
    EXPECT_EQ(taTestRun("./player -windowed 0 a.txt > out.txt 2>&1"), 255);
    const std::string out = readFile("out.txt");
    EXPECT_EQ(out.find("not supported"), std::string::npos) << out;
    // The archive's tarv.tscn is no scene document: the viewer says so.
    EXPECT_NE(out.find("Failed to load scene file 'tarv.tscn'"), std::string::npos) << out;

    // The shader set stamped beside the scene leaves the scene in place.
    writeFile("shaders/water.hlsl", "float4 ps_main() : COLOR0 { return 1; }\n");
    ASSERT_EQ(taTestRun("zip -q -r shaders.zip shaders"), 0);
    ASSERT_EQ(taTestRun(std::string(TARV_TOOL) + " stamp player shaders.zip 501"), 0);
    EXPECT_EQ(taTestRun("./player -extract > out.txt 2>&1"), 0) << readFile("out.txt");
    EXPECT_EQ(readFile("ExeExtract/Scenes/city.lws"), "lws");
    EXPECT_EQ(readFile("ExeExtract/Images/wood.png"), "png");

    // The same archive beside a plain copy, as a ".dat" file.
    ASSERT_EQ(taTestRun(std::string("cp ") + TARV_EXECUTABLE + " other && cp scene.zip other.dat"), 0);
    EXPECT_EQ(taTestRun("./other a.txt > out.txt 2>&1"), 255);
    EXPECT_NE(readFile("out.txt").find("Failed to load scene file 'tarv.tscn'"), std::string::npos);
    EXPECT_EQ(taTestRun("./other -extract > out.txt 2>&1"), 255);
    EXPECT_NE(readFile("out.txt").find("Failed to open archive"), std::string::npos);
}

// A packed script demo runs with the setup file beside it: its audio output (here a WAV capture)
// holds for the script's Setup too.
TEST_F(TaStartupTest, PackedScriptHonoursTheSetupFile)
{
    ASSERT_EQ(taTestRun(std::string("cp ") + TARV_EXECUTABLE + " intro"), 0);
    writeFile("content/main.lua", "ta.Setup(64, 48) ta.Sync() ta.Term() print('packed script ran')\n");
    ASSERT_EQ(taTestRun("cp -r '" TARV_DATA_DIR "/shaders' '" TARV_DATA_DIR "/textures' content/"), 0);
    ASSERT_EQ(taTestRun("cd content && zip -q -r ../intro.zip ."), 0);
    ASSERT_EQ(taTestRun(std::string(TARV_TOOL) + " stamp intro intro.zip"), 0);
    writeFile("tarv-setup.ini", "[Setup]\ndriver = null\naudio = wav:" + m_dir + "/captured.wav\n");
    EXPECT_EQ(taTestRun("./intro > out.txt 2>&1"), 0) << readFile("out.txt");
    EXPECT_NE(readFile("out.txt").find("packed script ran"), std::string::npos) << readFile("out.txt");
    EXPECT_EQ(readFile("captured.wav").substr(0, 4), "RIFF");
}

TEST_F(TaStartupTest, TheExecutableExitsWith255OnFailure)
{
    EXPECT_EQ(taTestRun(std::string(TARV_EXECUTABLE) + " readme > out.txt 2>&1"), 255);
    EXPECT_NE(readFile("out.txt").find("File format of 'readme' is not supported"), std::string::npos);
}

} // namespace
