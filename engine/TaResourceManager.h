// CTaResourceManager: engine-wide resources built at start-up (the curl-noise volume, the cube map
// to latitude/longitude effect).
#pragma once

#include <irrlicht.h>

#include <memory>

class CTaCurlNoise;
class CTaEffectManager;
class CTaRenderServices;

class CTaResourceManager
{
public:
    CTaResourceManager(irr::IrrlichtDevice* device, CTaEffectManager* effectManager, CTaRenderServices* renderServices);
    virtual ~CTaResourceManager();

    // The curl-noise volume: from a noise volume file (a DDS volume of N x N x N 8-bit voxels),
    // computed without one (64 x 64 x 64), or from its cache; false (the volume empty) with the reason
    // logged. The cache is written through a temporary file.
    virtual bool initCurlNoise(const char* volumeTexturePath);
    virtual bool generateCurlNoise();
    virtual bool loadCurlNoiseCache(const char* path);
    virtual bool saveCurlNoiseCache(const char* path);
    virtual void freeCurlNoise();
    // The volume the particles sample (empty until one of the above made it).
    const CTaCurlNoise& curlNoise() const { return *m_curlNoise; }
    // Loads the effect that copies a cube map into a latitude/longitude texture.
    virtual bool initEffectCubeMapToLatLong(const char* effectPath);

private:
    [[maybe_unused]] irr::IrrlichtDevice* m_device;
    CTaEffectManager* m_effectManager;
    CTaRenderServices* m_renderServices; // the cube-map effect goes to it
    class CTaEffect* m_cubeMapToLatLong = nullptr;
    std::unique_ptr<CTaCurlNoise> m_curlNoise;
};
