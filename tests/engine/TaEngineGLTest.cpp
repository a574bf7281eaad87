// The engine context on the OpenGL device (run under Xvfb): frames read back pixel by pixel, the
// loading screen, the window and its messages.
#include "TaTestSupport.h"

#include "engine/TaDialogs.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "engine/TaLoadingScreen.h"
#include "core/TaLog.h"
#include "engine/TaOverlay.h"
#include "platform/TaWindow.h"

#include <string>

namespace {

using irr::video::SColor;

class TaEngineGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        STaSetupParams params = taTestSetup(ETADRIVER_OPENGL);
        params.width = 320;
        params.height = 240;
        params.antialias = 0;
        params.lightPrePass = 0;
        ASSERT_EQ(taSetup(params), 0) << "no OpenGL device: run under xvfb-run";
    }
    void TearDown() override
    {
        if (m_image)
            m_image->drop();
        taShutdown();
        TaScratchTest::TearDown();
    }

    // Takes a screenshot of the last frame and loads it back.
    void shoot(const char* name = "shot.png")
    {
        ASSERT_EQ(taScreenshot(name), 0);
        if (m_image)
            m_image->drop();
        m_image = taEngine().videoDriver->createImageFromFile(name);
        ASSERT_NE(m_image, nullptr);
        ASSERT_EQ(m_image->getDimension(), irr::core::dimension2du(320, 240));
    }
    SColor pixel(int x, int y) const { return m_image->getPixel(x, y); }
    static std::string text(SColor c)
    {
        char buffer[32];
        snprintf(buffer, sizeof(buffer), "%02X%02X%02X", c.getRed(), c.getGreen(), c.getBlue());
        return buffer;
    }
    void expectPixel(int x, int y, irr::u32 rgb) const
    {
        EXPECT_EQ(text(pixel(x, y)), text(SColor(rgb))) << "at " << x << "," << y;
    }

    irr::video::IImage* m_image = nullptr;
};

