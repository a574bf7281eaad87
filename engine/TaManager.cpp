// The engine manager.
#include "engine/TaManager.h"

#include "effects/TaEffectBind.h"
#include "nodes/TaSceneNodeExt.h"

#include "core/TaLog.h"
#include "engine/TaResourceManager.h"
#include "effects/TaEffectManager.h"
#include "effects/TaGPUProgrammingServices.h"
#include "nodes/TaSurfaceManager.h"
#include "nodes/TaTextureManager.h"
#include "render/TaRenderServices.h"
#include "render/TaRendererManager.h"
#include "driver/TaVideoDriverExt.h"

namespace {
// The scene table belongs to the scene layer above the engine, which registers how to make and
// release it (taSetSceneManagerFactory); without it the slot stays empty.
CTaSceneManager* (*g_createSceneManager)(irr::IrrlichtDevice*) = nullptr;
void (*g_destroySceneManager)(CTaSceneManager*) = nullptr;
} // namespace

void taSetSceneManagerFactory(CTaSceneManager* (*create)(irr::IrrlichtDevice*), void (*destroy)(CTaSceneManager*))
{
    g_createSceneManager = create;
    g_destroySceneManager = destroy;
}

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
    manager->m_driverExt = taCreateVideoDriverExt(device);
    taAddDdsImageLoader(device->getVideoDriver());
    manager->m_textureManager = new CTaTextureManager(device, manager->m_driverExt);
    if (g_createSceneManager && g_destroySceneManager) {
        manager->m_sceneManager = g_createSceneManager(device);
        manager->m_destroySceneManager = g_destroySceneManager;
    }
    manager->m_surfaceManager = new CTaSurfaceManager(device);
    manager->m_rendererManager = new CTaRendererManager(device, manager->m_driverExt);
    manager->m_gpu->setVideoDriverExt(manager->m_driverExt);
    manager->m_renderServices = new CTaRenderServices(device, manager->m_driverExt);
    manager->m_rendererManager->setRenderServices(manager->m_renderServices);
    if (!manager->m_renderServices->isValid()) {
        delete manager;
        return nullptr;
    }
    manager->m_effectManager =
        new CTaEffectManager(device, manager->m_driverExt, manager->m_gpu, manager->m_rendererManager,
                             manager->m_renderServices, manager->m_textureManager, manager->m_sceneManager);
    manager->m_resourceManager = new CTaResourceManager(device, manager->m_effectManager, manager->m_renderServices);
    // The surface binds read the drawn node's extension.
    taSetNodeBindLookup(taNodeBindInfoOfExtension);
    return manager;
}

CTaManager::~CTaManager()
{
    taSetNodeBindLookup(nullptr);
    delete m_resourceManager;
    delete m_effectManager;
    delete m_renderServices;
    delete m_rendererManager;
    delete m_surfaceManager;
    if (m_sceneManager)
        m_destroySceneManager(m_sceneManager);
    delete m_textureManager;
    delete m_driverExt;
    delete m_gpu;
    m_device->drop();
}

void CTaManager::onDeviceReset()
{
    ++m_deviceResets;
}
