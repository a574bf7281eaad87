// 2D drawing, text and images: the engine operations behind the script API's 2D and image
// families. Failures set the last error with the position of the argument at fault as its code.
#pragma once

#include <irrlicht.h>

// --- Drawing state (reset by engine start-up) ---
void taReset2DState();
void Ink(unsigned colour);        // low 24 bits
void InkAlpha(int alpha);         // low 8 bits
unsigned InkColour();             // 0xAARRGGBB of ink colour and alpha
int Box(int x1, int y1, int x2, int y2);
int Line(int x1, int y1, int x2, int y2);
// The effect variants check their IDs (effect code 5 for boxes; image code 1 and effect code 6 for
// images); drawing with an effect needs the effect manager.
int BoxWithEffect(int x1, int y1, int x2, int y2, int effect);
int PasteImageWithEffect(int id, int x, int y, int width, int height, int effect);
unsigned RGB(int r, int g, int b);
unsigned RGBf(float r, float g, float b);

// --- Text ---
int Text(int x, int y, const char* text);
// 0, or -1 with "The font '%s' cannot be loaded" (code 1).
int SetTextFont(const char* file);
void SetTextColor(unsigned colour); // alpha byte ignored
void SetTextAlpha(int alpha);       // clamped to 0..255
const char* TextFont();             // nullptr for the built-in font
unsigned TextColor();
int TextAlpha();
int TextWidth(const char* text);
int TextHeight(const char* text);

// --- Fades and projection ---
void FadeIn(int ms, unsigned colour);
void FadeOut(int ms, unsigned colour);
void StopFade();
void PositionToScreen(float x, float y, float z, int* screenX, int* screenY);

// --- Images: textures in the image table ---
// An existing image under the ID is deleted first. "invalid Image ID %d : %s" (code 2), "Failed to
// load image '%s'" / "Failed to make image" (code 1).
int LoadImage(const char* file, int id);
int MakeImage(int width, int height, int id);
// "Image ID %d is not renderable" (code 1) for an image that is not a render target.
int RenderToImage(int id, bool clear);
void SetImageColor(unsigned colour); // low 24 bits
void SetImageAlpha(int alpha);       // low 8 bits
int PasteImage(int id, int x, int y, bool useAlpha);
int PasteImageStretch(int id, int x, int y, int width, int height, bool useAlpha);
bool ImageExist(int id);
void DeleteImage(int id);
int ImageWidth(int id);
int ImageHeight(int id);
// The texture of an image, or nullptr (with "Image ID %d does not exist. %s", code `code`).
irr::video::ITexture* taGetImage(int id, int code = 1);
