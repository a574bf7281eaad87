// CTaResourceManager: engine-wide resources built at start-up (the curl-noise volume, the cube map
// to latitude/longitude effect).
#pragma once

#include <irrlicht.h>

class CTaEffectManager;
class CTaRenderServices;

class CTaResourceManager
{
public:
    CTaResourceManager(irr::IrrlichtDevice* device, CTaEffectManager* effectManager, CTaRenderServices* renderServices);
    virtual ~CTaResourceManager();

    // The curl-noise volume: from a noise volume texture, computed without one, or from its cache.
    // Particles are not part of this build yet: each reports so and fails.
    virtual bool initCurlNoise(const char* volumeTexturePath);
    virtual bool generateCurlNoise();
    virtual bool loadCurlNoiseCache(const char* path);
    virtual bool saveCurlNoiseCache(const char* path);
    virtual void freeCurlNoise() {}
    // Loads the effect that copies a cube map into a latitude/longitude texture.
    virtual bool initEffectCubeMapToLatLong(const char* effectPath);

private:
    [[maybe_unused]] irr::IrrlichtDevice* m_device;
    CTaEffectManager* m_effectManager;
    CTaRenderServices* m_renderServices; // the cube-map effect goes to it
    class CTaEffect* m_cubeMapToLatLong = nullptr;
};
