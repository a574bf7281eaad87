// Render services.
#include "render/TaRenderServices.h"

#include "core/TaLog.h"
#include "driver/TaMaterialExt.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectBind.h"
#include "nodes/TaSceneNodeExt.h"
#include "render/TaLightGeometry.h"
#include "render/TaNodeRenderInfo.h"
#include "render/TaRenderer.h"

#include <cmath>
#include <cstring>
#include <vector>

using namespace irr;

CTaRenderServices::CTaRenderServices(IrrlichtDevice* device, ITaVideoDriverExt* driverExt)
    : m_device(device), m_driverExt(driverExt), m_quadRecord(taNewMaterialExt()), m_fallbackRecord(taNewMaterialExt())
{
    // The cube faces' camera lives outside the scene graph, so that nothing of the scene's (a walk,
    // a clear) meets it; it is positioned by hand.
    scene::ISceneManager* scene = device ? device->getSceneManager() : nullptr;
    if (scene) {
        m_camera = scene->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0), core::vector3df(0, 0, 10), -1, false);
        if (m_camera) {
            m_camera->grab();
            m_camera->remove();
            m_camera->setFOV(1.5707964f);
            m_camera->setAspectRatio(1.0f);
            m_camera->setNearValue(0.1f);
            m_camera->setFarValue(1000.0f);
        }
    }
    m_valid = m_quadRecord != 0 && m_fallbackRecord != 0 && m_camera;
}

CTaRenderServices::~CTaRenderServices()
{
    if (m_latLongEffect)
        m_latLongEffect->drop();
    if (m_camera)
        m_camera->drop();
    taFreeMaterialExt(m_quadRecord);
    taFreeMaterialExt(m_fallbackRecord);
}

bool CTaRenderServices::drawEffectQuad(CTaEffect* effect, int technique, int pass, video::ITexture* const* textures,
                                       int count)
{
    STaMaterial passMaterial;
    STaMaterialExt* record = taGetMaterialExt(m_quadRecord);
    if (!effect || !record || !effect->getPassMaterial(technique, pass, passMaterial))
        return false;
    for (int i = 0; textures && i < count && i < TA_MATERIAL_LAYERS; ++i)
        if (textures[i])
            passMaterial.layers[i].texture = textures[i];
    record->effect = effect;
    record->technique = technique;
    record->pass = pass;
    record->node = nullptr;
    video::SMaterial material;
    taApplyMaterial(passMaterial, material, m_quadRecord, m_driverExt);
    drawScreenQuad(material);
    record->effect = nullptr;
    return true;
}

bool CTaRenderServices::setRenderTargets(video::ITexture** textures, int count)
{
    video::IVideoDriver* driver = m_device->getVideoDriver();
    if (m_driverExt)
        m_driverExt->setCubeFaceRenderTarget(nullptr, 0); // a cube face is let go before Irrlicht binds
    if (count <= 0 || !textures || !textures[0])
        return driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    if (count == 1)
        return driver->setRenderTarget(textures[0], false, false);
    core::array<video::IRenderTarget> targets;
    for (int i = 0; i < count; ++i)
        if (textures[i])
            targets.push_back(video::IRenderTarget(textures[i], video::ECP_ALL, video::EBF_ONE, video::EBF_ZERO,
                                                   video::EBO_NONE));
    return driver->setRenderTarget(targets, false, false);
}

void CTaRenderServices::copyTexture(video::ITexture* texture)
{
    if (!texture)
        return;
    video::IVideoDriver* driver = m_device->getVideoDriver();
    const core::dimension2du target = driver->getCurrentRenderTargetSize();
    const core::dimension2du source = texture->getOriginalSize();
    driver->draw2DImage(texture, core::rect<s32>(0, 0, target.Width, target.Height),
                        core::rect<s32>(0, 0, source.Width, source.Height));
}

