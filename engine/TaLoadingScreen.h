// The loading screen: an optional image and a progress bar, drawn as whole frames while a demo or
// scene loads.
#pragma once

#include <irrlicht.h>

// The three rectangles of the bar for a W x H screen, `imageHeight` the loading image's height
// (0 without one) and `percent` the progress: the white frame, the black inside and the bar.
struct STaLoadingBar {
    irr::core::rect<irr::s32> frame, inside, bar;
};
STaLoadingBar taLoadingBarGeometry(int width, int height, int imageHeight, int percent);

// Begin: loads "loading.png" when it exists and draws progress 0. On OpenGL the picture is a
// shader's: "loading.hlsl" when it exists (entry points "vs_main" and "ps_main", constants
// "resolution" and "progress", the image on sampler s0), else the built-in one; on the null driver,
// or when the shader does not build, the image and a bar.
void taLoadingScreenBegin();
// Draws one frame at `percent` (0..100).
void taLoadingScreenProgress(int percent);
// Draws 100 (with a shader, 100 to 129 on 30 frames: the shader fades out) and forgets the image.
void taLoadingScreenEnd();
// Forgets the image and the shader's callback without drawing: engine shut-down, so that nothing
// of a loading screen left open outlives the device that made it.
void taLoadingScreenRelease();
// The built-in loading shader's HLSL text.
extern const char* const taBuiltInLoadingShader;
// The short form a script's scene load shows outside archive mode: "%d%%" at (10, 10) in the
// built-in font over a black screen, with the bar.
void taLoadingScreenText(int percent);
