// 2D drawing, text and images.
#include "engine/Ta2D.h"

#include "engine/TaEngine.h"
#include "core/TaLog.h"
#include "engine/TaOverlay.h"
#include "effects/TaEffect.h"
#include "files/TaFile.h"

#include <cmath>
#include <string>

using namespace irr;

namespace {

struct S2DState {
    u32 ink = 0xFFFFFF;
    u32 inkAlpha = 255;
    u32 imageColour = 0xFFFFFF;
    u32 imageAlpha = 255;
    u32 textColour = 0xFFFFFF;
    int textAlpha = 255;
    gui::IGUIFont* font = nullptr; // nullptr: the built-in font
    std::string fontFile;
} g_2d;

gui::IGUIFont* currentFont()
{
    return g_2d.font ? g_2d.font : taEngine().font;
}

core::stringw wide(const char* text)
{
    return core::stringw(text ? text : "");
}

// The fader of the engine context, made on first use.
gui::IGUIInOutFader* fader(bool create)
{
    STaEngineContext& engine = taEngine();
    if (!engine.fader && create && engine.guiEnvironment) {
        const core::dimension2du size = engine.videoDriver->getScreenSize();
        const core::rect<s32> screen(0, 0, static_cast<s32>(size.Width), static_cast<s32>(size.Height));
        gui::IGUIInOutFader* made = engine.guiEnvironment->addInOutFader(&screen);
        made->grab();
        engine.fader = made;
    }
    return engine.fader;
}

void fade(int ms, unsigned colour, bool in)
{
    StopFade();
    gui::IGUIInOutFader* f = fader(true);
    if (!f)
        return;
    f->setColor(video::SColor(255, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF));
    if (in)
        f->fadeIn(ms > 0 ? ms : 0);
    else
        f->fadeOut(ms > 0 ? ms : 0);
}

} // namespace

void taReset2DState()
{
    if (g_2d.font)
        g_2d.font->drop();
    g_2d = S2DState();
}

void Ink(unsigned colour) { g_2d.ink = colour & 0xFFFFFF; }
void InkAlpha(int alpha) { g_2d.inkAlpha = static_cast<u32>(alpha) & 0xFF; }
unsigned InkColour() { return (g_2d.inkAlpha << 24) | g_2d.ink; }

int Box(int x1, int y1, int x2, int y2)
{
    return taOverlayBox(x1, y1, x2, y2, InkColour());
}

int Line(int x1, int y1, int x2, int y2)
{
    return taOverlayLine(x1, y1, x2, y2, InkColour());
}

namespace {
bool effectExists(int effect, int code)
{
    STaEngineContext& engine = taEngine();
    if (!idGet(engine.effects.get(), effect)) {
        taErrorCode(code, "Effect ID %d does not exist. %s", effect, idGetErrorText());
        return false;
    }
    return true;
}
} // namespace

int BoxWithEffect(int x1, int y1, int x2, int y2, int effect)
{
    if (!effectExists(effect, 5))
        return -1;
    return taOverlayEffect(static_cast<CTaEffect*>(idGet(taEngine().effects.get(), effect)), nullptr, x1, y1, x2 - x1,
                           y2 - y1, InkColour());
}

int PasteImageWithEffect(int id, int x, int y, int width, int height, int effect)
{
    video::ITexture* image = taGetImage(id);
    if (!image || !effectExists(effect, 6))
        return -1;
    if (width < 0 || height < 0) {
        width = static_cast<int>(image->getOriginalSize().Width);
        height = static_cast<int>(image->getOriginalSize().Height);
    }
    return taOverlayEffect(static_cast<CTaEffect*>(idGet(taEngine().effects.get(), effect)), image, x, y, width, height,
                           (g_2d.imageAlpha << 24) | g_2d.imageColour);
}

unsigned RGB(int r, int g, int b)
{
    return (static_cast<unsigned>(r & 255) << 16) | (static_cast<unsigned>(g & 255) << 8) |
           static_cast<unsigned>(b & 255);
}

unsigned RGBf(float r, float g, float b)
{
    // Truncated like a plain integer conversion; out-of-range values wrap through the
    // byte mask instead of overflowing.
    auto component = [](float v) {
        const float scaled = v * 255.0f;
        if (!(scaled > -2147483648.0f && scaled < 2147483647.0f))
            return 0;
        return static_cast<int>(scaled);
    };
    return RGB(component(r), component(g), component(b));
}

int Text(int x, int y, const char* text)
{
    return taOverlayText(currentFont(), x, y, (static_cast<u32>(g_2d.textAlpha) << 24) | g_2d.textColour, text);
}

int SetTextFont(const char* file)
{
    // Irrlicht asks whether the font file exists before opening it: give it the name as it is on disk.
    const std::string name = taResolveDiskPath(taFindFile(file));
    gui::IGUIFont* font = taEngine().guiEnvironment ? taEngine().guiEnvironment->getFont(name.c_str()) : nullptr;
    if (!font) {
        taErrorCode(1, "The font '%s' cannot be loaded", file ? file : "");
        return -1;
    }
    font->grab();
    if (g_2d.font)
        g_2d.font->drop();
    g_2d.font = font;
    g_2d.fontFile = file;
    return 0;
}

void SetTextColor(unsigned colour) { g_2d.textColour = colour & 0xFFFFFF; }
void SetTextAlpha(int alpha) { g_2d.textAlpha = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha; }
const char* TextFont() { return g_2d.font ? g_2d.fontFile.c_str() : nullptr; }
unsigned TextColor() { return g_2d.textColour; }
int TextAlpha() { return g_2d.textAlpha; }

