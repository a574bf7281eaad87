// Setup parameters and their defaults.
#include "engine/TaSetupParams.h"

#include <cstring>

STaScreenMode taEmptyScreenMode()
{
    return STaScreenMode{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
}

STaSetupParams taDefaultSetupParams()
{
    STaSetupParams params;
    memset(&params, 0, sizeof(params));
    params.cameraNear = 0.1f;
    params.cameraFar = 1000.0f;
    params.width = 640;
    params.height = 480;
    params.bpp = 32;
    params.windowed = -1;
    params.windowX = -1;
    params.windowY = -1;
    params.vsync = -1;
    params.fps = -1;
    params.antialias = -1;
    params.lightPrePass = -1;
    params.hideMouse = -1;
    params.shaders = -1;
    params.stereo = 0;
    params.driver = ETADRIVER_DEFAULT;
    return params;
}
