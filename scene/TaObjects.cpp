// Objects and lights.
#include "scene/TaObjects.h"

#include "engine/TaEngine.h"
#include "core/TaLog.h"
#include "files/TaFile.h"
#include "driver/TaVideoDriverExt.h"
#include "engine/TaManager.h"
#include "nodes/TaLightSceneNodeExt.h"
#include "nodes/TaMeshLoaders.h"
#include "nodes/TaSceneNodeExt.h"
#include "nodes/TaSurfaceManager.h"
#include "nodes/TaTextureManager.h"
#include "scene/TaSceneManager.h"
#include "scene/TaSurfaces.h"

#include <string>

using namespace irr;

namespace {

// Checks that a fresh ID can take a new entry: false with "invalid <kind> ID %d : %s".
bool idUsable(STaIdTable* table, int id, const char* kind, int code)
{
    if (idInsert(table, id, table) != 0) {
        taErrorCode(code, "invalid %s ID %d : %s", kind, id, idGetErrorText());
        return false;
    }
    idRemove(table, id);
    return true;
}

scene::ILightSceneNode* light(int id)
{
    auto* node = static_cast<scene::ILightSceneNode*>(idGet(taEngine().lights.get(), id));
    if (!node)
        taErrorCode(1, "Light ID %d does not exist. %s", id, idGetErrorText());
    return node;
}

scene::IAnimatedMeshSceneNode* animated(scene::ISceneNode* node)
{
    return node && node->getType() == scene::ESNT_ANIMATED_MESH ? static_cast<scene::IAnimatedMeshSceneNode*>(node)
                                                                : nullptr;
}

void removeNode(STaIdTable* table, int id)
{
    auto* node = static_cast<scene::ISceneNode*>(idGet(table, id));
    if (!node)
        return;
    idRemove(table, id);
    // The collision world must not keep a selector that names a node that goes.
    if (node->getTriangleSelector() && taEngine().collisionWorld)
        taEngine().collisionWorld->removeTriangleSelector(node->getTriangleSelector());
    node->remove();
    node->drop();
}

// A light's extension (made on first use), or nullptr with the error.
CTaLightSceneNodeExt* lightExt(int id)
{
    scene::ILightSceneNode* node = light(id);
    return node ? taAttachLightSceneNodeExt(node) : nullptr;
}

} // namespace

scene::ISceneNode* taGetObject(int id, int code)
{
    auto* node = static_cast<scene::ISceneNode*>(idGet(taEngine().objects.get(), id));
    if (!node)
        taErrorCode(code, "Object ID %d does not exist. %s", id, idGetErrorText());
    return node;
}

int taObjectVertexTexture(int id, const char* name, unsigned options)
{
    scene::ISceneNode* node = taGetObject(id, 1);
    if (!node)
        return -1;
    scene::IMesh* mesh = nullptr;
    const scene::ESCENE_NODE_TYPE type = node->getType();
    if (type == scene::ESNT_ANIMATED_MESH) {
        scene::IAnimatedMesh* animatedMesh = static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh();
        mesh = animatedMesh ? animatedMesh->getMesh(0) : nullptr;
    } else if (type == scene::ESNT_MESH || type == static_cast<scene::ESCENE_NODE_TYPE>(MAKE_IRR_ID('m', 'o', 'r', 'p'))) {
        // A morph mesh node is a mesh node of the engine's own.
        auto* meshNode = dynamic_cast<scene::IMeshSceneNode*>(node);
        if (!meshNode) {
            taErrorCode(-1, "Object ID %d unsupported mesh type", id);
            return -1;
        }
        mesh = meshNode->getMesh();
    } else {
        taErrorCode(-1, "Object ID %d unsupported mesh type", id);
        return -1;
    }
    if (!mesh) {
        taErrorCode(-1, "Object ID %d does not have a mesh", id);
        return -1;
    }
    CTaManager* manager = taGetManager();
    if (!manager) {
        taErrorCode(-1, "Object ID %d failed to create vertex texture", id);
        return -1;
    }
    if (CTaSceneManager* scenes = manager->getSceneManager())
        scenes->numberMeshVertices(mesh);
    else
        taNumberMeshVertices(mesh);
    if ((options & ETAVTX_KEEP_EXISTING) && manager->getVideoDriverExt()->findTexture(name ? name : ""))
        return 0;
    if (!manager->getTextureManager()->createMeshVertexTexture(mesh, name, (options & ETAVTX_FLOAT) != 0, 1024,
                                                               (options & ETAVTX_NORMALS) != 0)) {
        taErrorCode(-1, "Object ID %d failed to create vertex texture", id);
        return -1;
    }
    return 0;
}

