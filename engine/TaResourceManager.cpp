// The resource manager.
#include "engine/TaResourceManager.h"

#include "core/TaLog.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "render/TaRenderServices.h"

CTaResourceManager::CTaResourceManager(irr::IrrlichtDevice* device, CTaEffectManager* effectManager,
                                       CTaRenderServices* renderServices)
    : m_device(device), m_effectManager(effectManager), m_renderServices(renderServices)
{
}

CTaResourceManager::~CTaResourceManager()
{
    freeCurlNoise();
    if (m_cubeMapToLatLong)
        m_cubeMapToLatLong->drop();
}

namespace {
bool curlNoiseMissing()
{
    taPrint(ETALOG_ERROR, "CTaResourceManager: the curl-noise volume is not part of this build yet");
    return false;
}
} // namespace

bool CTaResourceManager::initCurlNoise(const char*) { return curlNoiseMissing(); }
bool CTaResourceManager::generateCurlNoise() { return curlNoiseMissing(); }
bool CTaResourceManager::loadCurlNoiseCache(const char*) { return curlNoiseMissing(); }
bool CTaResourceManager::saveCurlNoiseCache(const char*) { return curlNoiseMissing(); }

bool CTaResourceManager::initEffectCubeMapToLatLong(const char* effectPath)
{
    CTaEffect* effect = m_effectManager->loadEffect(effectPath);
    if (!effect) {
        taPrint(ETALOG_ERROR, "CTaResourceManager::initEffectCubeMapToLatLong failed to load %s ", effectPath);
        return false;
    }
    m_renderServices->setCubeMapToLatLongEffect(effect);
    if (m_cubeMapToLatLong)
        m_cubeMapToLatLong->drop();
    m_cubeMapToLatLong = effect;
    return true;
}
