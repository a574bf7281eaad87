// The engine on the null driver for tarvtool.
#include "tools/tarvtool/Headless.h"

#include "core/TaLog.h"
#include "effects/TaGPUProgrammingServices.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "platform/TaPlatform.h"

#include <cstdio>
#include <string>

bool taToolStartEngine()
{
    taSetLogSink([](const char* line, void*) { fputs(line, stderr); }, nullptr);
    taDisableMessageBoxes();
    taSetLogLevel(ETALOG_WARN);
    STaSetupParams params = taDefaultSetupParams();
    params.driver = ETADRIVER_NULL;
    snprintf(params.audio, sizeof(params.audio), "null");
    // The engine's own effect files are beside the tool, as they are beside the engine.
    char executable[4096];
    if (taPlatformExecutablePath(executable, sizeof executable)) {
        std::string directory = executable;
        directory.erase(directory.find_last_of('/') + 1);
        snprintf(params.dataDirectory, sizeof(params.dataDirectory), "%s", directory.c_str());
    }
    if (taSetup(params) != 0) {
        fprintf(stderr, "tarvtool: the engine did not start\n");
        return false;
    }
    // A tool writes no shader cache into the directory it was started from.
    taGetManager()->getGPUProgrammingServices()->setCacheDirectory("", 0);
    return true;
}
