// Reading the setup file and merging the command line over it.
#include "app/TaSetup.h"

#include "engine/TaDialogs.h"
#include "core/TaLog.h"
#include "files/TaFile.h"
#include "files/TaIni.h"

#include <iniparser.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

bool taParseInteger(const char* text, int* value, bool cBases)
{
    if (!text)
        return false;
    while (isspace(static_cast<unsigned char>(*text)))
        ++text;
    if (!*text)
        return false;
    errno = 0;
    char* end = nullptr;
    long long parsed = strtoll(text, &end, cBases ? 0 : 10);
    if (end == text || errno == ERANGE || parsed < INT_MIN || parsed > INT_MAX)
        return false;
    while (isspace(static_cast<unsigned char>(*end)))
        ++end;
    if (*end)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

int taScanIntegers(const char* text, char separator, int* values, int count)
{
    if (!text)
        return 0;
    const char* p = text;
    int read = 0;
    while (read < count) {
        if (read > 0) {
            if (separator == ' ') {
                // A blank in the format matches any run of blanks, or none.
            } else if (*p == separator) {
                ++p;
            } else {
                break;
            }
        }
        while (isspace(static_cast<unsigned char>(*p)))
            ++p;
        const char* start = p;
        if (*p == '+' || *p == '-')
            ++p;
        if (!isdigit(static_cast<unsigned char>(*p)))
            break;
        long long number = 0;
        bool overflow = false;
        while (isdigit(static_cast<unsigned char>(*p))) {
            number = number * 10 + (*p - '0');
            if (number > static_cast<long long>(INT_MAX) + 1)
                overflow = true, number = static_cast<long long>(INT_MAX) + 1;
            ++p;
        }
        if (*start == '-')
            number = -number;
        if (overflow || number < INT_MIN || number > INT_MAX)
            break;
        values[read++] = static_cast<int>(number);
    }
    return read;
}

bool taParseDriverName(const char* text, int* driver)
{
    if (!text)
        return false;
    if (strcasecmp(text, "opengl") == 0) {
        *driver = ETADRIVER_OPENGL;
        return true;
    }
    if (strcasecmp(text, "null") == 0) {
        *driver = ETADRIVER_NULL;
        return true;
    }
    return false;
}

bool taIsValidAudioChoice(const char* text)
{
    if (!text)
        return false;
    if (strcmp(text, "sdl") == 0 || strcmp(text, "null") == 0)
        return true;
    return strncmp(text, "wav:", 4) == 0 && text[4] != 0 && strlen(text) < TA_MAX_PATH;
}

namespace {

// An integer key; -1 (not given) when absent, and a warning when it is there but not a number.
int readIntegerKey(dictionary* ini, const char* key, const char* file)
{
    const char* text = iniparser_getstring(ini, key, nullptr);
    if (!text)
        return -1;
    int value;
    if (!taParseInteger(text, &value, true)) {
        taPrint(ETALOG_WARN, "%s: %s = '%s' is not a whole number; ignored", file, key, text);
        return -1;
    }
    return value;
}

// The keys of the setup file into `mode` and `params`.
void readSetupKeys(dictionary* ini, const char* file, STaScreenMode& mode, STaSetupParams& params)
{
    if (const char* display = iniparser_getstring(ini, "setup:display", nullptr)) {
        int values[3];
        int n = taScanIntegers(display, ' ', values, 3);
        if (n >= 1) mode.width = values[0];
        if (n >= 2) mode.height = values[1];
        if (n >= 3) mode.bpp = values[2];
    }
    if (const char* windowed = iniparser_getstring(ini, "setup:windowed", nullptr)) {
        mode.windowed = (strcmp(windowed, "1") == 0 || strcasecmp(windowed, "yes") == 0 ||
                         strcasecmp(windowed, "y") == 0) ? 1 : 0;
    }
    if (const char* position = iniparser_getstring(ini, "setup:windowpos", nullptr)) {
        int values[2];
        int n = taScanIntegers(position, ' ', values, 2);
        if (n >= 1) mode.windowX = values[0];
        if (n >= 2) mode.windowY = values[1];
    }
    mode.vsync = readIntegerKey(ini, "setup:vsync", file);
    params.hideMouse = readIntegerKey(ini, "setup:hide_mouse", file);
    mode.fps = readIntegerKey(ini, "setup:fps", file);
    mode.antialias = readIntegerKey(ini, "setup:antialias", file);
    params.lightPrePass = readIntegerKey(ini, "setup:lightprepass", file);
    mode.shaders = readIntegerKey(ini, "setup:shaders", file);
    mode.stereo = readIntegerKey(ini, "setup:stereo", file);
    if (const char* range = iniparser_getstring(ini, "setup:camerarange", nullptr)) {
        float nearPlane, farPlane;
        if (sscanf(range, "%f %f", &nearPlane, &farPlane) == 2 && nearPlane != farPlane &&
            std::isfinite(nearPlane) && std::isfinite(farPlane)) {
            params.cameraNear = nearPlane;
            params.cameraFar = farPlane;
        }
    }
    if (const char* driver = iniparser_getstring(ini, "setup:driver", nullptr)) {
        if (!taParseDriverName(driver, &params.driver))
            taPrint(ETALOG_WARN, "%s: unknown driver '%s' (use opengl or null); using opengl", file, driver);
    }
    if (const char* audio = iniparser_getstring(ini, "setup:audio", nullptr)) {
        if (taIsValidAudioChoice(audio))
            snprintf(params.audio, sizeof(params.audio), "%s", audio);
        else
            taPrint(ETALOG_WARN, "%s: unknown audio output '%s' (use sdl, null or wav:FILE); using sdl", file, audio);
    }
}

// Copies every given field of `over` onto `mode`; "centered" belongs to the dialog alone.
void mergeScreenMode(STaScreenMode& mode, const STaScreenMode& over)
{
    static int STaScreenMode::*const fields[] = {
        &STaScreenMode::width, &STaScreenMode::height, &STaScreenMode::windowed, &STaScreenMode::windowX,
        &STaScreenMode::windowY, &STaScreenMode::bpp, &STaScreenMode::vsync, &STaScreenMode::fps,
        &STaScreenMode::antialias, &STaScreenMode::shaders, &STaScreenMode::stereo,
    };
    for (auto field : fields)
        if (over.*field != -1)
            mode.*field = over.*field;
}

} // namespace

int taReadSetup(const char* setupFile, const char* dataDirectory, const STaScreenMode* commandLine,
                bool askWhenMissing, STaSetupParams* params, int commandLineDriver, const char* commandLineAudio)
{
    STaSetupParams result = taDefaultSetupParams();
    STaScreenMode mode = taEmptyScreenMode();
    if (dataDirectory) {
        taSetDataDirectory(dataDirectory);
        snprintf(result.dataDirectory, sizeof(result.dataDirectory), "%s", taGetDataDirectory());
    }

    bool haveFile = false;
    const char* path = taFindFile(setupFile ? setupFile : "tarv-setup.ini");
    if (taFileExists(path)) {
        std::string error;
        TaIniPtr ini = taLoadIni(path, &error);
        if (ini) {
            readSetupKeys(ini.get(), path, mode, result);
            haveFile = true;
        } else {
            taPrint(ETALOG_WARN, "Setup file does not parse, using the defaults: %s", error.c_str());
        }
    }
    if (!haveFile && askWhenMissing) {
        STaScreenMode chosen;
        if (taScreenModeDialog(&chosen) != 0)
            return -1;
        mode.width = chosen.width;
        mode.height = chosen.height;
        mode.bpp = chosen.bpp;
        mode.windowed = chosen.windowed;
        mode.vsync = 1;
        result.hideMouse = chosen.windowed == 0 ? 1 : 0;
    }
    if (commandLine)
        mergeScreenMode(mode, *commandLine);

    if (mode.width != -1) result.width = mode.width;
    if (mode.height != -1) result.height = mode.height;
    if (result.width <= 0 || result.height <= 0) {
        taPrint(ETALOG_WARN, "Display size %dx%d is not usable; using 640x480", result.width, result.height);
        result.width = 640;
        result.height = 480;
    }
    if (mode.bpp != -1) result.bpp = mode.bpp;
    result.windowed = mode.windowed;
    result.windowX = mode.windowX;
    result.windowY = mode.windowY;
    result.vsync = mode.vsync;
    result.fps = mode.fps;
    result.antialias = mode.antialias;
    result.shaders = mode.shaders;
    if (mode.stereo != -1) result.stereo = mode.stereo;
    if (commandLineDriver != ETADRIVER_DEFAULT)
        result.driver = commandLineDriver;
    if (commandLineAudio && commandLineAudio[0])
        snprintf(result.audio, sizeof(result.audio), "%s", commandLineAudio);
    *params = result;
    return 0;
}
