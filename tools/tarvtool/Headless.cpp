// The engine on the null driver for tarvtool.
#include "tools/tarvtool/Headless.h"

#include "core/TaLog.h"
#include "engine/TaEngine.h"

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
    return true;
}
