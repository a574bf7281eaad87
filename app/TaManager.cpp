// The engine manager.
#include "app/TaManager.h"

#include "app/TaLog.h"
#include "app/TaResourceManager.h"
#include "effects/TaEffectManager.h"
#include "effects/TaGPUProgrammingServices.h"
#include "nodes/TaSurfaceManager.h"
#include "nodes/TaTextureManager.h"
#include "render/TaRenderServices.h"
#include "render/TaRendererManager.h"
#include "render/TaVideoDriverExt.h"
#include "scene/TaSceneManager.h"

CTaManager::CTaManager(irr::IrrlichtDevice* device) : m_device(device)
{
    m_device->grab();
}

CTaManager* CTaManager::create(irr::IrrlichtDevice* device)
{
    if (!device)
        return nullptr;
    CTaManager* manager = new CTaManager(device);
    manager->m_gpu = new CTaGPUProgrammingServices(device);
    manager->m_textureManager = new CTaTextureManager(device);
    manager->m_sceneManager = new CTaSceneManager(device);
    manager->m_surfaceManager = new CTaSurfaceManager(device);
    manager->m_rendererManager = new CTaRendererManager(device);
    manager->m_driverExt = taCreateVideoDriverExt(device);
    manager->m_gpu->setVideoDriverExt(manager->m_driverExt);
    manager->m_renderServices = new CTaRenderServices(device, manager->m_driverExt);
    if (!manager->m_renderServices->isValid()) {
        delete manager;
        return nullptr;
    }
    manager->m_effectManager =
        new CTaEffectManager(device, manager->m_driverExt, manager->m_gpu, manager->m_rendererManager,
                             manager->m_renderServices, manager->m_textureManager, manager->m_sceneManager);
    manager->m_resourceManager = new CTaResourceManager(device, manager->m_effectManager, manager->m_renderServices);
    return manager;
}

CTaManager::~CTaManager()
{
    delete m_resourceManager;
    delete m_effectManager;
    delete m_renderServices;
    delete m_driverExt;
    delete m_rendererManager;
    delete m_surfaceManager;
    delete m_sceneManager;
    delete m_textureManager;
    delete m_gpu;
    m_device->drop();
}

void CTaManager::onDeviceReset()
{
    ++m_deviceResets;
}
