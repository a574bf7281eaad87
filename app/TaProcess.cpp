// Process paths and arguments.
#include "app/TaProcess.h"

#include "core/TaLog.h"
#include "files/TaFile.h"
#include "platform/TaPlatform.h"

#include <cstring>

namespace {
int g_argc = 0;
char** g_argv = nullptr;
char g_exePath[TA_MAX_PATH] = {};
char g_exeDirectory[TA_MAX_PATH] = {};
} // namespace

void taSysInit(int argc, char** argv)
{
    g_argc = argc;
    g_argv = argv;
    g_exePath[0] = 0;
    g_exeDirectory[0] = 0;
    if (!taPlatformExecutablePath(g_exePath, sizeof(g_exePath))) {
        g_exePath[0] = 0;
        taPrint(ETALOG_ERROR, "Cannot find the path of the executable, or it is longer than %d characters",
                TA_MAX_PATH - 1);
        return;
    }
    // The directory part always fits: it is a prefix of the path.
    const char* dir = taGetFileDir(g_exePath);
    snprintf(g_exeDirectory, sizeof(g_exeDirectory), "%s", dir);
}

int taGetArgc() { return g_argc; }
char** taGetArgv() { return g_argv; }
const char* taGetExePath() { return g_exePath; }
const char* taGetExeDirectory() { return g_exeDirectory; }