TEST_F(TaEngineGLTest, FrameWithBackgroundBoxLineTextAndImage)
{
    irr::video::IVideoDriver* driver = taEngine().videoDriver;
    // An 8 x 8 image: blue on the left half, yellow on the right.
    irr::video::IImage* pattern = driver->createImage(irr::video::ECF_A8R8G8B8, irr::core::dimension2du(8, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pattern->setPixel(x, y, x < 4 ? SColor(255, 0, 0, 255) : SColor(255, 255, 255, 0));
    irr::video::ITexture* texture = driver->addTexture("pattern", pattern);
    pattern->drop();
    ASSERT_NE(texture, nullptr);

    taSetBackgroundColor(0x203040);
    ASSERT_EQ(taOverlayBox(10, 10, 50, 40, 0xFFFF0000), 0);
    ASSERT_EQ(taOverlayLine(60, 100, 160, 100, 0xFF00FF00), 0);
    ASSERT_EQ(taOverlayText(taEngine().font, 200, 20, 0xFFFFFFFF, "HI"), 0);
    ASSERT_EQ(taOverlayImage(texture, 100, 150, -1, -1, false), 0);
    ASSERT_EQ(taOverlayImage(texture, 200, 150, 16, 16, false), 0); // stretched to twice the size
    ASSERT_TRUE(Sync());
    shoot();

    expectPixel(5, 5, 0x203040);
    expectPixel(319, 239, 0x203040);
    // The box covers (10, 10) up to but not including (50, 40).
    expectPixel(10, 10, 0xFF0000);
    expectPixel(49, 39, 0xFF0000);
    expectPixel(9, 10, 0x203040);
    expectPixel(50, 39, 0x203040);
    expectPixel(49, 40, 0x203040);
    // The line: one pixel high along y = 100.
    expectPixel(110, 100, 0x00FF00);
    expectPixel(110, 98, 0x203040);
    expectPixel(110, 102, 0x203040);
    // The image at its own size, then stretched.
    expectPixel(100, 150, 0x0000FF);
    expectPixel(103, 157, 0x0000FF);
    expectPixel(104, 150, 0xFFFF00);
    expectPixel(107, 157, 0xFFFF00);
    expectPixel(108, 150, 0x203040);
    expectPixel(99, 150, 0x203040);
    expectPixel(207, 165, 0x0000FF);
    expectPixel(208, 150, 0xFFFF00);
    expectPixel(215, 165, 0xFFFF00);
    expectPixel(216, 150, 0x203040);
    // The text: white pixels inside its box, none around it.
    const irr::core::dimension2du size = taEngine().font->getDimension(L"HI");
    int white = 0, stray = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 180; x < 260; ++x) {
            const bool inside = x >= 200 && x < 200 + static_cast<int>(size.Width) && y >= 20 &&
                                y < 20 + static_cast<int>(size.Height);
            const bool isWhite = text(pixel(x, y)) == "FFFFFF";
            white += inside && isWhite;
            stray += !inside && text(pixel(x, y)) != "203040";
        }
    EXPECT_GT(white, 10);
    EXPECT_EQ(stray, 0);

    // The queue was drawn once: the next frame shows the background only.
    ASSERT_TRUE(Sync());
    shoot("second.bmp");
    expectPixel(20, 20, 0x203040);
}

// A clean start on the OpenGL device, with vsync asked for, warns about nothing (the X server once
// refused the swap-interval request Irrlicht makes for vsync).
TEST_F(TaEngineGLTest, CleanStartLogsNoWarning)
{
    taShutdown();
    TaLogCapture log;
    STaSetupParams params = taTestSetup(ETADRIVER_OPENGL);
    params.width = 320;
    params.height = 240;
    params.vsync = 1;
    ASSERT_EQ(taSetup(params), 0);
    ASSERT_TRUE(Sync());
    for (const std::string& line : log.lines)
        EXPECT_EQ(line.find("WARN"), std::string::npos) << line;
    EXPECT_FALSE(log.contains("X error"));
}

TEST_F(TaEngineGLTest, RenderToATextureAndPasteIt)
{
    irr::video::IVideoDriver* driver = taEngine().videoDriver;
    irr::video::ITexture* target = driver->addRenderTargetTexture(irr::core::dimension2du(64, 64), "scratch");
    ASSERT_NE(target, nullptr);
    taSetBackgroundColor(0x00FF00);
    ASSERT_TRUE(taRenderToTarget(target));
    taSetBackgroundColor(0x000000);
    ASSERT_EQ(taOverlayImage(target, 10, 10, -1, -1, false), 0);
    ASSERT_TRUE(Sync());
    shoot();
    expectPixel(10, 10, 0x00FF00);
    expectPixel(73, 73, 0x00FF00);
    expectPixel(74, 74, 0x000000);
}

TEST_F(TaEngineGLTest, ScreenshotWriterFollowsTheExtension)
{
    ASSERT_TRUE(Sync());
    // Every writer Irrlicht has, at the full frame size: the PPM writer's text output is several
    // times the size of the picture itself.
    struct { const char* file; std::string magic; size_t magicAt; bool readsBack; } writers[] = {
        {"a.bmp", "BM", 0, true},      {"a.png", "PNG", 1, true}, {"a.jpg", "\xFF\xD8", 0, true},
        {"a.tga", std::string("\0\0\x02", 3), 0, true}, {"a.ppm", "P", 0, true}, {"a.pcx", "\x0A", 0, true},
    };
    for (const auto& w : writers) {
        EXPECT_EQ(taScreenshot(w.file), 0) << w.file;
        EXPECT_EQ(readFile(w.file).substr(w.magicAt, w.magic.size()), w.magic) << w.file;
        irr::video::IImage* back = taEngine().videoDriver->createImageFromFile(w.file);
        ASSERT_NE(back, nullptr) << w.file;
        EXPECT_EQ(back->getDimension(), irr::core::dimension2du(320, 240)) << w.file;
        back->drop();
    }
    TaLogCapture log;
    EXPECT_EQ(taScreenshot("a.unknown"), -1);
    int code = 0;
    EXPECT_STREQ(taGetLastError(&code), "failed to save screenshot to file 'a.unknown'\n"
                                        "the extension chooses the image writer: .bmp, .jpg, .pcx, .png, .ppm or .tga\n");
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(exists("a.unknown"));
    // A file that cannot be written leaves nothing behind, and an existing one stays whole.
    EXPECT_EQ(taScreenshot("missing/a.png"), -1);
    EXPECT_FALSE(exists("missing"));
    const std::string before = readFile("a.png");
    EXPECT_EQ(taScreenshot("a.png"), 0);
    EXPECT_EQ(readFile("a.png").size(), before.size());
}

TEST_F(TaEngineGLTest, LoadingBarGeometry)
{
    // A loading shader that does not build leaves the plain picture: the image and the bar.
    writeFile("loading.hlsl", "float4 ps_main() : COLOR0 { return broken; }\n");
    TaLogCapture log;
    taLoadingScreenBegin();
    EXPECT_TRUE(log.contains("The loading screen shader loading.hlsl does not build"));
    taLoadingScreenProgress(50);
    shoot();
    // 320 x 240: frame 160 x 24 at (80, 132), inside 154 x 18 at (83, 135), bar 148 x 12 at
    // (86, 138), half of it filled.
    expectPixel(80, 132, 0xFFFFFF);
    expectPixel(239, 155, 0xFFFFFF);
    expectPixel(79, 132, 0x000000);
    expectPixel(240, 155, 0x000000);
    expectPixel(80, 131, 0x000000);
    expectPixel(82, 134, 0xFFFFFF);
    expectPixel(83, 135, 0x000000);
    expectPixel(85, 137, 0x000000);
    expectPixel(86, 138, 0x4488FF);
    expectPixel(159, 149, 0x4488FF);
    expectPixel(160, 149, 0x000000);
    expectPixel(233, 149, 0x000000);
    expectPixel(236, 153, 0xFFFFFF);
    expectPixel(160, 60, 0x000000);
    taLoadingScreenEnd();
    shoot();
    expectPixel(233, 149, 0x4488FF);

    // With "loading.png" the picture is centred and the bar moves down by half its height.
    irr::video::IVideoDriver* driver = taEngine().videoDriver;
    irr::video::IImage* picture = driver->createImage(irr::video::ECF_R8G8B8, irr::core::dimension2du(40, 20));
    picture->fill(SColor(255, 255, 0, 0));
    ASSERT_TRUE(driver->writeImageToFile(picture, "loading.png"));
    picture->drop();
    taLoadingScreenBegin();
    shoot();
    expectPixel(140, 110, 0xFF0000);
    expectPixel(179, 129, 0xFF0000);
    expectPixel(180, 129, 0x000000);
    expectPixel(80, 142, 0xFFFFFF);
    expectPixel(80, 141, 0x000000);
    taLoadingScreenEnd();

    taLoadingScreenText(25);
    shoot();
    // The short form is the same bar with the percentage over it.
    expectPixel(80, 132, 0xFFFFFF);
    int white = 0;
    for (int y = 10; y < 22; ++y)
        for (int x = 10; x < 40; ++x)
            white += text(pixel(x, y)) == "FFFFFF";
    EXPECT_GT(white, 10);
}

TEST_F(TaEngineGLTest, LoadingShaders)
{
    // The built-in shader: crossed bars filling from the centre, blue turning white.
    taLoadingScreenBegin();
    shoot();
    const int cx = 160, cy = 120;
    // 0.08 of 1.5 x 240 from the centre along the diagonal: inside the fill at 50 %, not at 0 %.
    const int d = static_cast<int>(0.08 * 1.5 * 240 / 1.41421356);
    EXPECT_EQ(text(pixel(cx + d, cy + d)), "000000");
    taLoadingScreenProgress(50);
    shoot();
    for (SColor c : {pixel(cx + d, cy + d), pixel(cx - d, cy + d), pixel(cx + d, cy - d), pixel(cx - d, cy - d)}) {
        EXPECT_GT(c.getBlue(), 180u) << text(c);
        EXPECT_GT(c.getBlue(), c.getRed() + 80) << text(c);
    }
    expectPixel(cx, cy, 0x000000);   // the gap in the middle
    expectPixel(10, 10, 0x000000);   // nothing in the corners
    taLoadingScreenEnd();            // fades out to black
    shoot();
    expectPixel(cx + d, cy + d, 0x000000);

    // "loading.hlsl" beside the demo replaces it, with the resolution and the progress set.
    writeFile("loading.hlsl", "float2 resolution; float progress;\n"
                              "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n"
                              "float4 ps_main() : COLOR0 { return float4(progress, resolution.x / 1000.0, "
                              "resolution.y / 1000.0, 1); }\n");
    taLoadingScreenBegin();
    taLoadingScreenProgress(60);
    shoot();
    const SColor c = pixel(100, 100);
    EXPECT_NEAR(c.getRed(), 153, 1);
    EXPECT_NEAR(c.getGreen(), 82, 1);
    EXPECT_NEAR(c.getBlue(), 61, 1);
    taLoadingScreenEnd();
}

TEST_F(TaEngineGLTest, WindowStateAndTheCompanionMessage)
{
    const irr::video::SExposedVideoData& data = taEngine().videoDriver->getExposedVideoData();
    ASSERT_TRUE(taPlatformSendClientMessage(data.OpenGLLinux.X11Display, data.OpenGLLinux.X11Window,
                                            TA_USER_EVENT_FRAME, 123));
    for (int i = 0; i < 200 && taLastUserValue() != 123; ++i) {
        ASSERT_TRUE(taRun());
        taSleep(10);
    }
    EXPECT_EQ(taLastUserValue(), 123);

    taHideWindow();
    for (int i = 0; i < 200 && !taIsWindowMinimized(); ++i) {
        taRun();
        taSleep(10);
    }
    EXPECT_TRUE(taIsWindowMinimized());
    ASSERT_EQ(taOverlayBox(0, 0, 10, 10, 0xFFFFFFFF), 0);
    EXPECT_FALSE(Sync());
    EXPECT_EQ(taOverlayCount(), 0);
    taShowWindow();
    for (int i = 0; i < 200 && taIsWindowMinimized(); ++i) {
        taRun();
        taSleep(10);
    }
    EXPECT_FALSE(taIsWindowMinimized());
    EXPECT_TRUE(Sync());
}

TEST_F(TaEngineGLTest, WindowPlacementAndHiddenCursor)
{
    STaSetupParams params = taTestSetup(ETADRIVER_OPENGL);
    params.width = 200;
    params.height = 100;
    params.windowX = 30;
    params.windowY = 40;
    params.hideMouse = 1;
    ASSERT_EQ(taSetup(params), 0);
    const irr::video::SExposedVideoData& data = taEngine().videoDriver->getExposedVideoData();
    int x = -1, y = -1;
    ASSERT_TRUE(taPlatformWindowPosition(data.OpenGLLinux.X11Display, data.OpenGLLinux.X11Window, &x, &y));
    EXPECT_EQ(x, 30);
    EXPECT_EQ(y, 40);
    EXPECT_FALSE(taEngine().device->getCursorControl()->isVisible());

    // Not given: centred on the 1280 x 1024 screen.
    params.windowX = params.windowY = -1;
    params.hideMouse = -1;
    ASSERT_EQ(taSetup(params), 0);
    const irr::video::SExposedVideoData& centred = taEngine().videoDriver->getExposedVideoData();
    ASSERT_TRUE(taPlatformWindowPosition(centred.OpenGLLinux.X11Display, centred.OpenGLLinux.X11Window, &x, &y));
    EXPECT_EQ(x, (1280 - 200) / 2);
    EXPECT_EQ(y, (1024 - 100) / 2);
    EXPECT_TRUE(taEngine().device->getCursorControl()->isVisible());
}

} // namespace
