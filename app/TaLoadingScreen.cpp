// The loading screen.
#include "app/TaLoadingScreen.h"

#include "app/TaEngine.h"
#include "files/TaFile.h"

#include <cstdio>

using namespace irr;

namespace {

video::ITexture* g_image = nullptr;

core::rect<s32> centred(int width, int height, int boxWidth, int boxHeight, int down)
{
    const int x = (width - boxWidth) / 2;
    const int y = (height - boxHeight) / 2 + down;
    return core::rect<s32>(x, y, x + boxWidth, y + boxHeight);
}

void drawBar(video::IVideoDriver* driver, int percent, int imageHeight)
{
    const core::dimension2du screen = driver->getScreenSize();
    const STaLoadingBar bar = taLoadingBarGeometry(screen.Width, screen.Height, imageHeight, percent);
    driver->draw2DRectangle(video::SColor(0xFFFFFFFF), bar.frame);
    driver->draw2DRectangle(video::SColor(0xFF000000), bar.inside);
    if (bar.bar.getWidth() > 0)
        driver->draw2DRectangle(video::SColor(0xFF4488FF), bar.bar);
}

// One whole frame: begin, black, the picture, present.
template <typename Draw> void drawFrame(Draw draw)
{
    STaEngineContext& engine = taEngine();
    if (!engine.started || !engine.videoDriver)
        return;
    if (!taBeginScene())
        return;
    engine.videoDriver->setRenderTarget(video::ERT_FRAME_BUFFER, true, true, video::SColor(255, 0, 0, 0));
    draw(engine.videoDriver);
    taEndScene();
}

} // namespace

STaLoadingBar taLoadingBarGeometry(int width, int height, int imageHeight, int percent)
{
    if (percent < 0)
        percent = 0;
    if (percent > 100)
        percent = 100;
    const int down = height / 10 + (imageHeight > 0 ? imageHeight / 2 : 0);
    const int step = height / 40;
    const int frameWidth = width / 2, frameHeight = height / 10;
    STaLoadingBar bar;
    bar.frame = centred(width, height, frameWidth, frameHeight, down);
    bar.inside = centred(width, height, frameWidth - step, frameHeight - step, down);
    const core::rect<s32> full = centred(width, height, frameWidth - 2 * step, frameHeight - 2 * step, down);
    bar.bar = core::rect<s32>(full.UpperLeftCorner.X, full.UpperLeftCorner.Y,
                              full.UpperLeftCorner.X + full.getWidth() * percent / 100, full.LowerRightCorner.Y);
    return bar;
}

void taLoadingScreenBegin()
{
    STaEngineContext& engine = taEngine();
    if (!engine.started)
        return;
    if (g_image) {
        g_image->drop();
        g_image = nullptr;
    }
    // Found as given, without the search directories.
    if (taFileExists("loading.png")) {
        g_image = engine.videoDriver->getTexture("loading.png");
        if (g_image)
            g_image->grab();
    }
    taLoadingScreenProgress(0);
}

void taLoadingScreenProgress(int percent)
{
    drawFrame([percent](video::IVideoDriver* driver) {
        int imageHeight = 0;
        if (g_image) {
            const core::dimension2du screen = driver->getScreenSize();
            const core::dimension2du size = g_image->getOriginalSize();
            imageHeight = static_cast<int>(size.Height);
            driver->draw2DImage(g_image,
                                core::position2di((static_cast<int>(screen.Width) - static_cast<int>(size.Width)) / 2,
                                                  (static_cast<int>(screen.Height) - imageHeight) / 2),
                                core::rect<s32>(0, 0, size.Width, size.Height), nullptr,
                                video::SColor(255, 255, 255, 255), true);
        }
        drawBar(driver, percent, imageHeight);
    });
}

void taLoadingScreenEnd()
{
    taLoadingScreenProgress(100);
    if (g_image) {
        taEngine().videoDriver->removeTexture(g_image);
        g_image->drop();
        g_image = nullptr;
    }
}

void taLoadingScreenText(int percent)
{
    drawFrame([percent](video::IVideoDriver* driver) {
        drawBar(driver, percent, 0);
        char text[16];
        snprintf(text, sizeof(text), "%d%%\n", percent);
        if (gui::IGUIFont* font = taEngine().font) {
            const core::stringw wideText(text);
            const core::dimension2du size = font->getDimension(wideText.c_str());
            font->draw(wideText, core::rect<s32>(10, 10, 10 + size.Width, 10 + size.Height),
                       video::SColor(255, 255, 255, 255));
        }
    });
}