int LoadObject(const char* file, int id)
{
    STaEngineContext& engine = taEngine();
    DeleteObject(id);
    if (!idUsable(engine.objects.get(), id, "Object", 2))
        return -1;
    std::string why;
    scene::IAnimatedMesh* mesh = taGetMesh(engine.sceneManager, taFindFile(file), why);
    if (!mesh || !mesh->getMesh(0)) {
        // The text stays the same; the reader's reason follows on a line of its own.
        taErrorCode(1, "Failed to load mesh '%s'%s%s", file ? file : "", why.empty() ? "" : "\n", why.c_str());
        return -1;
    }
    scene::IMesh* first = mesh->getMesh(0);
    for (u32 i = 0; i < first->getMeshBufferCount(); ++i) {
        const u32 points = first->getMeshBuffer(i)->getVertexCount();
        if (points > 65535)
            taPrint(ETALOG_WARN,
                    "Object %d '%s' has too much points on surface %d ;\n%d points > maximum 65535.\nRender artifacts "
                    "will occur.",
                    id, file, static_cast<int>(i), static_cast<int>(points));
    }
    scene::IAnimatedMeshSceneNode* node = engine.sceneManager->addAnimatedMeshSceneNode(mesh);
    if (!node) {
        taErrorCode(1, "Failed to load mesh '%s'", file ? file : "");
        return -1;
    }
    // Frames are chosen by the caller, never advanced by the clock.
    node->setAnimationSpeed(0);
    node->setCurrentFrame(static_cast<f32>(node->getStartFrame()));
    taBuildSurfaceEffects(taGiveSurfaces(node), id);
    node->grab();
    idInsert(engine.objects.get(), id, node);
    return 0;
}

CTaSceneNodeExt* taGiveSurfaces(scene::ISceneNode* node)
{
    CTaManager* manager = taGetManager();
    if (!node || !manager)
        return nullptr;
    CTaSceneNodeExt* ext = taAttachSceneNodeExt(node, manager->getVideoDriverExt());
    for (u32 i = 0; i < ext->materialCount(); ++i) {
        ITaSurface* surface = manager->getSurfaceManager()->createSurface(ETAST_LIGHTWAVE);
        surface->initFromMaterial(node->getMaterial(i));
        ext->setSurface(i, surface);
        surface->drop();
    }
    return ext;
}

bool ObjectExist(int id)
{
    return idGet(taEngine().objects.get(), id) != nullptr;
}

bool ObjectVisible(int id)
{
    scene::ISceneNode* node = taGetObject(id);
    return node && node->isVisible();
}

int ShowObject(int id)
{
    scene::ISceneNode* node = taGetObject(id);
    if (!node)
        return -1;
    node->setVisible(true);
    return 0;
}

int HideObject(int id)
{
    scene::ISceneNode* node = taGetObject(id);
    if (!node)
        return -1;
    node->setVisible(false);
    return 0;
}

void DeleteObject(int id)
{
    if (taEngine().objects)
        removeNode(taEngine().objects.get(), id);
}

int PositionObject(int id, float x, float y, float z)
{
    scene::ISceneNode* node = taGetObject(id);
    if (!node)
        return -1;
    node->setPosition(core::vector3df(x, y, z));
    return 0;
}

int RotateObject(int id, float x, float y, float z)
{
    scene::ISceneNode* node = taGetObject(id);
    if (!node)
        return -1;
    node->setRotation(core::vector3df(x, y, z));
    return 0;
}

int ScaleObject(int id, float x, float y, float z)
{
    scene::ISceneNode* node = taGetObject(id);
    if (!node)
        return -1;
    node->setScale(core::vector3df(x / 100.0f, y / 100.0f, z / 100.0f));
    return 0;
}

int TotalObjectFrames(int id)
{
    scene::ISceneNode* node = taGetObject(id);
    if (!node)
        return 0;
    scene::IAnimatedMeshSceneNode* mesh = animated(node);
    const s32 frames = mesh && mesh->getMesh() ? mesh->getMesh()->getFrameCount() : 1;
    return frames > 1 ? frames : 1;
}

