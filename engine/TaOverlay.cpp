// The 2D overlay queue.
#include "engine/TaOverlay.h"

#include "core/TaLog.h"
#include "driver/TaMaterialExt.h"
#include "driver/TaVideoDriverExt.h"
#include "effects/TaEffect.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "render/TaRenderServices.h"

#include <cstring>

using namespace irr;

namespace {

struct SOverlayCommand {
    int kind;
    int x1, y1, x2, y2; // position; for images the target size in x2, y2 (-1: own size)
    u32 colour;
    bool useAlpha;
    video::ITexture* texture;
    gui::IGUIFont* font;
    int text; // index into the text store
    CTaEffect* effect;
};

struct SOverlayQueue {
    SOverlayCommand commands[TA_OVERLAY_MAX_DRAWS];
    int count = 0;
    char texts[TA_OVERLAY_MAX_TEXTS][TA_OVERLAY_TEXT_SIZE];
    int textCount = 0;
};

SOverlayQueue g_queue;

SOverlayCommand* add(int kind, bool needsText)
{
    if (g_queue.count >= TA_OVERLAY_MAX_DRAWS) {
        taErrorCode(-1, "too many 2D draws in one frame\na frame holds at most %d draws", TA_OVERLAY_MAX_DRAWS);
        return nullptr;
    }
    if (needsText && g_queue.textCount >= TA_OVERLAY_MAX_TEXTS) {
        taErrorCode(-1, "too many 2D draws in one frame\na frame holds at most %d texts (of %d draws in all)",
                    TA_OVERLAY_MAX_TEXTS, TA_OVERLAY_MAX_DRAWS);
        return nullptr;
    }
    SOverlayCommand* command = &g_queue.commands[g_queue.count++];
    memset(command, 0, sizeof(*command));
    command->kind = kind;
    return command;
}

void release(SOverlayCommand& command)
{
    if (command.texture)
        command.texture->drop();
    if (command.font)
        command.font->drop();
    if (command.effect)
        command.effect->drop();
    command.texture = nullptr;
    command.font = nullptr;
    command.effect = nullptr;
}

} // namespace

int taOverlayText(gui::IGUIFont* font, int x, int y, u32 colour, const char* text)
{
    SOverlayCommand* command = add(ETAOVERLAY_TEXT, true);
    if (!command)
        return -1;
    command->x1 = x;
    command->y1 = y;
    command->colour = colour;
    command->font = font;
    if (font)
        font->grab();
    command->text = g_queue.textCount++;
    // Longer texts are cut to the store's 511 characters.
    snprintf(g_queue.texts[command->text], TA_OVERLAY_TEXT_SIZE, "%s", text ? text : "");
    return 0;
}

int taOverlayImage(video::ITexture* texture, int x, int y, int width, int height, bool useAlpha, u32 tint)
{
    SOverlayCommand* command = add(ETAOVERLAY_IMAGE, false);
    if (!command)
        return -1;
    command->x1 = x;
    command->y1 = y;
    command->x2 = width;
    command->y2 = height;
    command->useAlpha = useAlpha;
    command->colour = tint;
    command->texture = texture;
    if (texture)
        texture->grab();
    return 0;
}

namespace {
// A line or a box: two corners and a colour.
int addShape(int kind, int x1, int y1, int x2, int y2, u32 colour)
{
    SOverlayCommand* command = add(kind, false);
    if (!command)
        return -1;
    command->x1 = x1;
    command->y1 = y1;
    command->x2 = x2;
    command->y2 = y2;
    command->colour = colour;
    return 0;
}
} // namespace

int taOverlayEffect(CTaEffect* effect, video::ITexture* texture, int x, int y, int width, int height, u32 colour)
{
    SOverlayCommand* command = add(texture ? ETAOVERLAY_IMAGE_EFFECT : ETAOVERLAY_BOX_EFFECT, false);
    if (!command)
        return -1;
    command->x1 = x;
    command->y1 = y;
    command->x2 = width;
    command->y2 = height;
    command->colour = colour;
    command->effect = effect;
    if (effect)
        effect->grab();
    command->texture = texture;
    if (texture)
        texture->grab();
    return 0;
}