void CTaRenderServices::drawScreenQuad(video::SMaterial material)
{
    static const u16 indices[6] = {0, 1, 2, 0, 2, 3};
    const video::SColor white(255, 255, 255, 255);
    video::S3DVertex corners[4] = {video::S3DVertex(-1, -1, 0, 0, 0, 1, white, 0, 1),
                                   video::S3DVertex(-1, 1, 0, 0, 0, 1, white, 0, 0),
                                   video::S3DVertex(1, 1, 0, 0, 0, 1, white, 1, 0),
                                   video::S3DVertex(1, -1, 0, 0, 0, 1, white, 1, 1)};
    material.Lighting = false;
    material.ZWriteEnable = false;
    material.ZBuffer = video::ECFN_ALWAYS;
    material.BackfaceCulling = false;
    video::IVideoDriver* driver = m_device->getVideoDriver();
    // The camera's transforms come back afterwards: the draws that follow a quad in a frame (the
    // geometry after the buffers' clear, a light volume after a full-screen light) still need them.
    const core::matrix4 world = driver->getTransform(video::ETS_WORLD);
    const core::matrix4 view = driver->getTransform(video::ETS_VIEW);
    const core::matrix4 projection = driver->getTransform(video::ETS_PROJECTION);
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setTransform(video::ETS_VIEW, core::IdentityMatrix);
    driver->setTransform(video::ETS_PROJECTION, core::IdentityMatrix);
    driver->setMaterial(material);
    driver->drawIndexedTriangleList(corners, 4, indices, 2);
    driver->setTransform(video::ETS_WORLD, world);
    driver->setTransform(video::ETS_VIEW, view);
    driver->setTransform(video::ETS_PROJECTION, projection);
}

// --- Node render information -----------------------------------------------------------------------

namespace {
TaNodeRenderInfoLookup g_nodeRenderInfo = nullptr;

bool isMeshNode(scene::ISceneNode* node)
{
    const scene::ESCENE_NODE_TYPE type = node->getType();
    return type == scene::ESNT_MESH || type == scene::ESNT_ANIMATED_MESH ||
           type == static_cast<scene::ESCENE_NODE_TYPE>(MAKE_IRR_ID('m', 'o', 'r', 'p'));
}

// Whether a material draws in the transparent passes: as its renderer says; the null driver's
// renderers say nothing, so there Irrlicht's transparent types (as OpenGL has them) count.
bool isTransparent(video::IVideoDriver* driver, const video::SMaterial& material)
{
    video::IMaterialRenderer* renderer = driver->getMaterialRenderer(material.MaterialType);
    if (driver->getDriverType() != video::EDT_NULL)
        return renderer && renderer->isTransparent();
    switch (material.MaterialType) {
    case video::EMT_TRANSPARENT_ADD_COLOR:
    case video::EMT_TRANSPARENT_ALPHA_CHANNEL:
    case video::EMT_TRANSPARENT_VERTEX_ALPHA:
    case video::EMT_TRANSPARENT_REFLECTION_2_LAYER:
    case video::EMT_NORMAL_MAP_TRANSPARENT_ADD_COLOR:
    case video::EMT_NORMAL_MAP_TRANSPARENT_VERTEX_ALPHA:
    case video::EMT_PARALLAX_MAP_TRANSPARENT_ADD_COLOR:
    case video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA:
    case video::EMT_ONETEXTURE_BLEND: return true;
    default: return renderer && renderer->isTransparent();
    }
}

bool isLightOrCamera(scene::ISceneNode* node)
{
    return node->getType() == scene::ESNT_LIGHT || node->getType() == scene::ESNT_CAMERA ||
           node->getType() == scene::ESNT_CAMERA_MAYA || node->getType() == scene::ESNT_CAMERA_FPS;
}

// The walk of the scene graph: `keep` decides what is listed; lights and cameras end their branch.
template <typename Keep>
void walk(scene::ISceneNode* node, core::array<scene::ISceneNode*>& out, Keep keep)
{
    if (!node->isVisible())
        return;
    if (keep(node))
        out.push_back(node);
    for (scene::ISceneNode* child : node->getChildren())
        if (!isLightOrCamera(child))
            walk(child, out, keep);
}

} // namespace

void taSetNodeRenderInfoLookup(TaNodeRenderInfoLookup lookup)
{
    g_nodeRenderInfo = lookup;
}

ITaNodeRenderInfo* taNodeRenderInfo(scene::ISceneNode* node)
{
    if (!node)
        return nullptr;
    return g_nodeRenderInfo ? g_nodeRenderInfo(node) : taGetSceneNodeExt(node);
}