int SetObjectFrame(int id, float frame)
{
    scene::ISceneNode* node = taGetObject(id);
    if (!node)
        return -1;
    if (scene::IAnimatedMeshSceneNode* mesh = animated(node))
        mesh->setCurrentFrame(static_cast<f32>(mesh->getStartFrame()) + frame);
    return 0;
}

float GetObjectRadius(int id)
{
    scene::ISceneNode* node = taGetObject(id);
    if (!node)
        return -1;
    scene::IAnimatedMeshSceneNode* mesh = animated(node);
    if (!mesh) {
        taErrorCode(1, "Object ID %d is not of supported type", id);
        return -1;
    }
    if (!mesh->getMesh()) {
        taErrorCode(1, "Object ID %d has no mesh", id);
        return -1;
    }
    return mesh->getMesh()->getBoundingBox().getExtent().getLength() * 0.5f;
}

// --- Lights ---

int MakeLight(int id)
{
    STaEngineContext& engine = taEngine();
    DeleteLight(id);
    if (!idUsable(engine.lights.get(), id, "Light", 1))
        return -1;
    scene::ILightSceneNode* node = engine.sceneManager->addLightSceneNode(nullptr, core::vector3df(0, 0, 0),
                                                                          video::SColorf(1, 1, 1, 1), 10000000.0f);
    if (!node) {
        taErrorCode(-1, "failed to create light");
        return -1;
    }
    taAttachLightSceneNodeExt(node);
    node->grab();
    idInsert(engine.lights.get(), id, node);
    return 0;
}

bool LightExist(int id)
{
    return idGet(taEngine().lights.get(), id) != nullptr;
}

bool LightVisible(int id)
{
    scene::ILightSceneNode* node = light(id);
    return node && node->isVisible();
}

int ShowLight(int id)
{
    scene::ILightSceneNode* node = light(id);
    if (!node)
        return -1;
    node->setVisible(true);
    return 0;
}

int HideLight(int id)
{
    scene::ILightSceneNode* node = light(id);
    if (!node)
        return -1;
    node->setVisible(false);
    return 0;
}

void DeleteLight(int id)
{
    if (taEngine().lights)
        removeNode(taEngine().lights.get(), id);
}

int SetPointLight(int id, float x, float y, float z)
{
    scene::ILightSceneNode* node = light(id);
    if (!node)
        return -1;
    node->setLightType(video::ELT_POINT);
    node->setPosition(core::vector3df(x, y, z));
    return 0;
}

int SetDirectionalLight(int id, float x, float y, float z)
{
    scene::ILightSceneNode* node = light(id);
    if (!node)
        return -1;
    node->setLightType(video::ELT_DIRECTIONAL);
    node->setRotation(core::vector3df(x, y, z));
    return 0;
}

int SetSpotLight(int id, float inner, float outer)
{
    scene::ILightSceneNode* node = light(id);
    if (!node)
        return -1;
    node->setLightType(video::ELT_SPOT);
    video::SLight& data = node->getLightData();
    data.InnerCone = inner;
    data.OuterCone = outer;
    return 0;
}

int PositionLight(int id, float x, float y, float z)
{
    scene::ILightSceneNode* node = light(id);
    if (!node)
        return -1;
    node->setPosition(core::vector3df(x, y, z));
    return 0;
}

int RotateLight(int id, float x, float y, float z)
{
    scene::ILightSceneNode* node = light(id);
    if (!node)
        return -1;
    node->setRotation(core::vector3df(x, y, z));
    return 0;
}

int SetLightRange(int id, float radius)
{
    scene::ILightSceneNode* node = light(id);
    if (!node)
        return -1;
    node->setRadius(radius);
    return 0;
}

int ColorLight(int id, unsigned colour)
{
    scene::ILightSceneNode* node = light(id);
    if (!node)
        return -1;
    node->getLightData().DiffuseColor = video::SColorf(video::SColor(255, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF,
                                                                     colour & 0xFF));
    return 0;
}