int TextWidth(const char* text)
{
    gui::IGUIFont* font = currentFont();
    return font ? static_cast<int>(font->getDimension(wide(text).c_str()).Width) : 0;
}

int TextHeight(const char* text)
{
    gui::IGUIFont* font = currentFont();
    return font ? static_cast<int>(font->getDimension(wide(text).c_str()).Height) : 0;
}

void FadeIn(int ms, unsigned colour) { fade(ms, colour, true); }
void FadeOut(int ms, unsigned colour) { fade(ms, colour, false); }

void StopFade()
{
    STaEngineContext& engine = taEngine();
    if (engine.fader) {
        engine.fader->remove();
        engine.fader->drop();
        engine.fader = nullptr;
    }
}

void PositionToScreen(float x, float y, float z, int* screenX, int* screenY)
{
    STaEngineContext& engine = taEngine();
    const core::position2di p = engine.sceneManager->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(
        core::vector3df(x, y, z), engine.camera);
    *screenX = p.X;
    *screenY = p.Y;
}

// --- Images ---

video::ITexture* taGetImage(int id, int code)
{
    auto* texture = static_cast<video::ITexture*>(idGet(taEngine().images.get(), id));
    if (!texture)
        taErrorCode(code, "Image ID %d does not exist. %s", id, idGetErrorText());
    return texture;
}

namespace {
// Frees the ID (deleting what it holds) and checks it can take a new image: false with "invalid
// Image ID %d : %s" (code 2).
bool prepareImageId(int id)
{
    DeleteImage(id);
    STaIdTable* table = taEngine().images.get();
    if (idInsert(table, id, table) != 0) {
        taErrorCode(2, "invalid Image ID %d : %s", id, idGetErrorText());
        return false;
    }
    idRemove(table, id);
    return true;
}
} // namespace

int LoadImage(const char* file, int id)
{
    if (!prepareImageId(id))
        return -1;
    video::IVideoDriver* driver = taEngine().videoDriver;
    video::ITexture* texture = driver->getTexture(taFindFile(file));
    if (!texture) {
        taErrorCode(1, "Failed to load image '%s'", file ? file : "");
        return -1;
    }
    texture->grab();
    idInsert(taEngine().images.get(), id, texture);
    return 0;
}

int MakeImage(int width, int height, int id)
{
    if (!prepareImageId(id))
        return -1;
    video::IVideoDriver* driver = taEngine().videoDriver;
    const bool mipMaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    const std::string name = "taRtImage" + std::to_string(id);
    video::ITexture* texture =
        width > 0 && height > 0
            ? driver->addRenderTargetTexture(core::dimension2du(width, height), name.c_str(), video::ECF_A8R8G8B8)
            : nullptr;
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
    if (!texture) {
        taErrorCode(1, "Failed to make image");
        return -1;
    }
    texture->grab();
    idInsert(taEngine().images.get(), id, texture);
    return 0;
}

int RenderToImage(int id, bool clear)
{
    video::ITexture* texture = taGetImage(id);
    if (!texture)
        return -1;
    if (!texture->isRenderTarget()) {
        taErrorCode(1, "Image ID %d is not renderable", id);
        return -1;
    }
    const bool began = !taEngine().inScene && taBeginScene();
    // The renderer always clears to the background colour; without clearing, the frame is drawn
    // over the image's last picture.
    if (clear) {
        taRenderToTarget(texture);
    } else {
        taEngine().videoDriver->setRenderTarget(texture, false, true);
        taEngine().sceneManager->drawAll();
        taEngine().videoDriver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    }
    if (began) {
        taEngine().inScene = false;
        taEngine().videoDriver->endScene();
    }
    return 0;
}

void SetImageColor(unsigned colour) { g_2d.imageColour = colour & 0xFFFFFF; }
void SetImageAlpha(int alpha) { g_2d.imageAlpha = static_cast<u32>(alpha) & 0xFF; }

int PasteImage(int id, int x, int y, bool useAlpha)
{
    video::ITexture* texture = taGetImage(id);
    if (!texture)
        return -1;
    return taOverlayImage(texture, x, y, -1, -1, useAlpha, (g_2d.imageAlpha << 24) | g_2d.imageColour);
}

int PasteImageStretch(int id, int x, int y, int width, int height, bool useAlpha)
{
    video::ITexture* texture = taGetImage(id);
    if (!texture)
        return -1;
    return taOverlayImage(texture, x, y, width, height, useAlpha, (g_2d.imageAlpha << 24) | g_2d.imageColour);
}

bool ImageExist(int id)
{
    return idGet(taEngine().images.get(), id) != nullptr;
}

void DeleteImage(int id)
{
    STaIdTable* table = taEngine().images.get();
    auto* texture = static_cast<video::ITexture*>(idGet(table, id));
    if (!texture)
        return;
    idRemove(table, id);
    // The driver keeps its own reference until the texture leaves its cache.
    taEngine().videoDriver->removeTexture(texture);
    texture->drop();
}

int ImageWidth(int id)
{
    video::ITexture* texture = taGetImage(id);
    return texture ? static_cast<int>(texture->getOriginalSize().Width) : 0;
}

int ImageHeight(int id)
{
    video::ITexture* texture = taGetImage(id);
    return texture ? static_cast<int>(texture->getOriginalSize().Height) : 0;
}
