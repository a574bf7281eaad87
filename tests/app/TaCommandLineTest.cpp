// The command line: classification, options, bad values and the start-up exits.
#include "app/TaCommandLine.h"
#include "core/TaLog.h"
#include "engine/TaDialogs.h"
#include "app/TaRunModes.h"
#include "files/TaFile.h"

#include "TaTestSupport.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// argv for a list of arguments after the program name.
struct TaArgs {
    explicit TaArgs(std::vector<std::string> arguments) : texts(std::move(arguments))
    {
        texts.insert(texts.begin(), "tarv");
        for (auto& text : texts)
            pointers.push_back(&text[0]);
        pointers.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(texts.size()); }
    char** argv() { return pointers.data(); }
    std::vector<std::string> texts;
    std::vector<char*> pointers;
};

STaCommandLine parse(std::vector<std::string> arguments, int* result = nullptr)
{
    TaArgs args(std::move(arguments));
    STaCommandLine commandLine = taDefaultCommandLine();
    int r = taParseOptions(args.argc(), args.argv(), &commandLine);
    if (result)
        *result = r;
    return commandLine;
}

TEST(TaCommandLineTest, FileNamesChooseTheRunMode)
{
    struct { const char* name; int mode; } cases[] = {
        {"scene.lws.ini", ETAMODE_SCENE_VIEWER},
        {"scene.lws.ini.bin", ETAMODE_SCENE_VIEWER},
        {"intro.demo.ini", ETAMODE_DEMO},
        {"intro.demo.ini.bak", ETAMODE_DEMO},
        {"a.OBJ", ETAMODE_OBJECT_VIEWER},
        {"ship.x", ETAMODE_OBJECT_VIEWER},
        {"ship.LWO", ETAMODE_OBJECT_VIEWER},
        {"city.tscn", ETAMODE_SCENE_VIEWER},
        {"city.Tarv", ETAMODE_SCENE_VIEWER},
        {"main.lua", ETAMODE_SCRIPT},
        {"main.tlua", ETAMODE_SCRIPT},
        {"dir.x/readme", ETAMODE_NONE},
        {"readme", ETAMODE_NONE},
        {"a.txt", ETAMODE_NONE},
        {"a.", ETAMODE_NONE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(taClassifyFile(c.name), c.mode) << c.name;
}

TEST(TaCommandLineTest, OptionsFillScreenModeViewerAndCapture)
{
    STaCommandLine cl = parse({"-display", "800x600", "-windowed", "0", "-windowpos", "10,-20", "-stereo", "2",
                               "-vsync", "0", "-framestart", "15", "-paused", "-ride", "-rideopts", "3",
                               "-ridespeed", "-4", "-nomusic", "-syncupdate", "-noidleinactive", "-cap", "shot",
                               "-capfps", "60", "-driver", "null", "-audio", "wav:out.wav", "city.tscn", "other.x"});
    EXPECT_EQ(cl.screenMode.width, 800);
    EXPECT_EQ(cl.screenMode.height, 600);
    EXPECT_EQ(cl.screenMode.windowed, 0);
    EXPECT_EQ(cl.screenMode.windowX, 10);
    EXPECT_EQ(cl.screenMode.windowY, -20);
    EXPECT_EQ(cl.screenMode.stereo, 2);
    EXPECT_EQ(cl.screenMode.vsync, 0);
    EXPECT_EQ(cl.screenMode.bpp, -1);
    EXPECT_EQ(cl.viewer.flags, 0x01u | 0x04 | 0x08 | 0x10 | 0x40 | 0x80);
    EXPECT_EQ(cl.viewer.frameStart, 15);
    EXPECT_EQ(cl.viewer.rideOpts, 3);
    EXPECT_EQ(cl.viewer.rideSpeed, -4);
    EXPECT_STREQ(cl.captureBase, "shot");
    EXPECT_FLOAT_EQ(cl.captureFps, 60.0f);
    EXPECT_EQ(cl.driver, ETADRIVER_NULL);
    EXPECT_STREQ(cl.audio, "wav:out.wav");
    EXPECT_STREQ(cl.file, "city.tscn");
}

TEST(TaCommandLineTest, DefaultsWithoutOptions)
{
    STaCommandLine cl = parse({});
    EXPECT_EQ(cl.viewer.flags, 0x21u);
    EXPECT_FLOAT_EQ(cl.captureFps, 30.0f);
    EXPECT_STREQ(cl.file, "");
    EXPECT_STREQ(cl.captureBase, "");
    EXPECT_EQ(cl.driver, ETADRIVER_DEFAULT);
    EXPECT_EQ(cl.screenMode.width, -1);
}

// Bad or incomplete values are ignored with a warning; the rest of the line still counts.
TEST(TaCommandLineTest, BadValuesAreIgnoredWithAWarning)
{
    struct { std::vector<std::string> args; const char* warning; } cases[] = {
        {{"-display", "800"}, "-display"},
        {{"-display", "800x"}, "-display"},
        {{"-display", "99999999999x600"}, "-display"},
        {{"-windowpos", "5"}, "-windowpos"},
        {{"-windowed", "yes"}, "-windowed"},
        {{"-vsync", "99999999999"}, "-vsync"},
        {{"-framestart", "12abc"}, "-framestart"},
        {{"-capfps", "fast"}, "-capfps"},
        {{"-capfps", "-5"}, "-capfps"},
        {{"-capfps", "nan"}, "-capfps"},
        {{"-stereo"}, "needs a value"},
    };
    for (const auto& c : cases) {
        TaLogCapture log;
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "a.tscn");
        int result = 0;
        STaCommandLine cl = parse(args, &result);
        const STaCommandLine defaults = taDefaultCommandLine();
        EXPECT_EQ(result, 0) << c.args[0];
        EXPECT_TRUE(log.contains(c.warning)) << c.args[0];
        EXPECT_EQ(cl.screenMode.width, -1);
        EXPECT_EQ(cl.screenMode.windowX, -1);
        EXPECT_EQ(cl.screenMode.windowed, -1);
        EXPECT_EQ(cl.screenMode.vsync, -1);
        EXPECT_EQ(cl.screenMode.stereo, -1);
        EXPECT_EQ(cl.viewer.flags, defaults.viewer.flags);
        EXPECT_FLOAT_EQ(cl.captureFps, 30.0f);
        EXPECT_STREQ(cl.file, "a.tscn");
    }
}

TEST(TaCommandLineTest, CaptureRateZeroMeansThirty)
{
    EXPECT_FLOAT_EQ(parse({"-capfps", "0"}).captureFps, 30.0f);
    EXPECT_FLOAT_EQ(parse({"-capfps", "23.976"}).captureFps, 23.976f);
}

TEST(TaCommandLineTest, ValueOptionConsumesTheNextArgumentEvenIfItLooksLikeAFile)
{
    STaCommandLine cl = parse({"-cap", "intro.demo.ini"});
    EXPECT_STREQ(cl.captureBase, "intro.demo.ini");
    EXPECT_STREQ(cl.file, "");
}

TEST(TaCommandLineTest, OverlongPathsAndUnknownChoicesFail)
{
    TaLogCapture log;
    const std::string longName(TA_MAX_PATH, 'n');
    struct { std::vector<std::string> args; const char* message; } cases[] = {
        {{longName + ".tscn"}, "longer than 259"},
        {{"-cap", longName}, "longer than 259"},
        {{"-driver", "vulkan"}, "unknown driver 'vulkan'"},
        {{"-audio", "alsa"}, "unknown audio output 'alsa'"},
        {{"-audio", "wav:"}, "unknown audio output 'wav:'"},
    };
    for (const auto& c : cases) {
        int result = 0;
        parse(c.args, &result);
        EXPECT_EQ(result, -1) << c.message;
        EXPECT_TRUE(log.contains(c.message)) << c.message;
    }
}

TEST(TaCommandLineTest, UserLogRaisesTheThresholdAndSilencesBoxes)
{
    parse({"-userlog"});
    EXPECT_EQ(taGetLogLevel(), ETALOG_WARN);
    EXPECT_FALSE(taMessageBoxesEnabled());
    taSetLogLevel(ETALOG_INFO);
    taEnableMessageBoxes();
}

// The whole start-up, in-process: what the engine answers for files and commands of this build.
// Without a display, so that messages and dialogs stay on standard error.
class TaStartupTest : public TaScratchTest
{
protected:
    // A setup file that starts the engine headless.
    void writeHeadlessSetup() { writeFile("tarv-setup.ini", "[Setup]\ndriver = null\naudio = null\n"); }

    TaNoDisplay m_noDisplay;
};

TEST_F(TaStartupTest, ExitResults)
{
    writeHeadlessSetup();
    struct { std::vector<std::string> args; int result; const char* message; } cases[] = {
        {{"readme"}, -1, "File format of 'readme' is not supported"},
        {{"a.txt"}, -1, "File format of 'a.txt' is not supported"},
        {{"-windowed", "0", "a.txt"}, -1, "File format of 'a.txt' is not supported"},
        {{"scene.lws.ini"}, -1, "The scene viewer is not part of this build yet"},
        {{"a.OBJ"}, -1, "The object viewer is not part of this build yet"},
        {{"intro.demo.ini"}, -1, "The demo player is not part of this build yet"},
        {{"main.lua"}, -1, "The script host is not part of this build yet"},
        {{"-binary", "a.tscn"}, -1, "The scene viewer is not part of this build yet"},
        {{"-demoexe", "out", "intro.demo.ini"}, -1, "packing command -demoexe"},
        {{"-exersc", "out"}, -1, "packing command -exersc"},
        {{"-extract"}, -1, "carries no packed scene"},
        {{"-driver", "dx9", "a.tscn"}, -1, "unknown driver"},
        {{"-driver", "opengl", "a.tscn"}, -1, "Setup failed: fails to createDevice"},
        {{}, -1, "file requester"},
    };
    for (const auto& c : cases) {
        TaLogCapture log;
        TaArgs args(c.args);
        EXPECT_EQ(taMain(args.argc(), args.argv()), c.result) << (c.args.empty() ? "" : c.args[0]);
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
    EXPECT_NE(out.find("The scene viewer is not part of this build yet, so 'tarv.tscn' cannot be opened"),
              std::string::npos) << out;

    EXPECT_EQ(taTestRun("./player -extract > out.txt 2>&1"), 0) << readFile("out.txt");
    EXPECT_EQ(readFile("ExeExtract/Scenes/city.lws"), "lws");
    EXPECT_EQ(readFile("ExeExtract/Images/wood.png"), "png");

    // The same archive beside a plain copy, as a ".dat" file.
    ASSERT_EQ(taTestRun(std::string("cp ") + TARV_EXECUTABLE + " other && cp scene.zip other.dat"), 0);
    EXPECT_EQ(taTestRun("./other a.txt > out.txt 2>&1"), 255);
    EXPECT_NE(readFile("out.txt").find("The scene viewer is not part of this build yet"), std::string::npos);
    EXPECT_EQ(taTestRun("./other -extract > out.txt 2>&1"), 255);
    EXPECT_NE(readFile("out.txt").find("Failed to open archive"), std::string::npos);
}

TEST_F(TaStartupTest, TheExecutableExitsWith255OnFailure)
{
    EXPECT_EQ(taTestRun(std::string(TARV_EXECUTABLE) + " readme > out.txt 2>&1"), 255);
    EXPECT_NE(readFile("out.txt").find("File format of 'readme' is not supported"), std::string::npos);
}

} // namespace
