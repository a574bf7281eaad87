// Render services.
#include "render/TaRenderServices.h"

#include "core/TaLog.h"
#include "driver/TaMaterialExt.h"
#include "effects/TaEffect.h"
#include "render/TaNodeRenderInfo.h"

#include <cstring>
#include <vector>

using namespace irr;

CTaRenderServices::CTaRenderServices(IrrlichtDevice* device, ITaVideoDriverExt* driverExt)
    : m_device(device), m_driverExt(driverExt), m_quadRecord(taNewMaterialExt())
{
}

CTaRenderServices::~CTaRenderServices()
{
    taFreeMaterialExt(m_quadRecord);
}

bool CTaRenderServices::drawEffectQuad(CTaEffect* effect, int technique, int pass)
{
    STaMaterial passMaterial;
    STaMaterialExt* record = taGetMaterialExt(m_quadRecord);
    if (!effect || !record || !effect->getPassMaterial(technique, pass, passMaterial))
        return false;
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
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setTransform(video::ETS_VIEW, core::IdentityMatrix);
    driver->setTransform(video::ETS_PROJECTION, core::IdentityMatrix);
    driver->setMaterial(material);
    driver->drawIndexedTriangleList(corners, 4, indices, 2);
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
    return g_nodeRenderInfo && node ? g_nodeRenderInfo(node) : nullptr;
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
        video::IMaterialRenderer* renderer = driver->getMaterialRenderer(own.MaterialType);
        if ((renderer && renderer->isTransparent()) != transparentPass)
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
                                    u32 showSet, int& count)
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
        if (!info)
            continue;
        // The technique's variant on each material for this draw; a material without one is kept
        // out of the draw.
        info->saveMaterials();
        std::vector<video::E_MATERIAL_TYPE> types(node->getMaterialCount());
        bool any = false;
        for (u32 i = 0; i < node->getMaterialCount(); ++i) {
            types[i] = node->getMaterial(i).MaterialType;
            const int variant = info->techniqueVariant(i, techniqueIndex);
            if (variant < 0) {
                node->getMaterial(i).MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
            } else {
                info->applyVariant(i, variant);
                any = true;
            }
        }
        if (any)
            count += drawNode(node, transparentPass, override ? &active : nullptr) ? 1 : 0;
        info->restoreMaterials();
        for (u32 i = 0; i < node->getMaterialCount(); ++i)
            node->getMaterial(i).MaterialType = types[i];
    }
    if (transparentPass && m_driverExt)
        m_driverExt->setSeparateAlphaBlend(false);
    return true;
}
