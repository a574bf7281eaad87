// The command line.
#include "app/TaCommandLine.h"

#include "core/TaLog.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>

namespace {
STaCommandLine g_commandLine = taDefaultCommandLine();

bool copyPath(char* out, const char* text, const char* what)
{
    if (strlen(text) >= TA_MAX_PATH) {
        taPrint(ETALOG_ERROR, "%s '%.40s...' is longer than %d characters", what, text, TA_MAX_PATH - 1);
        return false;
    }
    snprintf(out, TA_MAX_PATH, "%s", text);
    return true;
}
} // namespace

int taClassifyFile(const char* name)
{
    if (!name)
        return ETAMODE_NONE;
    if (strstr(name, ".demo.ini"))
        return ETAMODE_DEMO;
    if (strstr(name, ".lws.ini"))
        return ETAMODE_SCENE_VIEWER;
    const char* dot = strrchr(name, '.');
    if (!dot)
        return ETAMODE_NONE;
    struct { const char* extension; int mode; } table[] = {
        {".tarv", ETAMODE_SCENE_VIEWER}, {".tscn", ETAMODE_SCENE_VIEWER}, {".x", ETAMODE_OBJECT_VIEWER},
        {".lwo", ETAMODE_OBJECT_VIEWER}, {".obj", ETAMODE_OBJECT_VIEWER}, {".lua", ETAMODE_SCRIPT},
        {".tlua", ETAMODE_SCRIPT},
    };
    for (const auto& entry : table)
        if (strcasecmp(dot, entry.extension) == 0)
            return entry.mode;
    return ETAMODE_NONE;
}

const char* taRunModeName(int mode)
{
    switch (mode) {
    case ETAMODE_OBJECT_VIEWER: return "object viewer";
    case ETAMODE_SCENE_VIEWER: return "scene viewer";
    case ETAMODE_DEMO: return "demo player";
    case ETAMODE_PACKED: return "packed executable";
    case ETAMODE_SCRIPT: return "script host";
    default: return "unknown run mode";
    }
}

STaCommandLine taDefaultCommandLine()
{
    STaCommandLine commandLine;
    memset(&commandLine, 0, sizeof(commandLine));
    commandLine.screenMode = taEmptyScreenMode();
    commandLine.viewer.flags = ETAVIEWER_ASK_FILE | ETAVIEWER_MUSIC;
    commandLine.captureFps = 30.0f;
    commandLine.captureFirst = 0;
    commandLine.captureLast = -1;
    commandLine.driver = ETADRIVER_DEFAULT;
    return commandLine;
}