bool taDefaultCastsShadows(scene::ISceneNode* node)
{
    return node && isMeshNode(node);
}

void CTaRenderServices::collectVisibleNodes(core::array<scene::ISceneNode*>& out)
{
    out.set_used(0);
    for (scene::ISceneNode* child : m_device->getSceneManager()->getRootSceneNode()->getChildren())
        if (!isLightOrCamera(child))
            walk(child, out, [](scene::ISceneNode*) { return true; });
}

void CTaRenderServices::collectShadowCasters(core::array<scene::ISceneNode*>& out)
{
    out.set_used(0);
    for (scene::ISceneNode* child : m_device->getSceneManager()->getRootSceneNode()->getChildren())
        if (!isLightOrCamera(child))
            walk(child, out, [](scene::ISceneNode* node) {
                ITaNodeRenderInfo* info = taNodeRenderInfo(node);
                return info ? info->castsShadows() : taDefaultCastsShadows(node);
            });
}

// Draws the node's mesh buffers of the pass with the driver (Irrlicht 1.8 draws a node only as a
// whole, within its own scene pass). False when nothing of the node was drawn.
bool CTaRenderServices::drawNode(scene::ISceneNode* node, bool transparentPass, video::SOverrideMaterial* override)
{
    scene::IMesh* mesh = nullptr;
    if (node->getType() == scene::ESNT_ANIMATED_MESH) {
        auto* animated = static_cast<scene::IAnimatedMeshSceneNode*>(node);
        scene::IAnimatedMesh* frames = animated->getMesh();
        mesh = frames ? frames->getMesh(static_cast<s32>(animated->getFrameNr())) : nullptr;
    } else if (auto* meshNode = dynamic_cast<scene::IMeshSceneNode*>(node)) {
        mesh = meshNode->getMesh();
    }
    if (!mesh)
        return false;
    video::IVideoDriver* driver = m_device->getVideoDriver();
    bool drawn = false;
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
        scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
        const video::SMaterial& own = i < node->getMaterialCount() ? node->getMaterial(i) : buffer->getMaterial();
        if (isTransparent(driver, own) != transparentPass)
            continue;
        if (!drawn)
            driver->setTransform(video::ETS_WORLD, node->getAbsoluteTransformation());
        if (override) {
            video::SMaterial material = own;
            override->apply(material);
            driver->setMaterial(material);
        } else {
            driver->setMaterial(own);
        }
        driver->drawMeshBuffer(buffer);
        drawn = true;
    }
    return drawn;
}

