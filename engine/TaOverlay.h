// The frame's 2D overlay queue: texts, images, lines and boxes drawn over the scene by Sync.
#pragma once

#include <irrlicht.h>

constexpr int TA_OVERLAY_MAX_DRAWS = 1024;
constexpr int TA_OVERLAY_MAX_TEXTS = 64;
constexpr int TA_OVERLAY_TEXT_SIZE = 512; // 511 characters and the terminating zero

// Command kinds, in the numbering scripts use.
enum ETaOverlayKind {
    ETAOVERLAY_TEXT = 1,
    ETAOVERLAY_IMAGE = 2,
    ETAOVERLAY_LINE = 3,
    ETAOVERLAY_BOX = 4,
    ETAOVERLAY_BOX_EFFECT = 5,
    ETAOVERLAY_IMAGE_EFFECT = 6,
};

// Each call queues one command: 0, or -1 with "too many 2D draws in one frame" logged (remembered
// with code -1) when the queue or the text store is full. Colours are 0xAARRGGBB. Queued textures
// and fonts are grabbed until the command is drawn or dropped.
int taOverlayText(irr::gui::IGUIFont* font, int x, int y, irr::u32 colour, const char* text);
// `width` and `height` below 0 draw the image at its own size; otherwise it is stretched to them.
// `tint` (0xAARRGGBB) multiplies the image's colours; its alpha is the paste's transparency.
int taOverlayImage(irr::video::ITexture* texture, int x, int y, int width, int height, bool useAlpha,
                   irr::u32 tint = 0xFFFFFFFF);
int taOverlayLine(int x1, int y1, int x2, int y2, irr::u32 colour);
// A filled box covering the pixels from (x1, y1) up to but not including (x2, y2).
int taOverlayBox(int x1, int y1, int x2, int y2, irr::u32 colour);

// A full-screen quad drawn with the effect's first pass (technique 0, pass 0); before it draws, the
// effect's parameter "Rectangle" (when declared) gets (x, y, width, height), "Color" the colour as
// (r, g, b, a) in 0..1, and with a texture the texture parameter "Image" gets it. The effect is held
// until the command is drawn or dropped.
int taOverlayEffect(class CTaEffect* effect, irr::video::ITexture* texture, int x, int y, int width, int height,
                    irr::u32 colour);

// Draws the queue in order and empties it.
// The effect draws need the driver extension (nullptr: they are skipped).
void taOverlayDraw(irr::video::IVideoDriver* driver, class ITaVideoDriverExt* driverExt);
// Empties the queue without drawing.
void taOverlayClear();
int taOverlayCount();
