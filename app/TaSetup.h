// Screen mode, setup parameters and viewer options; reading the setup file "tarv-setup.ini".
#pragma once

#include "app/TaProcess.h"

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

// Scene viewer options: a flags word and three integers.
enum ETaViewerFlags {
    ETAVIEWER_ASK_FILE = 0x01,
    ETAVIEWER_BINARY = 0x02,
    ETAVIEWER_PAUSED = 0x04,
    ETAVIEWER_FRAMESTART = 0x08,
    ETAVIEWER_RIDE = 0x10,
    ETAVIEWER_MUSIC = 0x20,
    ETAVIEWER_SYNCUPDATE = 0x40,
    ETAVIEWER_NOIDLEINACTIVE = 0x80,
};
struct STaViewerOptions {
    unsigned flags;
    int frameStart;
    int rideSpeed;
    int rideOpts;
};

// Reads the setup file (found through taFindFile), merges the command-line screen mode over it and
// fills `params`. `dataDirectory` (or nullptr) becomes the data directory first. Without a readable
// setup file and with `askWhenMissing`, the screen-mode dialog is shown; closing it fails. The
// driver and audio choices of the command line (`commandLineDriver`, `commandLineAudio`, or
// -1 / nullptr) replace those of the file. 0 or -1.
int taReadSetup(const char* setupFile, const char* dataDirectory, const STaScreenMode* commandLine,
                bool askWhenMissing, STaSetupParams* params, int commandLineDriver = ETADRIVER_DEFAULT,
                const char* commandLineAudio = nullptr);

// "opengl" or "null" (case-insensitive) into an ETaDriver; false for anything else.
bool taParseDriverName(const char* text, int* driver);
// True for "sdl", "null" and "wav:" followed by a file name.
bool taIsValidAudioChoice(const char* text);

// A whole text as one integer in [INT_MIN, INT_MAX], surrounding blanks allowed. `cBases` also
// accepts "0x" hexadecimal and leading-zero octal, as the setup file does. False when it is not a
// number or does not fit.
bool taParseInteger(const char* text, int* value, bool cBases);

// Reads up to `count` integers the way scanf reads "%d<sep>%d...": each may follow blanks, and
// `separator` must stand right after each number but the last (a blank separator matches any run
// of blanks, or none). A number that does not fit an int ends the scan. Returns how many were read.
int taScanIntegers(const char* text, char separator, int* values, int count);
