// What engine start-up is handed: the screen mode, the video driver and the setup parameters.
#pragma once

#include "core/TaLimits.h"

// A screen mode: twelve integers, each -1 when not given. The command line fills one, the setup
// file another, the screen-mode dialog a third.
struct STaScreenMode {
    int width, height;
    int windowed;          // 1 a window, 0 full screen
    int windowX, windowY;
    int bpp, vsync, fps, antialias, shaders, stereo;
    int centered;
};
// Every field -1.
STaScreenMode taEmptyScreenMode();

// Video drivers: OpenGL renders; null runs everything that needs no pixels (tests, -binary, packing).
enum ETaDriver {
    ETADRIVER_DEFAULT = -1, // not given: OpenGL
    ETADRIVER_OPENGL = 0,
    ETADRIVER_NULL = 1,
};

// Settings handed to engine start-up. Fields left at -1 mean "not given" and take the meaning
// written beside them.
struct STaSetupParams {
    char dataDirectory[TA_MAX_PATH]; // "" leaves the data directory as it is
    float cameraNear, cameraFar;     // 0.1 and 1000.0 unless the setup file gives two different values
    int width, height, bpp;          // 640, 480, 32
    int windowed;                    // -1: a window; full screen only when exactly 0
    int windowX, windowY;            // -1: centred on the screen along that axis
    int vsync;                       // -1 or non-zero: on
    int fps;                         // carried, not consumed
    int antialias;                   // -1 or non-zero: on
    int lightPrePass;                // -1 or non-zero: the light pre-pass renderer
    int hideMouse;                   // non-zero hides the cursor
    int shaders;                     // carried, not consumed
    int stereo;                      // 0 unless given
    int driver;                      // ETaDriver
    char audio[TA_MAX_PATH];         // "sdl" (also when ""), "null" or "wav:" + file
};
// The parameters when nothing at all is given.
STaSetupParams taDefaultSetupParams();
