// CTaManager: owns the engine's sub-managers and hands them out.
#pragma once

#include <irrlicht.h>

class CTaGPUProgrammingServices;
class CTaEffectManager;
class CTaSceneManager;
class CTaTextureManager;
class CTaSurfaceManager;
class CTaRendererManager;
class CTaRenderServices;
class ITaVideoDriverExt;
class CTaResourceManager;

// The scene table (`CTaSceneManager`) lives in the scene layer, above the engine: that layer
// registers how the manager makes and releases it (taRegisterSceneTable), and the manager calls
// them at the scene table's place in its construction and destruction order. Until then the slot
// is empty (getSceneManager returns nullptr), as it is for tools that start the engine alone.
void taSetSceneManagerFactory(CTaSceneManager* (*create)(irr::IrrlichtDevice* device),
                              void (*destroy)(CTaSceneManager* sceneManager));

class ITaManager
{
public:
    virtual ~ITaManager() = default;
    virtual CTaGPUProgrammingServices* getGPUProgrammingServices() = 0;
    virtual CTaEffectManager* getEffectManager() = 0;
    virtual CTaSceneManager* getSceneManager() = 0;
    virtual CTaTextureManager* getTextureManager() = 0;
    virtual CTaSurfaceManager* getSurfaceManager() = 0;
    virtual CTaRendererManager* getRendererManager() = 0;
    virtual CTaRenderServices* getRenderServices() = 0;
    virtual ITaVideoDriverExt* getVideoDriverExt() = 0;
    virtual CTaResourceManager* getResourceManager() = 0;
    // Called right before the device resets (Direct3D only; kept so that it can be fired).
    virtual void onDeviceReset() = 0;
};

class CTaManager : public ITaManager
{
public:
    // The manager for a device, or nullptr when a member cannot be built (logged).
    static CTaManager* create(irr::IrrlichtDevice* device);
    // Releases the members in the reverse of their dependencies: resource manager, effect manager,
    // render services, driver extension, renderer manager, surface manager, scene manager,
    // texture manager, GPU programming services.
    ~CTaManager() override;

    CTaGPUProgrammingServices* getGPUProgrammingServices() override { return m_gpu; }
    CTaEffectManager* getEffectManager() override { return m_effectManager; }
    CTaSceneManager* getSceneManager() override { return m_sceneManager; }
    CTaTextureManager* getTextureManager() override { return m_textureManager; }
    CTaSurfaceManager* getSurfaceManager() override { return m_surfaceManager; }
    CTaRendererManager* getRendererManager() override { return m_rendererManager; }
    CTaRenderServices* getRenderServices() override { return m_renderServices; }
    ITaVideoDriverExt* getVideoDriverExt() override { return m_driverExt; }
    CTaResourceManager* getResourceManager() override { return m_resourceManager; }
    void onDeviceReset() override;

    // How many times the reset notice was given (the particle nodes act on it).
    int deviceResetCount() const { return m_deviceResets; }

private:
    explicit CTaManager(irr::IrrlichtDevice* device);

    irr::IrrlichtDevice* m_device;
    CTaGPUProgrammingServices* m_gpu = nullptr;
    CTaEffectManager* m_effectManager = nullptr;
    CTaSceneManager* m_sceneManager = nullptr;
    void (*m_destroySceneManager)(CTaSceneManager*) = nullptr; // the factory's release, kept with what it made
    CTaTextureManager* m_textureManager = nullptr;
    CTaSurfaceManager* m_surfaceManager = nullptr;
    CTaRendererManager* m_rendererManager = nullptr;
    CTaRenderServices* m_renderServices = nullptr;
    ITaVideoDriverExt* m_driverExt = nullptr;
    CTaResourceManager* m_resourceManager = nullptr;
    int m_deviceResets = 0;
};
