// The resource manager.
#include "engine/TaResourceManager.h"

#include "core/TaLog.h"
#include "driver/TaDdsReader.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "files/TaFile.h"
#include "particles/TaCurlNoise.h"
#include "render/TaRenderServices.h"

#include <string>
#include <vector>

CTaResourceManager::CTaResourceManager(irr::IrrlichtDevice* device, CTaEffectManager* effectManager,
                                       CTaRenderServices* renderServices)
    : m_device(device), m_effectManager(effectManager), m_renderServices(renderServices),
      m_curlNoise(new CTaCurlNoise)
{
}

CTaResourceManager::~CTaResourceManager()
{
    freeCurlNoise();
    if (m_cubeMapToLatLong)
        m_cubeMapToLatLong->drop();
}

bool CTaResourceManager::initCurlNoise(const char* volumeTexturePath)
{
    const STaFileBlock file = taReadWholeFile(volumeTexturePath ? volumeTexturePath : "");
    STaDdsImage image;
    std::string error;
    if (!file.data) {
        error = "cannot be read";
    } else if (taReadDds(file.data.get(), file.size, image, error)) {
        if (image.kind != ETADDS_VOLUME || image.format != ETADDS_L8 || image.width != image.height ||
            image.width != image.depth || image.surfaces.empty())
            error = "not a cube of 8-bit voxels (width = height = depth, 8 bits a voxel)";
        else if (!m_curlNoise->buildFromVoxels(reinterpret_cast<const uint8_t*>(file.data.get()) +
                                                   image.surfaces[0].offset,
                                               image.surfaces[0].size, int(image.width)))
            error = "its voxels do not make a volume";
    }
    if (!error.empty()) {
        m_curlNoise->clear();
        taPrint(ETALOG_ERROR, "CTaResourceManager: the noise volume %s %s", volumeTexturePath ? volumeTexturePath : "",
                error.c_str());
        return false;
    }
    return true;
}

bool CTaResourceManager::generateCurlNoise()
{
    const std::vector<uint8_t> voxels = taNoiseVolumeVoxels(64);
    return m_curlNoise->buildFromVoxels(voxels.data(), voxels.size(), 64);
}

bool CTaResourceManager::loadCurlNoiseCache(const char* path)
{
    std::string error;
    if (!m_curlNoise->loadCache(path ? path : "", error)) {
        taPrint(ETALOG_ERROR, "%s", error.c_str());
        return false;
    }
    return true;
}

bool CTaResourceManager::saveCurlNoiseCache(const char* path)
{
    return path && m_curlNoise->saveCache(path);
}

void CTaResourceManager::freeCurlNoise()
{
    m_curlNoise->clear();
}

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
