// Viewer options and reading the setup file "tarv-setup.ini" into the engine's setup parameters.
#pragma once

#include "app/TaProcess.h"
#include "engine/TaSetupParams.h"

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
