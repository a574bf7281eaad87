// Shared by the benchmarks that need the engine: started on OpenGL (under Xvfb) with the simple
// renderer (or the light pre-pass one), no vsync, no antialiasing unless asked, the null audio output,
// warnings only and no shader cache.
#pragma once

#include "core/TaLog.h"
#include "effects/TaGPUProgrammingServices.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"

#include <cstdio>

inline bool taBenchStartEngine(int width, int height, bool lightPrePass = false, bool antialias = false)
{
    taSetLogLevel(ETALOG_WARN);
    STaSetupParams params = taDefaultSetupParams();
    params.driver = ETADRIVER_OPENGL;
    params.width = width;
    params.height = height;
    params.vsync = 0;
    params.antialias = antialias ? 1 : 0;
    params.lightPrePass = lightPrePass ? 1 : 0;
    snprintf(params.audio, sizeof(params.audio), "null");
    if (taSetup(params) != 0)
        return false;
    taGetManager()->getGPUProgrammingServices()->setCacheDirectory("", 0);
    return true;
}
