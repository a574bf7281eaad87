// Cube maps under IDs.
#include "scene/TaCubeMaps.h"

#include "core/TaLog.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "render/TaCubeMap.h"
#include "scene/TaSceneManager.h"

using namespace irr;

int taCreateCubeMap(int id, u32 faceSize, bool latLong)
{
    STaIdTable* table = taEngine().cubeMaps.get();
    CTaManager* manager = taGetManager();
    if (idInsert(table, id, table) != 0) {
        taErrorCode(-1, "invalid CubeMap ID %d : %s", id, idGetErrorText());
        return -1;
    }
    idRemove(table, id);
    ITaCubeMap* cube = manager && manager->getSceneManager()
                           ? manager->getSceneManager()->addCubeMap(faceSize, video::ECF_A16B16G16R16F, latLong)
                           : nullptr;
    if (!cube) {
        taErrorCode(-1, "Failed to create cube map");
        return -1;
    }
    idInsert(table, id, cube); // the table holds the cube map's reference
    return 0;
}

void taDeleteCubeMap(int id)
{
    STaIdTable* table = taEngine().cubeMaps.get();
    auto* cube = static_cast<ITaCubeMap*>(idGet(table, id));
    if (!cube)
        return;
    idRemove(table, id);
    cube->drop();
}

ITaCubeMap* taGetCubeMap(int id, int code)
{
    auto* cube = static_cast<ITaCubeMap*>(idGet(taEngine().cubeMaps.get(), id));
    if (!cube)
        taErrorCode(code, "CubeMap ID %d does not exist. %s", id, idGetErrorText());
    return cube;
}

int taClearCubeMap(int id)
{
    ITaCubeMap* cube = taGetCubeMap(id);
    if (!cube)
        return -1;
    cube->clear();
    return 0;
}

bool taCubeMapRendered(int id)
{
    ITaCubeMap* cube = taGetCubeMap(id);
    return cube && cube->rendered();
}

int taRenderCubeMap(int id, const core::vector3df& position)
{
    ITaCubeMap* cube = taGetCubeMap(id);
    if (!cube)
        return -1;
    // OpenGL draws outside a frame as well, and Irrlicht's end of a frame presents it: a cube map
    // rendered between frames is drawn without one, inside a frame within it.
    if (!cube->render(taGetCurrentRenderer(), position)) {
        taErrorCode(-1, "Failed to render cube map");
        return -1;
    }
    return 0;
}
