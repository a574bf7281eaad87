// The engine on the null driver for tarvtool.
#include "tools/tarvtool/Headless.h"

#include "core/TaLog.h"
#include "effects/TaGPUProgrammingServices.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"

#include <cstdio>

bool taToolStartEngine()
{
    taSetLogSink([](const char* line, void*) { fputs(line, stderr); }, nullptr);
    taDisableMessageBoxes();
    taSetLogLevel(ETALOG_WARN);
    STaSetupParams params = taDefaultSetupParams();
    params.driver = ETADRIVER_NULL;
    snprintf(params.audio, sizeof(params.audio), "null");
    if (taSetup(params) != 0) {
        fprintf(stderr, "tarvtool: the engine did not start\n");
        return false;
    }
    // A tool writes no shader cache into the directory it was started from.
    taGetManager()->getGPUProgrammingServices()->setCacheDirectory("", 0);
    return true;
}
