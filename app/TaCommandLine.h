// The command line: run modes, classification of the file, and the options.
#pragma once

#include "app/TaSetup.h"

// Run modes, chosen by the file on the command line or by packed data in the executable.
enum ETaRunMode {
    ETAMODE_NONE = 0,
    ETAMODE_OBJECT_VIEWER = 1, // .x, .lwo, .obj
    ETAMODE_SCENE_VIEWER = 2,  // *.lws.ini*, .tscn, .tarv; -binary
    ETAMODE_DEMO = 3,          // *.demo.ini*
    ETAMODE_PACKED = 4,        // packed data in or beside the executable
    ETAMODE_SCRIPT = 5,        // .lua, .tlua
};

// The run mode a file name selects, or ETAMODE_NONE when its format is not supported.
int taClassifyFile(const char* name);
// A readable name of a run mode ("object viewer", "scene viewer", ...).
const char* taRunModeName(int mode);

// What the options of the command line ask for.
struct STaCommandLine {
    STaScreenMode screenMode;
    STaViewerOptions viewer;          // flags start as 0x21
    bool userLog;
    char captureBase[TA_MAX_PATH];    // "" when frames are not captured
    char captureVideo[TA_MAX_PATH];   // -capvideo FILE.mp4: "" when no video is made
    float captureFps;                 // 30 unless given (0 also means 30)
    int captureFirst, captureLast;    // -capframes A-B: the frames written (0 and -1: all)
    bool check;                       // -check: load everything a demo needs headless, list problems
    int driver;                       // ETaDriver
    char audio[TA_MAX_PATH];          // "" when not given
    char file[TA_MAX_PATH];           // the first argument that is not an option; "" when none
};
STaCommandLine taDefaultCommandLine();

// Parses argv[1..argc-1]. Options compare exactly; one that takes a value consumes the next
// argument; unknown options are ignored. A value that is missing, not a number or out of range is
// ignored with a warning. A path longer than the path fields, or an unknown driver or audio
// output, fails with an error: -1. "-userlog" takes effect at once.
int taParseOptions(int argc, char** argv, STaCommandLine* commandLine);

// The command line of this process, kept for the run modes and for scripts (whose Setup reads no
// setup file, so the -driver and -audio options are their only way to choose).
const STaCommandLine& taGetCommandLine();
void taSetCommandLine(const STaCommandLine& commandLine);
