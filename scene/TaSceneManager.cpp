// The scene table's place in the engine manager.
#include "scene/TaSceneManager.h"

#include "engine/TaManager.h"
#include "nodes/TaTextureManager.h"

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
