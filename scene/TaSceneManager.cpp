// The scene table's place in the engine manager.
#include "scene/TaSceneManager.h"

#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "nodes/TaMeshLoaders.h"
#include "nodes/TaPointCloud.h"
#include "nodes/TaTextureManager.h"
#include "render/TaCubeMap.h"
#include "scene/TaSceneOps.h"

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

CTaSceneManager::CTaSceneManager(irr::IrrlichtDevice* device) : m_device(device), m_table(taSceneEngineOps()) {}

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

irr::scene::IMeshSceneNode* CTaSceneManager::addPointCloudSceneNode(const char* file, irr::u32 count,
                                                                    irr::scene::ISceneNode* parent, irr::s32 id,
                                                                    std::string& error)
{
    irr::scene::ISceneManager* scene = m_device->getSceneManager();
    irr::scene::IAnimatedMesh* mesh = taGetMesh(scene, file, error);
    if (!mesh || !mesh->getMesh(0))
        return nullptr;
    irr::scene::SMesh* cloud = taCreatePointCloudMesh(mesh->getMesh(0), count);
    cloud->setHardwareMappingHint(irr::scene::EHM_STATIC, irr::scene::EBT_VERTEX_AND_INDEX);
    irr::scene::IMeshSceneNode* node = scene->addMeshSceneNode(cloud, parent, id);
    cloud->drop();
    return node;
}
