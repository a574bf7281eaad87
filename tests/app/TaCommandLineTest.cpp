// The command line: classification, options and bad values.
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

} // namespace