void ColorAmbientLight(unsigned colour)
{
    taEngine().sceneManager->setAmbientLight(
        video::SColorf(video::SColor(255, (colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF)));
}

void ColorBackdrop(unsigned colour)
{
    taSetBackgroundColor(colour);
}

// --- Clones, locks and collision --------------------------------------------------------------------

int CloneObject(int id, int source)
{
    STaEngineContext& engine = taEngine();
    DeleteObject(id);
    if (!idUsable(engine.objects.get(), id, "Object", 1))
        return -1;
    scene::ISceneNode* original = taGetObject(source, 2);
    if (!original)
        return -1;
    scene::ISceneNode* twin = taCloneSceneNode(original);
    if (!twin) {
        taErrorCode(-1, "Failed to create the cloned object");
        return -1;
    }
    twin->grab();
    idInsert(engine.objects.get(), id, twin);
    return 0;
}

int InstanceObject(int id, int source)
{
    return CloneObject(id, source);
}

int LockObjectOn(int id)
{
    scene::ISceneNode* node = taGetObject(id);
    if (!node || !taEngine().camera)
        return -1;
    node->setParent(taEngine().camera);
    return 0;
}

int LockObjectOff(int id)
{
    scene::ISceneNode* node = taGetObject(id);
    if (!node)
        return -1;
    // Out of the scene graph (the object table still holds it) until it gets a parent again.
    node->setParent(nullptr);
    return 0;
}

int GhostObjectOn(int id)
{
    return taGetObject(id) ? 0 : -1;
}

int SetAlphaMappingOn(int id, float)
{
    return taGetObject(id) ? 0 : -1;
}

int SetObjectCollisionOn(int id)
{
    STaEngineContext& engine = taEngine();
    scene::ISceneNode* node = taGetObject(id);
    if (!node)
        return -1;
    if (!node->getTriangleSelector()) {
        scene::ITriangleSelector* selector = nullptr;
        if (scene::IAnimatedMeshSceneNode* moving = animated(node))
            selector = engine.sceneManager->createTriangleSelector(moving);
        else if (auto* meshNode = dynamic_cast<scene::IMeshSceneNode*>(node))
            selector = meshNode->getMesh() ? engine.sceneManager->createTriangleSelector(meshNode->getMesh(), node) : nullptr;
        if (!selector) {
            taErrorCode(1, "Object ID %d has no mesh", id);
            return -1;
        }
        node->setTriangleSelector(selector);
        selector->drop();
    }
    if (!engine.collisionWorld)
        engine.collisionWorld = engine.sceneManager->createMetaTriangleSelector();
    engine.collisionWorld->removeTriangleSelector(node->getTriangleSelector());
    engine.collisionWorld->addTriangleSelector(node->getTriangleSelector());
    return 0;
}

int SetObjectCollisionOff(int id)
{
    scene::ISceneNode* node = taGetObject(id);
    if (!node)
        return -1;
    if (node->getTriangleSelector() && taEngine().collisionWorld)
        taEngine().collisionWorld->removeTriangleSelector(node->getTriangleSelector());
    return 0;
}

// --- Light parameters --------------------------------------------------------------------------------

int SetLightRawColor(int id, float r, float g, float b)
{
    CTaLightSceneNodeExt* ext = lightExt(id);
    if (!ext)
        return -1;
    ext->setRawColour(r, g, b);
    return 0;
}

int SetLightIntensity(int id, float intensity)
{
    CTaLightSceneNodeExt* ext = lightExt(id);
    if (!ext)
        return -1;
    ext->setIntensity(intensity);
    return 0;
}

int SetLightShadow(int id, bool on)
{
    scene::ILightSceneNode* node = light(id);
    if (!node)
        return -1;
    node->enableCastShadow(on);
    return 0;
}

int ColorLightShadow(int id, unsigned colour)
{
    CTaLightSceneNodeExt* ext = lightExt(id);
    if (!ext)
        return -1;
    f32* shadow = ext->params().shadowColour;
    shadow[0] = ((colour >> 16) & 0xFF) / 255.0f;
    shadow[1] = ((colour >> 8) & 0xFF) / 255.0f;
    shadow[2] = (colour & 0xFF) / 255.0f;
    shadow[3] = 1.0f;
    return 0;
}

int SetShadowMapSize(int id, int size)
{
    CTaLightSceneNodeExt* ext = lightExt(id);
    if (!ext)
        return -1;
    ext->params().shadowMapSize = size;
    return 0;
}

int SetShadowMapFuzz(int id, float fuzz)
{
    CTaLightSceneNodeExt* ext = lightExt(id);
    if (!ext)
        return -1;
    ext->params().shadowMapFuzz = fuzz;
    return 0;
}

// --- What scenes give objects and lights beyond the script functions -------------------------------

int taLoadPointCloudObject(const char* file, int id, int points)
{
    STaEngineContext& engine = taEngine();
    CTaManager* manager = taGetManager();
    DeleteObject(id);
    if (!idUsable(engine.objects.get(), id, "Object", 2))
        return -1;
    if (!manager || !manager->getSceneManager() || points <= 0) {
        taErrorCode(1, "Failed to load mesh '%s'", file ? file : "");
        return -1;
    }
    std::string why;
    scene::IMeshSceneNode* node = manager->getSceneManager()->addPointCloudSceneNode(
        taFindFile(file), static_cast<u32>(points), nullptr, -1, why);
    if (!node) {
        taErrorCode(1, "Failed to load mesh '%s'%s%s", file ? file : "", why.empty() ? "" : "\n", why.c_str());
        return -1;
    }
    taBuildSurfaceEffects(taGiveSurfaces(node), id);
    node->grab();
    idInsert(engine.objects.get(), id, node);
    return 0;
}

namespace {
CTaSceneNodeExt* objectExt(int id)
{
    scene::ISceneNode* node = taGetObject(id, 1);
    CTaManager* manager = taGetManager();
    if (!node || !manager)
        return nullptr;
    return taAttachSceneNodeExt(node, manager->getVideoDriverExt());
}
} // namespace

int taSetObjectShadowCaster(int id, bool on)
{
    CTaSceneNodeExt* ext = objectExt(id);
    if (!ext)
        return -1;
    ext->setCastShadows(on);
    return 0;
}

int taSetObjectSelectionMask(int id, unsigned mask)
{
    CTaSceneNodeExt* ext = objectExt(id);
    if (!ext)
        return -1;
    ext->setSelectionMask(mask);
    return 0;
}

int taSetObjectCubeMap(int id, ITaNodeCubeMap* cubeMap, bool box, const core::vector3df& boxPosition,
                       const core::vector3df& boxScale)
{
    CTaSceneNodeExt* ext = objectExt(id);
    if (!ext)
        return -1;
    ext->setCubeMap(cubeMap);
    ext->setCubeMapBoxEnabled(box);
    if (box)
        ext->setCubeMapBox(boxPosition, boxScale);
    return 0;
}

int taSetLightProjectionImage(int id, const char* file)
{
    CTaLightSceneNodeExt* ext = lightExt(id);
    if (!ext)
        return -1;
    video::ITexture* image = nullptr;
    if (file && *file) {
        CTaManager* manager = taGetManager();
        image = manager ? manager->getTextureManager()->getTexture(taFindFile(file), true) : nullptr;
        if (!image)
            taErrorCode(2, "Light ID %d failed to load projection image %s", id, file);
    }
    ext->setProjectionImage(image);
    return image || !file || !*file ? 0 : -1;
}

int taSetLightVolumetric(int id, bool on, bool colourOn, const core::vector3df& colour, int mode)
{
    CTaLightSceneNodeExt* ext = lightExt(id);
    if (!ext)
        return -1;
    STaLightParams& p = ext->params();
    p.volumetric = on;
    p.volumetricColourOn = colourOn;
    p.volumetricColour[0] = colourOn ? colour.X : 1.0f;
    p.volumetricColour[1] = colourOn ? colour.Y : 1.0f;
    p.volumetricColour[2] = colourOn ? colour.Z : 1.0f;
    p.volumetricColour[3] = 1.0f;
    p.volumetricMode = mode;
    return 0;
}

int taSetLightVolumetricShape(int id, float density, float base)
{
    CTaLightSceneNodeExt* ext = lightExt(id);
    if (!ext)
        return -1;
    ext->params().volumetricDensity = density;
    ext->params().volumetricBase = base;
    return 0;
}

int taSetLightVolumetricVisible(int id, bool on)
{
    CTaLightSceneNodeExt* ext = lightExt(id);
    if (!ext)
        return -1;
    ext->params().volumetric = on;
    return 0;
}

int taSetLightVolumetricClamp(int id, bool on, float value)
{
    CTaLightSceneNodeExt* ext = lightExt(id);
    if (!ext)
        return -1;
    ext->params().volumetricClamp = on;
    ext->params().volumetricClampValue = value;
    return 0;
}