namespace {

void drawEffect(ITaVideoDriverExt* driverExt, const SOverlayCommand& c)
{
    CTaEffect* effect = c.effect;
    if (!effect || !driverExt)
        return;
    const video::SColor colour(c.colour);
    const f32 rectangle[4] = {f32(c.x1), f32(c.y1), f32(c.x2), f32(c.y2)};
    const f32 rgba[4] = {colour.getRed() / 255.0f, colour.getGreen() / 255.0f, colour.getBlue() / 255.0f,
                         colour.getAlpha() / 255.0f};
    if (effect->parameterIndex("Rectangle") >= 0)
        effect->setFloatArray("Rectangle", rectangle, 4);
    if (effect->parameterIndex("Color") >= 0)
        effect->setFloatArray("Color", rgba, 4);
    if (c.texture)
        effect->setTexture("Image", c.texture, false);
    if (CTaManager* manager = taGetManager())
        manager->getRenderServices()->drawEffectQuad(effect, 0, 0);
}

} // namespace

int taOverlayLine(int x1, int y1, int x2, int y2, u32 colour)
{
    return addShape(ETAOVERLAY_LINE, x1, y1, x2, y2, colour);
}

int taOverlayBox(int x1, int y1, int x2, int y2, u32 colour)
{
    return addShape(ETAOVERLAY_BOX, x1, y1, x2, y2, colour);
}

void taOverlayDraw(video::IVideoDriver* driver, ITaVideoDriverExt* driverExt)
{
    for (int i = 0; i < g_queue.count; ++i) {
        SOverlayCommand& c = g_queue.commands[i];
        const video::SColor colour(c.colour);
        switch (c.kind) {
        case ETAOVERLAY_TEXT:
            if (c.font) {
                const core::stringw text(g_queue.texts[c.text]);
                const core::dimension2du size = c.font->getDimension(text.c_str());
                c.font->draw(text, core::rect<s32>(c.x1, c.y1, c.x1 + size.Width, c.y1 + size.Height), colour);
            }
            break;
        case ETAOVERLAY_IMAGE:
            if (c.texture) {
                const core::dimension2du own = c.texture->getOriginalSize();
                const core::rect<s32> source(0, 0, own.Width, own.Height);
                // A tint alpha below 255 blends as the image's alpha channel would.
                const bool blend = c.useAlpha || colour.getAlpha() < 255;
                if (c.x2 < 0 || c.y2 < 0) {
                    driver->draw2DImage(c.texture, core::position2di(c.x1, c.y1), source, nullptr, colour, blend);
                } else {
                    const video::SColor corners[4] = {colour, colour, colour, colour};
                    driver->draw2DImage(c.texture, core::rect<s32>(c.x1, c.y1, c.x1 + c.x2, c.y1 + c.y2), source,
                                        nullptr, corners, blend);
                }
            }
            break;
        case ETAOVERLAY_LINE:
            driver->draw2DLine(core::position2di(c.x1, c.y1), core::position2di(c.x2, c.y2), colour);
            break;
        case ETAOVERLAY_BOX:
            driver->draw2DRectangle(colour, core::rect<s32>(c.x1, c.y1, c.x2, c.y2));
            break;
        case ETAOVERLAY_BOX_EFFECT:
        case ETAOVERLAY_IMAGE_EFFECT:
            drawEffect(driverExt, c);
            break;
        default:
            break;
        }
        release(c);
    }
    g_queue.count = 0;
    g_queue.textCount = 0;
}

void taOverlayClear()
{
    for (int i = 0; i < g_queue.count; ++i)
        release(g_queue.commands[i]);
    g_queue.count = 0;
    g_queue.textCount = 0;
}

int taOverlayCount()
{
    return g_queue.count;
}