bool CTaRenderServices::renderNodes(const core::array<scene::ISceneNode*>& nodes, scene::E_SCENE_NODE_RENDER_PASS pass,
                                    const char* technique, const video::SOverrideMaterial* override, u32 hideSet,
                                    u32 showSet, int& count, CTaEffect* fallback)
{
    count = 0;
    if (nodes.empty())
        return true;
    int techniqueIndex = -1;
    if (technique && *technique) {
        static const char* const names[] = {"depth", "shadow", "reflection"};
        for (int t = 0; t < 3; ++t)
            if (strcmp(technique, names[t]) == 0)
                techniqueIndex = t;
        if (techniqueIndex < 0)
            return false;
    }
    const bool transparentPass = pass == scene::ESNRP_TRANSPARENT || pass == scene::ESNRP_TRANSPARENT_EFFECT;
    if (transparentPass && m_driverExt) {
        // The destination alpha becomes dst.a x (1 - src.a).
        m_driverExt->setSeparateAlphaBlend(true);
        m_driverExt->setSrcBlendAlpha(0);
        m_driverExt->setBlendFactor(0);
        m_driverExt->setAlphaBlend(1, TA_BLEND_CONSTANT_FACTOR, 7);
    }
    taSetEffectRenderPass(pass);
    video::IVideoDriver* driver = m_device->getVideoDriver();
    // The fallback's material, put on the materials without a variant for their draw.
    video::SMaterial fallbackMaterial;
    STaMaterial fallbackPass;
    STaMaterialExt* fallbackRecord = taGetMaterialExt(m_fallbackRecord);
    if (fallback && techniqueIndex >= 0 && fallbackRecord && fallback->getPassMaterial(0, 0, fallbackPass)) {
        fallbackRecord->effect = fallback;
        fallbackRecord->technique = 0;
        fallbackRecord->pass = 0;
        fallbackRecord->node = nullptr;
        taApplyMaterial(fallbackPass, fallbackMaterial, m_fallbackRecord, m_driverExt);
    } else {
        fallback = nullptr;
    }
    video::SOverrideMaterial active;
    if (override) {
        active = *override;
        active.Enabled = true;
    }
    for (u32 n = 0; n < nodes.size(); ++n) {
        scene::ISceneNode* node = nodes[n];
        ITaNodeRenderInfo* info = taNodeRenderInfo(node);
        if (info) {
            const u32 mask = info->renderSetMask();
            if ((showSet != 0 && (mask & showSet) == 0) || (mask & hideSet) != 0)
                continue;
        }
        if (techniqueIndex < 0) {
            count += drawNode(node, transparentPass, override ? &active : nullptr) ? 1 : 0;
            continue;
        }
        if (!info && !fallback)
            continue;
        // The technique's variant on each material for this draw; a material without one takes the
        // fallback, or is kept out of the draw without one.
        if (info)
            info->saveMaterials();
        std::vector<video::SMaterial> kept(node->getMaterialCount());
        bool any = false;
        for (u32 i = 0; i < node->getMaterialCount(); ++i) {
            video::SMaterial& material = node->getMaterial(i);
            kept[i] = material;
            const int variant = info ? info->techniqueVariant(i, techniqueIndex) : -1;
            if (variant >= 0) {
                info->applyVariant(i, variant);
                any = true;
            } else if (fallback && isTransparent(driver, material) == transparentPass) {
                material = fallbackMaterial;
                any = true;
            } else {
                material.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
            }
        }
        if (any)
            count += drawNode(node, transparentPass, override ? &active : nullptr) ? 1 : 0;
        if (info)
            info->restoreMaterials();
        for (u32 i = 0; i < node->getMaterialCount(); ++i)
            node->getMaterial(i) = kept[i];
    }
    if (fallbackRecord)
        fallbackRecord->effect = nullptr;
    if (transparentPass && m_driverExt)
        m_driverExt->setSeparateAlphaBlend(false);
    taSetEffectRenderPass(scene::ESNRP_SOLID);
    return true;
}

// --- Cube maps -------------------------------------------------------------------------------------