int taParseOptions(int argc, char** argv, STaCommandLine* out)
{
    STaCommandLine& cl = *out;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg)
            continue;
        if (arg[0] != '-') {
            // The first argument that is not an option is the file; later ones are ignored.
            if (!cl.file[0] && !copyPath(cl.file, arg, "File name"))
                return -1;
            continue;
        }
        // Options without a value.
        if (strcmp(arg, "-paused") == 0) { cl.viewer.flags |= ETAVIEWER_PAUSED; continue; }
        if (strcmp(arg, "-ride") == 0) { cl.viewer.flags |= ETAVIEWER_RIDE; continue; }
        if (strcmp(arg, "-nomusic") == 0) { cl.viewer.flags &= ~unsigned(ETAVIEWER_MUSIC); continue; }
        if (strcmp(arg, "-syncupdate") == 0) { cl.viewer.flags |= ETAVIEWER_SYNCUPDATE; continue; }
        if (strcmp(arg, "-noidleinactive") == 0) { cl.viewer.flags |= ETAVIEWER_NOIDLEINACTIVE; continue; }
        if (strcmp(arg, "-check") == 0) {
            // On the null driver and the null audio output, never asking for a screen mode.
            cl.check = true;
            cl.driver = ETADRIVER_NULL;
            snprintf(cl.audio, sizeof(cl.audio), "null");
            continue;
        }
        if (strcmp(arg, "-userlog") == 0) {
            cl.userLog = true;
            taSetLogLevel(ETALOG_WARN);
            taDisableMessageBoxes();
            continue;
        }

        static const char* const valueOptions[] = {
            "-framestart", "-rideopts", "-ridespeed", "-display", "-windowed", "-windowpos", "-stereo",
            "-vsync", "-cap", "-capfps", "-capframes", "-capvideo", "-driver", "-audio", nullptr,
        };
        bool takesValue = false;
        for (int k = 0; valueOptions[k]; ++k)
            takesValue |= strcmp(arg, valueOptions[k]) == 0;
        if (!takesValue)
            continue; // unknown options (and "-console") are ignored
        if (i + 1 >= argc || !argv[i + 1]) {
            taPrint(ETALOG_WARN, "Option %s needs a value; ignored", arg);
            continue;
        }
        const char* value = argv[++i];
        const std::string option = arg;

        int* integerTarget = nullptr;
        if (option == "-framestart") integerTarget = &cl.viewer.frameStart;
        else if (option == "-rideopts") integerTarget = &cl.viewer.rideOpts;
        else if (option == "-ridespeed") integerTarget = &cl.viewer.rideSpeed;
        else if (option == "-windowed") integerTarget = &cl.screenMode.windowed;
        else if (option == "-stereo") integerTarget = &cl.screenMode.stereo;
        else if (option == "-vsync") integerTarget = &cl.screenMode.vsync;
        if (integerTarget) {
            int number;
            if (!taParseInteger(value, &number, false)) {
                taPrint(ETALOG_WARN, "Option %s: '%s' is not a whole number in range; ignored", arg, value);
                continue;
            }
            *integerTarget = number;
            if (option == "-framestart")
                cl.viewer.flags |= ETAVIEWER_FRAMESTART;
        } else if (option == "-display") {
            int size[2];
            if (taScanIntegers(value, 'x', size, 2) == 2 && size[0] > 0 && size[1] > 0) {
                cl.screenMode.width = size[0];
                cl.screenMode.height = size[1];
            } else {
                taPrint(ETALOG_WARN, "Option -display: '%s' is not WIDTHxHEIGHT; ignored", value);
            }
        } else if (option == "-windowpos") {
            int position[2];
            if (taScanIntegers(value, ',', position, 2) == 2) {
                cl.screenMode.windowX = position[0];
                cl.screenMode.windowY = position[1];
            } else {
                taPrint(ETALOG_WARN, "Option -windowpos: '%s' is not X,Y; ignored", value);
            }
        } else if (option == "-cap") {
            if (!copyPath(cl.captureBase, value, "Capture base name"))
                return -1;
        } else if (option == "-capfps") {
            char* end = nullptr;
            float fps = strtof(value, &end);
            if (end == value || *end || !std::isfinite(fps) || fps < 0 || fps > 10000) {
                taPrint(ETALOG_WARN, "Option -capfps: '%s' is not a frame rate; ignored", value);
                continue;
            }
            cl.captureFps = fps == 0 ? 30.0f : fps;
        } else if (option == "-capvideo") {
            if (!copyPath(cl.captureVideo, value, "Capture video file"))
                return -1;
        } else if (option == "-capframes") {
            int range[2];
            if (taScanIntegers(value, '-', range, 2) == 2 && range[0] >= 0 && range[1] >= range[0]) {
                cl.captureFirst = range[0];
                cl.captureLast = range[1];
            } else {
                taPrint(ETALOG_WARN, "Option -capframes: '%s' is not FIRST-LAST; ignored", value);
            }
        } else if (option == "-driver") {
            if (!taParseDriverName(value, &cl.driver)) {
                taPrint(ETALOG_ERROR, "Option -driver: unknown driver '%s' (use opengl or null)", value);
                return -1;
            }
        } else if (option == "-audio") {
            if (!taIsValidAudioChoice(value)) {
                taPrint(ETALOG_ERROR, "Option -audio: unknown audio output '%s' (use sdl, null or wav:FILE)", value);
                return -1;
            }
            snprintf(cl.audio, sizeof(cl.audio), "%s", value);
        }
    }
    return 0;
}

const STaCommandLine& taGetCommandLine() { return g_commandLine; }
void taSetCommandLine(const STaCommandLine& commandLine) { g_commandLine = commandLine; }
