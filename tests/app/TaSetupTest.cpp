// Reading the setup file and merging the command line over it.
#include "engine/TaDialogs.h"
#include "core/TaLog.h"
#include "app/TaSetup.h"
#include "files/TaFile.h"

#include "TaTestSupport.h"

namespace {

class TaSetupTest : public TaScratchTest
{
protected:
    void TearDown() override
    {
        taSetScreenModeDialogHandler(nullptr, nullptr);
        TaScratchTest::TearDown();
    }

    STaSetupParams read(const std::string& ini, const STaScreenMode* commandLine = nullptr, int* result = nullptr)
    {
        if (!ini.empty())
            writeFile("tarv-setup.ini", ini);
        STaSetupParams params = taDefaultSetupParams();
        int r = taReadSetup("tarv-setup.ini", nullptr, commandLine, false, &params);
        if (result)
            *result = r;
        return params;
    }
};

TEST_F(TaSetupTest, DefaultsWithoutAFile)
{
    int result = -1;
    STaSetupParams p = read("", nullptr, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(p.width, 640);
    EXPECT_EQ(p.height, 480);
    EXPECT_EQ(p.bpp, 32);
    EXPECT_EQ(p.windowed, -1);
    EXPECT_EQ(p.windowX, -1);
    EXPECT_EQ(p.vsync, -1);
    EXPECT_EQ(p.antialias, -1);
    EXPECT_EQ(p.lightPrePass, -1);
    EXPECT_EQ(p.stereo, 0);
    EXPECT_FLOAT_EQ(p.cameraNear, 0.1f);
    EXPECT_FLOAT_EQ(p.cameraFar, 1000.0f);
    EXPECT_EQ(p.driver, ETADRIVER_DEFAULT);
    EXPECT_STREQ(p.audio, "");
}

TEST_F(TaSetupTest, EveryKey)
{
    STaSetupParams p = read("[Setup]\n"
                            "display = 1280 720 24\n"
                            "windowed = 0\n"
                            "windowpos = 30 40\n"
                            "vsync = 0\n"
                            "hide_mouse = 1\n"
                            "fps = 60\n"
                            "antialias = 0\n"
                            "lightprepass = 0\n"
                            "shaders = 0x10\n"
                            "camerarange = 1.5 500\n"
                            "stereo = 010\n"
                            "driver = null\n"
                            "audio = wav:music.wav\n");
    EXPECT_EQ(p.width, 1280);
    EXPECT_EQ(p.height, 720);
    EXPECT_EQ(p.bpp, 24);
    EXPECT_EQ(p.windowed, 0);
    EXPECT_EQ(p.windowX, 30);
    EXPECT_EQ(p.windowY, 40);
    EXPECT_EQ(p.vsync, 0);
    EXPECT_EQ(p.hideMouse, 1);
    EXPECT_EQ(p.fps, 60);
    EXPECT_EQ(p.antialias, 0);
    EXPECT_EQ(p.lightPrePass, 0);
    EXPECT_EQ(p.shaders, 16);
    EXPECT_EQ(p.stereo, 8); // leading zero: octal, as the setup file reads integers
    EXPECT_FLOAT_EQ(p.cameraNear, 1.5f);
    EXPECT_FLOAT_EQ(p.cameraFar, 500.0f);
    EXPECT_EQ(p.driver, ETADRIVER_NULL);
    EXPECT_STREQ(p.audio, "wav:music.wav");
}

TEST_F(TaSetupTest, KeyForms)
{
    struct { const char* ini; int windowed; int width, height, bpp; float nearPlane, farPlane; } cases[] = {
        {"[setup]\nwindowed = Yes\n", 1, 640, 480, 32, 0.1f, 1000.0f},
        {"[setup]\nwindowed = y\n", 1, 640, 480, 32, 0.1f, 1000.0f},
        {"[setup]\nwindowed = 1\n", 1, 640, 480, 32, 0.1f, 1000.0f},
        {"[setup]\nwindowed = true\n", 0, 640, 480, 32, 0.1f, 1000.0f},
        {"[setup]\nwindowed = 2\n", 0, 640, 480, 32, 0.1f, 1000.0f},
        {"[SETUP]\nDISPLAY = 800\n", -1, 800, 480, 32, 0.1f, 1000.0f},
        {"[setup]\ndisplay = 800 600\n", -1, 800, 600, 32, 0.1f, 1000.0f},
        {"[setup]\ndisplay = 0 0 32\n", -1, 640, 480, 32, 0.1f, 1000.0f},
        {"[setup]\ncamerarange = 5 5\n", -1, 640, 480, 32, 0.1f, 1000.0f},
        {"[setup]\ncamerarange = 5\n", -1, 640, 480, 32, 0.1f, 1000.0f},
        {"[setup]\ncamerarange = nan 5\n", -1, 640, 480, 32, 0.1f, 1000.0f},
    };
    for (const auto& c : cases) {
        STaSetupParams p = read(c.ini);
        EXPECT_EQ(p.windowed, c.windowed) << c.ini;
        EXPECT_EQ(p.width, c.width) << c.ini;
        EXPECT_EQ(p.height, c.height) << c.ini;
        EXPECT_EQ(p.bpp, c.bpp) << c.ini;
        EXPECT_FLOAT_EQ(p.cameraNear, c.nearPlane) << c.ini;
        EXPECT_FLOAT_EQ(p.cameraFar, c.farPlane) << c.ini;
    }
}

TEST_F(TaSetupTest, BadValuesWarnAndKeepDefaults)
{
    TaLogCapture log;
    STaSetupParams p = read("[setup]\nvsync = often\nfps = 99999999999\ndriver = d3d9\naudio = alsa\n");
    EXPECT_EQ(p.vsync, -1);
    EXPECT_EQ(p.fps, -1);
    EXPECT_EQ(p.driver, ETADRIVER_DEFAULT);
    EXPECT_STREQ(p.audio, "");
    EXPECT_TRUE(log.contains("setup:vsync = 'often' is not a whole number"));
    EXPECT_TRUE(log.contains("unknown driver 'd3d9'"));
    EXPECT_TRUE(log.contains("unknown audio output 'alsa'"));
}

TEST_F(TaSetupTest, CommandLineWinsOverTheFile)
{
    STaScreenMode commandLine = taEmptyScreenMode();
    commandLine.windowed = 0;
    commandLine.width = 1024;
    commandLine.height = 768;
    commandLine.stereo = 1;
    writeFile("tarv-setup.ini", "[setup]\nwindowed = yes\ndisplay = 800 600 16\nvsync = 0\ndriver = opengl\n");
    STaSetupParams p;
    ASSERT_EQ(taReadSetup("tarv-setup.ini", nullptr, &commandLine, false, &p, ETADRIVER_NULL, "null"), 0);
    EXPECT_EQ(p.windowed, 0);
    EXPECT_EQ(p.width, 1024);
    EXPECT_EQ(p.height, 768);
    EXPECT_EQ(p.bpp, 16);
    EXPECT_EQ(p.vsync, 0);
    EXPECT_EQ(p.stereo, 1);
    EXPECT_EQ(p.driver, ETADRIVER_NULL);
    EXPECT_STREQ(p.audio, "null");
}

TEST_F(TaSetupTest, FoundInTheDataDirectory)
{
    writeFile("exe/tarv-setup.ini", "[setup]\ndisplay = 320 200\n");
    STaSetupParams p;
    ASSERT_EQ(taReadSetup("tarv-setup.ini", (m_dir + "/exe/").c_str(), nullptr, false, &p), 0);
    EXPECT_EQ(p.width, 320);
    EXPECT_STREQ(p.dataDirectory, (m_dir + "/exe/").c_str());
}

int pressStart(STaScreenMode* mode, void* user)
{
    ++*static_cast<int*>(user);
    mode->width = 1280;
    mode->height = 720;
    mode->bpp = 32;
    mode->windowed = 0;
    return 0;
}

TEST_F(TaSetupTest, MissingOrBrokenFileAsksWhenAllowed)
{
    // No dialog available: cancelled, the setup fails.
    STaSetupParams p;
    EXPECT_EQ(taReadSetup("tarv-setup.ini", nullptr, nullptr, true, &p), -1);

    int shown = 0;
    taSetScreenModeDialogHandler(pressStart, &shown);
    ASSERT_EQ(taReadSetup("tarv-setup.ini", nullptr, nullptr, true, &p), 0);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(p.width, 1280);
    EXPECT_EQ(p.windowed, 0);
    EXPECT_EQ(p.vsync, 1);
    EXPECT_EQ(p.hideMouse, 1);
    EXPECT_EQ(p.antialias, -1);
    EXPECT_EQ(taScreenModeOption("width"), 1280);
    EXPECT_EQ(taScreenModeOption("centered"), 0);
    EXPECT_EQ(taScreenModeOption("nonsense"), -1);

    // A file that does not parse counts as missing, with the parser's complaint in the log.
    TaLogCapture log;
    writeFile("tarv-setup.ini", "[setup\ndisplay = 800 600\nthis line is not a key\n");
    ASSERT_EQ(taReadSetup("tarv-setup.ini", nullptr, nullptr, true, &p), 0);
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(log.contains("Setup file does not parse"));
    EXPECT_TRUE(log.contains("tarv-setup.ini"));
}

TEST_F(TaSetupTest, ScanIntegersReadsLikeScanf)
{
    struct { const char* text; char separator; int expected; int first, second; } cases[] = {
        {"800x600", 'x', 2, 800, 600},
        {"800x 600", 'x', 2, 800, 600},
        {"800 x600", 'x', 1, 800, 0},
        {"800", 'x', 1, 800, 0},
        {"-5,+7", ',', 2, -5, 7},
        {"10 20", ' ', 2, 10, 20},
        {"2147483648 1", ' ', 0, 0, 0},
        {"-2147483648 1", ' ', 2, -2147483647 - 1, 1},
        {"", ' ', 0, 0, 0},
    };
    for (const auto& c : cases) {
        int values[2] = {0, 0};
        EXPECT_EQ(taScanIntegers(c.text, c.separator, values, 2), c.expected) << c.text;
        EXPECT_EQ(values[0], c.first) << c.text;
        EXPECT_EQ(values[1], c.second) << c.text;
    }
}

} // namespace
