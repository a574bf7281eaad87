// The effect manager.
#include "effects/TaEffectManager.h"

#include "core/TaLog.h"

CTaEffectManager::CTaEffectManager(irr::IrrlichtDevice* device, ITaVideoDriverExt*, CTaGPUProgrammingServices*,
                                   CTaRendererManager*, CTaRenderServices*, CTaTextureManager*, CTaSceneManager*)
    : m_device(device)
{
}

CTaEffectManager::~CTaEffectManager() = default;

irr::IReferenceCounted* CTaEffectManager::loadEffect(const char* path)
{
    taPrint(ETALOG_ERROR, "CTaEffectManager: effects are not part of this build yet, so '%s' cannot be loaded",
            path ? path : "");
    return nullptr;
}
