// The scene table's place in the engine manager.
#include "scene/TaSceneManager.h"

#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "nodes/TaTextureManager.h"
#include "render/TaCubeMap.h"

namespace {
CTaSceneManager* createSceneManager(irr::IrrlichtDevice* device)
{
    return new CTaSceneManager(device);
}

void destroySceneManager(CTaSceneManager* sceneManager)
{
    delete sceneManager;
}
} // namespace

void taRegisterSceneTable()
{
    taSetSceneManagerFactory(createSceneManager, destroySceneManager);
}

void CTaSceneManager::numberMeshVertices(irr::scene::IMesh* mesh)
{
    taNumberMeshVertices(mesh);
}

ITaCubeMap* CTaSceneManager::addCubeMap(irr::u32 faceSize, irr::video::ECOLOR_FORMAT format, bool latLong)
{
    CTaManager* manager = taGetManager();
    if (!manager)
        return nullptr;
    auto* cube = new CTaCubeMap(m_device->getVideoDriver(), manager->getVideoDriverExt(), manager->getTextureManager(),
                                manager->getRenderServices());
    if (!cube->create(faceSize, format, latLong)) {
        cube->drop();
        return nullptr;
    }
    return cube;
}