bool CTaRenderServices::renderCubeMap(CTaTexture* cube, video::ITexture* faceTexture, const core::vector3df& position,
                                      ITaRenderer* renderer)
{
    if (!cube || cube->getKind() != ETATEXKIND_CUBE || !faceTexture || !renderer || !m_camera || !m_driverExt)
        return false;
    static const core::vector3df axes[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    static const core::vector3df ups[6] = {{0, 1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}, {0, 1, 0}, {0, 1, 0}};
    scene::ISceneManager* scene = m_device->getSceneManager();
    video::IVideoDriver* driver = m_device->getVideoDriver();
    scene::ICameraSceneNode* previous = scene->getActiveCamera();
    if (previous)
        previous->grab();
    scene->setActiveCamera(m_camera);
    m_camera->setPosition(position);
    m_camera->updateAbsolutePosition();
    const core::dimension2du source = faceTexture->getOriginalSize();
    bool ok = true;
    for (int face = 0; face < 6 && ok; ++face) {
        m_camera->setTarget(position + axes[face] * 10.0f);
        m_camera->setUpVector(ups[face]);
        ok = renderer->render(faceTexture) && m_driverExt->setCubeFaceRenderTarget(cube, face);
        if (!ok)
            break;
        // The rendered picture upside down over the face: a cube face keeps its top row first. Irrlicht
        // takes the back buffer's size for the face meanwhile, so the whole "screen" is the face.
        const core::dimension2du screen = driver->getCurrentRenderTargetSize();
        driver->draw2DImage(faceTexture, core::rect<s32>(0, 0, screen.Width, screen.Height),
                            core::rect<s32>(0, source.Height, source.Width, 0));
        m_driverExt->setCubeFaceRenderTarget(nullptr, 0);
    }
    setRenderTargets(nullptr, 0);
    scene->setActiveCamera(previous);
    if (previous)
        previous->drop();
    return ok;
}

void CTaRenderServices::clearCubeMap(CTaTexture* cube)
{
    if (!cube || !m_driverExt)
        return;
    for (int face = 0; face < 6; ++face)
        m_driverExt->setCubeFaceRenderTarget(cube, face, true, video::SColor(0));
    setRenderTargets(nullptr, 0);
}

bool CTaRenderServices::copyCubeMapToLatLong(video::ITexture* target, CTaTexture* cube)
{
    if (!m_latLongEffect) {
        taPrint(ETALOG_ERROR, "CTaRenderServices::copyCubeMapToLatLong EffectCubeMapToLatLong is not initialized");
        return false;
    }
    if (!target || !cube)
        return false;
    setRenderTargets(&target, 1);
    video::ITexture* layer = cube;
    const bool ok = drawEffectQuad(m_latLongEffect, 0, 0, &layer, 1);
    setRenderTargets(nullptr, 0);
    return ok;
}

void CTaRenderServices::setCubeMapToLatLongEffect(CTaEffect* effect)
{
    if (effect)
        effect->grab();
    if (m_latLongEffect)
        m_latLongEffect->drop();
    m_latLongEffect = effect;
}

// --- The frame's node lists ----------------------------------------------------------------------------

namespace {

bool isParticleSystem(scene::ISceneNode* node)
{
    return node->getType() == scene::ESNT_PARTICLE_SYSTEM ||
           node->getType() == static_cast<scene::ESCENE_NODE_TYPE>(MAKE_IRR_ID('f', 'x', 'e', 'm'));
}

// Whether a mesh node has a material that is (or is not) transparent.
bool hasMaterial(video::IVideoDriver* driver, scene::ISceneNode* node, bool transparent)
{
    for (u32 i = 0; i < node->getMaterialCount(); ++i)
        if (isTransparent(driver, node->getMaterial(i)) == transparent)
            return true;
    return false;
}

} // namespace

namespace {
void collectLights(scene::ISceneNode* node, core::array<scene::ISceneNode*>& out)
{
    if (!node->isVisible())
        return;
    if (node->getType() == scene::ESNT_LIGHT)
        out.push_back(node);
    for (scene::ISceneNode* child : node->getChildren())
        collectLights(child, out);
}
} // namespace

void CTaRenderServices::getLightList(core::array<scene::ISceneNode*>& out)
{
    // Lights end no branch here: every visible light below visible parents.
    out.set_used(0);
    collectLights(m_device->getSceneManager()->getRootSceneNode(), out);
}

void CTaRenderServices::getSolidList(core::array<scene::ISceneNode*>& out)
{
    video::IVideoDriver* driver = m_device->getVideoDriver();
    core::array<scene::ISceneNode*> visible;
    collectVisibleNodes(visible);
    out.set_used(0);
    for (u32 i = 0; i < visible.size(); ++i)
        if (isMeshNode(visible[i]) && hasMaterial(driver, visible[i], false))
            out.push_back(visible[i]);
}

void CTaRenderServices::getTransparentList(core::array<scene::ISceneNode*>& out)
{
    video::IVideoDriver* driver = m_device->getVideoDriver();
    core::array<scene::ISceneNode*> visible;
    collectVisibleNodes(visible);
    out.set_used(0);
    for (u32 i = 0; i < visible.size(); ++i)
        if (isMeshNode(visible[i]) && hasMaterial(driver, visible[i], true))
            out.push_back(visible[i]);
}

void CTaRenderServices::getTransparentEffectList(core::array<scene::ISceneNode*>& out)
{
    core::array<scene::ISceneNode*> visible;
    collectVisibleNodes(visible);
    out.set_used(0);
    for (u32 i = 0; i < visible.size(); ++i)
        if (isParticleSystem(visible[i]))
            out.push_back(visible[i]);
}

void CTaRenderServices::filterShadowCasters(core::array<scene::ISceneNode*>& out,
                                            const core::array<scene::ISceneNode*>& in)
{
    out.set_used(0);
    for (u32 i = 0; i < in.size(); ++i) {
        ITaNodeRenderInfo* info = taNodeRenderInfo(in[i]);
        if (info ? info->castsShadows() : taDefaultCastsShadows(in[i]))
            out.push_back(in[i]);
    }
}

// --- Debug draws ---------------------------------------------------------------------------------------

void CTaRenderServices::drawBox(const core::aabbox3df& box)
{
    video::IVideoDriver* driver = m_device->getVideoDriver();
    video::SMaterial material;
    material.Lighting = false;
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setMaterial(material);
    driver->draw3DBox(box, video::SColor(255, 255, 255, 255));
}

void CTaRenderServices::drawLightFrustum(scene::ILightSceneNode* light)
{
    if (!light)
        return;
    core::matrix4 view, projection;
    float nearValue = 0, farValue = 0;
    taLightShadowCamera(light, view, projection, nearValue, farValue);
    core::matrix4 inverse;
    if (!(projection * view).getInverse(inverse))
        return;
    // The eight corners of the light's clip volume (depth 0 to 1) in the world.
    core::vector3df corners[8];
    for (int i = 0; i < 8; ++i) {
        f32 world[4];
        inverse.transformVect(world, core::vector3df(i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : 0.0f));
        const f32 w = fabsf(world[3]) > 1e-20f ? world[3] : 1e-20f;
        corners[i].set(world[0] / w, world[1] / w, world[2] / w);
    }
    static const int edges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                     {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    video::IVideoDriver* driver = m_device->getVideoDriver();
    video::SMaterial material;
    material.Lighting = false;
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setMaterial(material);
    for (const auto& edge : edges)
        driver->draw3DLine(corners[edge[0]], corners[edge[1]], video::SColor(255, 255, 255, 0));
}

void taLightShadowCamera(scene::ILightSceneNode* light, core::matrix4& view, core::matrix4& projection, float& nearValue,
                         float& farValue)
{
    const video::SLight& data = light->getLightData();
    // The world direction, as Irrlicht's own lights take it (a light below a parent turns with it).
    core::vector3df direction(0, 0, 1);
    light->getAbsoluteTransformation().rotateVect(direction);
    const STaLightShadowCamera camera =
        taShadowCameraOf(data.Type, light->getAbsolutePosition(), direction, data.Radius, data.OuterCone);
    view = camera.view;
    projection = camera.projection;
    nearValue = camera.nearValue;
    farValue = camera.farValue;
}

void taFillLightBlock(scene::ISceneManager* scene)
{
    STaLightBlock& block = taEffectLightBlock();
    block = STaLightBlock();
    if (!scene)
        return;
    core::array<scene::ISceneNode*> lights;
    collectLights(scene->getRootSceneNode(), lights);
    const video::E_LIGHT_TYPE order[3] = {video::ELT_DIRECTIONAL, video::ELT_POINT, video::ELT_SPOT};
    int used = 0;
    for (int kind = 0; kind < 3; ++kind) {
        block.first[kind] = static_cast<f32>(used);
        for (u32 i = 0; i < lights.size() && used < 5; ++i) {
            auto* light = static_cast<scene::ILightSceneNode*>(lights[i]);
            const video::SLight& data = light->getLightData();
            if (data.Type != order[kind])
                continue;
            // Where the light is this frame: the scene's own update comes later, in its draw.
            std::vector<scene::ISceneNode*> chain;
            for (scene::ISceneNode* n = light; n; n = n->getParent())
                chain.push_back(n);
            for (auto n = chain.rbegin(); n != chain.rend(); ++n)
                (*n)->updateAbsolutePosition();
            STaLightRecord& record = block.lights[used++];
            record.colour[0] = data.DiffuseColor.r;
            record.colour[1] = data.DiffuseColor.g;
            record.colour[2] = data.DiffuseColor.b;
            const core::vector3df position = light->getAbsolutePosition();
            core::vector3df direction(0, 0, 1);
            light->getAbsoluteTransformation().rotateVect(direction);
            direction.normalize();
            record.position[0] = position.X, record.position[1] = position.Y, record.position[2] = position.Z;
            record.direction[0] = direction.X, record.direction[1] = direction.Y, record.direction[2] = direction.Z;
            record.invRadiusSquared = data.Radius > 0 ? 1.0f / (data.Radius * data.Radius) : 0.0f;
            record.spotAngles[0] = std::cos(data.OuterCone * core::DEGTORAD);
            record.spotAngles[1] = std::cos(data.InnerCone * core::DEGTORAD);
            block.count[kind] += 1;
        }
    }
}
