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

// Begin: loads "loading.png" when it exists and draws progress 0. The shader form ("loading.hlsl")
// comes with the engine's material renderer; until then the image-and-bar form is drawn.
void taLoadingScreenBegin();
// Draws one frame at `percent` (0..100).
void taLoadingScreenProgress(int percent);
// Draws 100 and forgets the image.
void taLoadingScreenEnd();
// The short form a script's scene load shows outside archive mode: "%d%%" at (10, 10) in the
// built-in font over a black screen, with the bar.
void taLoadingScreenText(int percent);
