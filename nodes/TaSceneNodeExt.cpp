// Node extensions.
#include "nodes/TaSceneNodeExt.h"

#include "core/TaLog.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectBind.h"
#include "nodes/TaMesh.h"

#include <cmath>

using namespace irr;

// --- Saved effects ----------------------------------------------------------------------------------------

CTaSavedEffect::CTaSavedEffect(CTaEffect* e, int t, int p) : effect(e), technique(t), pass(p)
{
    if (effect)
        effect->grab();
}

CTaSavedEffect::CTaSavedEffect(const CTaSavedEffect& other) : CTaSavedEffect(other.effect, other.technique, other.pass)
{
}

CTaSavedEffect& CTaSavedEffect::operator=(const CTaSavedEffect& other)
{
    if (other.effect)
        other.effect->grab();
    if (effect)
        effect->drop();
    effect = other.effect;
    technique = other.technique;
    pass = other.pass;
    return *this;
}

CTaSavedEffect::~CTaSavedEffect()
{
    if (effect)
        effect->drop();
}

// --- The extension ----------------------------------------------------------------------------------------

namespace {

bool isMeshNodeType(scene::ISceneNode* node)
{
    const scene::ESCENE_NODE_TYPE type = node->getType();
    return type == scene::ESNT_MESH || type == scene::ESNT_ANIMATED_MESH ||
           type == static_cast<scene::ESCENE_NODE_TYPE>(MAKE_IRR_ID('m', 'o', 'r', 'p'));
}

} // namespace

CTaSceneNodeExt::CTaSceneNodeExt(scene::ISceneNode* node, ITaVideoDriverExt* driverExt)
    : m_node(node), m_driverExt(driverExt)
{
#ifdef _DEBUG
    setDebugName("CTaSceneNodeExt");
#endif
    const u32 count = node ? node->getMaterialCount() : 0;
    m_materials.resize(count);
    for (u32 i = 0; i < count; ++i) {
        m_materials[i].handle = taNewMaterialExt();
        if (STaMaterialExt* ext = record(i)) {
            ext->node = node;
            ext->surface = int(i);
        }
    }
}

CTaSceneNodeExt::~CTaSceneNodeExt()
{
    // A node that stays (the extension removed from it) must not keep naming records that another
    // node's material may get next. While the node itself goes, it has no materials left here.
    const u32 live = m_node ? std::min<u32>(m_node->getMaterialCount(), materialCount()) : 0;
    for (u32 i = 0; i < live; ++i)
        if (taMaterialExtHandle(m_node->getMaterial(i)) == m_materials[i].handle)
            m_node->getMaterial(i).MaterialTypeParam2 = 0;
    for (SMaterialRecord& r : m_materials) {
        if (r.effect)
            r.effect->drop();
        if (r.surface)
            r.surface->drop();
        taFreeMaterialExt(r.handle);
    }
    if (m_cubeMap)
        m_cubeMap->drop();
}

STaMaterialExt* CTaSceneNodeExt::record(u32 i) const
{
    return i < m_materials.size() ? taGetMaterialExt(m_materials[i].handle) : nullptr;
}

u32 CTaSceneNodeExt::materialHandle(u32 material) const
{
    return material < m_materials.size() ? m_materials[material].handle : 0;
}


scene::ISceneNodeAnimator* CTaSceneNodeExt::createClone(scene::ISceneNode* node, scene::ISceneManager*)
{
    if (!node)
        return nullptr;
    auto* copy = new CTaSceneNodeExt(node, m_driverExt);
    const u32 count = std::min(materialCount(), copy->materialCount());
    for (u32 j = 0; j < count; ++j) {
        if (ITaSurface* surface = m_materials[j].surface) {
            ITaSurface* twin = surface->clone();
            copy->setSurface(j, twin);
            twin->drop();
        }
        if (CTaEffect* effect = m_materials[j].effect) {
            copy->setEffect(j, effect, 0, 0);
            copy->setTechniqueAndPass(j, getTechnique(j), getPass(j));
        }
    }
    if (!copy->applyMaterials()) {
        copy->drop();
        return nullptr;
    }
    return copy;
}

// --- Effects ----------------------------------------------------------------------------------------------

CTaEffect* CTaSceneNodeExt::getEffect(u32 material) const
{
    return material < m_materials.size() ? m_materials[material].effect : nullptr;
}

int CTaSceneNodeExt::getTechnique(u32 material) const
{
    const STaMaterialExt* ext = record(material);
    return ext ? ext->technique : 0;
}

int CTaSceneNodeExt::getPass(u32 material) const
{
    const STaMaterialExt* ext = record(material);
    return ext ? ext->pass : 0;
}

void CTaSceneNodeExt::setRendererEffect(u32 i, CTaEffect* effect, const std::string& variant)
{
    if (i >= m_materials.size())
        return;
    setEffect(i, effect, 0, 0);
    m_materials[i].rendererEffect = effect != nullptr;
    m_materials[i].variant = variant;
}

const std::string* CTaSceneNodeExt::rendererVariant(u32 i) const
{
    return i < m_materials.size() && m_materials[i].rendererEffect ? &m_materials[i].variant : nullptr;
}

void CTaSceneNodeExt::setEffect(u32 i, CTaEffect* effect, int technique, int pass)
{
    if (i >= m_materials.size())
        return;
    m_materials[i].rendererEffect = false;
    if (effect)
        effect->grab();
    if (m_materials[i].effect)
        removeEffect(i);
    SMaterialRecord& r = m_materials[i];
    r.effect = effect;
    static const char* const names[3] = {"depth", "shadow", "reflection"};
    for (int k = 0; k < 3; ++k)
        r.techniqueIndex[k] = effect ? effect->definition()->getTechniqueByName(names[k]) : -1;
    if (STaMaterialExt* ext = record(i)) {
        ext->effect = effect;
        ext->technique = technique;
        ext->pass = pass;
    }
    applyMaterial(i);
}

void CTaSceneNodeExt::setTechniqueAndPass(u32 i, int technique, int pass)
{
    STaMaterialExt* ext = record(i);
    if (!ext || !m_materials[i].effect)
        return;
    ext->technique = technique;
    ext->pass = pass;
    refreshPass(i);
}

void CTaSceneNodeExt::setTechnique(u32 i, int technique)
{
    setTechniqueAndPass(i, technique, getPass(i));
}

void CTaSceneNodeExt::setPass(u32 i, int pass)
{
    setTechniqueAndPass(i, getTechnique(i), pass);
}

void CTaSceneNodeExt::removeEffect(u32 i)
{
    if (i >= m_materials.size())
        return;
    SMaterialRecord& r = m_materials[i];
    if (r.effect)
        r.effect->drop();
    r.effect = nullptr;
    r.rendererEffect = false;
    r.savedTechniques.clear();
    for (int& index : r.techniqueIndex)
        index = -1;
    if (STaMaterialExt* ext = record(i)) {
        ext->effect = nullptr;
        ext->technique = 0;
        ext->pass = 0;
    }
    video::SMaterial& m = m_node->getMaterial(i);
    m.MaterialType = video::EMT_SOLID;
    m.MaterialTypeParam = 0;
    m.MaterialTypeParam2 = 0;
    applyMaterial(i);
}

void CTaSceneNodeExt::removeAllEffects()
{
    for (u32 i = 0; i < materialCount(); ++i)
        removeEffect(i);
}

int CTaSceneNodeExt::getTechniqueIndex(u32 material, int which) const
{
    if (material >= m_materials.size() || which < 0 || which > 2)
        return -1;
    return m_materials[material].techniqueIndex[which];
}

void CTaSceneNodeExt::saveEffects(std::vector<CTaSavedEffect>& out) const
{
    out.clear();
    for (u32 i = 0; i < materialCount(); ++i)
        out.emplace_back(m_materials[i].effect, getTechnique(i), getPass(i));
}

void CTaSceneNodeExt::restoreEffects(const std::vector<CTaSavedEffect>& saved)
{
    for (u32 i = 0; i < saved.size() && i < materialCount(); ++i) {
        const CTaSavedEffect& entry = saved[i];
        if (entry.effect != m_materials[i].effect)
            setEffect(i, entry.effect, entry.technique, entry.pass);
        else if (entry.effect && (entry.technique != getTechnique(i) || entry.pass != getPass(i)))
            setTechniqueAndPass(i, entry.technique, entry.pass);
    }
}

void CTaSceneNodeExt::saveMaterials()
{
    saveEffects(m_renderSaved);
}

void CTaSceneNodeExt::restoreMaterials()
{
    restoreEffects(m_renderSaved);
    m_renderSaved.clear();
}

// --- Surfaces ---------------------------------------------------------------------------------------------

ITaSurface* CTaSceneNodeExt::getSurface(u32 material) const
{
    return material < m_materials.size() ? m_materials[material].surface : nullptr;
}

void CTaSceneNodeExt::setSurface(u32 i, ITaSurface* surface)
{
    if (!surface || i >= m_materials.size())
        return;
    surface->grab();
    if (m_materials[i].surface)
        m_materials[i].surface->drop();
    m_materials[i].surface = surface;
    applyMaterial(i);
}

void CTaSceneNodeExt::removeSurface(u32 i)
{
    if (i >= m_materials.size() || !m_materials[i].surface)
        return;
    m_materials[i].surface->drop();
    m_materials[i].surface = nullptr;
    m_materials[i].savedTechniques.clear();
    applyMaterial(i);
}

void CTaSceneNodeExt::removeAllSurfaces()
{
    for (u32 i = 0; i < materialCount(); ++i)
        removeSurface(i);
}

STaSurfaceNodeInfo CTaSceneNodeExt::surfaceNodeInfo(u32 material) const
{
    STaSurfaceNodeInfo info;
    info.hasUV2 = hasUV2();
    info.carriesTangents = needTangents();
    u32 value = 0;
    getUV2Info(material, value, info.uv2Mask);
    info.cubeMapTexture = getCubeMapTexture();
    info.cubeMapBoxEnabled = m_boxEnabled;
    return info;
}

// --- Writing the node's materials ------------------------------------------------------------------------------

void CTaSceneNodeExt::rebuildSavedTechniques(u32 i)
{
    SMaterialRecord& r = m_materials[i];
    r.savedTechniques.clear();
    for (size_t t = 0; t < r.effect->techniqueCount(); ++t) {
        std::vector<STaMaterial> passes;
        for (size_t p = 0; p < r.effect->passCount(int(t)); ++p) {
            // From the pass's own layers: textures the effect binds itself (a render target named by
            // its semantic, such as the light buffer) keep their layers, and the surface's maps go
            // to theirs.
            STaMaterial layers;
            r.effect->getPassMaterial(int(t), int(p), layers);
            r.surface->setEffectTextureOnMaterial(layers, r.effect, int(t), int(p));
            passes.push_back(layers);
        }
        r.savedTechniques.push_back(std::move(passes));
    }
}

void CTaSceneNodeExt::applySavedTextures(u32 i, STaMaterial& work) const
{
    const SMaterialRecord& r = m_materials[i];
    const int technique = getTechnique(i), pass = getPass(i);
    if (technique < 0 || size_t(technique) >= r.savedTechniques.size() || pass < 0 ||
        size_t(pass) >= r.savedTechniques[technique].size())
        return;
    const STaMaterial& saved = r.savedTechniques[technique][pass];
    for (int n = 0; n < TA_MATERIAL_LAYERS; ++n)
        if (saved.layers[n].texture) {
            work.layers[n].texture = saved.layers[n].texture;
            work.layers[n].srgb = saved.layers[n].srgb;
        }
    for (int n = 0; n < TA_MATERIAL_VERTEX_LAYERS; ++n)
        if (saved.vertexLayers[n].texture) {
            work.vertexLayers[n].texture = saved.vertexLayers[n].texture;
            work.vertexLayers[n].srgb = saved.vertexLayers[n].srgb;
        }
}

namespace {

// The pass material's type and layers over `work`; false for a pass the effect does not have.
bool takePass(const CTaEffect* effect, int technique, int pass, STaMaterial& work)
{
    STaMaterial material;
    if (!effect->getPassMaterial(technique, pass, material))
        return false;
    work.material.MaterialType = material.material.MaterialType;
    work.material.MaterialTypeParam = material.material.MaterialTypeParam;
    work.material.BlendOperation = material.material.BlendOperation;
    std::copy(std::begin(material.layers), std::end(material.layers), std::begin(work.layers));
    std::copy(std::begin(material.vertexLayers), std::end(material.vertexLayers), std::begin(work.vertexLayers));
    return true;
}

} // namespace

void CTaSceneNodeExt::applyMaterial(u32 i)
{
    SMaterialRecord& r = m_materials[i];
    STaMaterialExt* ext = record(i);
    if (!ext || i >= m_node->getMaterialCount())
        return;
    video::SMaterial& m = m_node->getMaterial(i);
    STaMaterial work;
    work.material = m;
    std::copy(std::begin(ext->layers), std::end(ext->layers), std::begin(work.layers));
    std::copy(std::begin(ext->vertexLayers), std::end(ext->vertexLayers), std::begin(work.vertexLayers));
    if (r.surface)
        r.surface->applyToMaterial(work);
    ext->effect = r.effect;
    ext->node = m_node;
    ext->surface = int(i);
    if (r.effect) {
        takePass(r.effect, ext->technique, ext->pass, work);
        if (r.surface) {
            rebuildSavedTechniques(i);
            applySavedTextures(i, work);
        }
        m = work.material;
        taApplyMaterial(work, m, r.handle, m_driverExt);
        return;
    }
    // Without an effect Irrlicht draws the material; the engine layers are kept for the record.
    m = work.material;
    m.MaterialTypeParam2 = static_cast<f32>(r.handle);
    std::copy(std::begin(work.layers), std::end(work.layers), std::begin(ext->layers));
    std::copy(std::begin(work.vertexLayers), std::end(work.vertexLayers), std::begin(ext->vertexLayers));
}

void CTaSceneNodeExt::refreshPass(u32 i)
{
    SMaterialRecord& r = m_materials[i];
    STaMaterialExt* ext = record(i);
    if (!ext || !r.effect || i >= m_node->getMaterialCount())
        return;
    video::SMaterial& m = m_node->getMaterial(i);
    STaMaterial work;
    work.material = m;
    takePass(r.effect, ext->technique, ext->pass, work);
    if (r.surface)
        applySavedTextures(i, work);
    taApplyMaterial(work, m, r.handle, m_driverExt);
}

// --- Mesh -------------------------------------------------------------------------------------------------

scene::IMesh* CTaSceneNodeExt::mesh() const
{
    if (!m_node)
        return nullptr;
    if (m_node->getType() == scene::ESNT_ANIMATED_MESH)
        return static_cast<scene::IAnimatedMeshSceneNode*>(m_node)->getMesh();
    if (auto* meshNode = dynamic_cast<scene::IMeshSceneNode*>(m_node))
        return meshNode->getMesh();
    return nullptr;
}

// The mesh whose buffers carry the loader's extras: an animated node's first frame (its animated mesh
// wraps the loaded one).
scene::IMesh* extrasMesh(scene::ISceneNode* node, scene::IMesh* mesh)
{
    if (node && node->getType() == scene::ESNT_ANIMATED_MESH && mesh)
        if (scene::IMesh* first = static_cast<scene::IAnimatedMesh*>(mesh)->getMesh(0))
            return first;
    return mesh;
}

bool CTaSceneNodeExt::hasUV2() const
{
    if (!m_node || !isMeshNodeType(m_node))
        return false;
    scene::IMesh* own = extrasMesh(m_node, mesh());
    for (u32 b = 0; own && b < own->getMeshBufferCount(); ++b)
        if (const STaMeshBufferExtra* extra = taMeshBufferExtra(own, b))
            if (extra->uv2Mask != 0)
                return true;
    return false;
}

bool CTaSceneNodeExt::getUV2Info(u32 buffer, u32& value, u32& mask) const
{
    value = mask = 0;
    if (!m_node || !isMeshNodeType(m_node))
        return false;
    scene::IMesh* own = extrasMesh(m_node, mesh());
    if (!own || buffer >= own->getMeshBufferCount())
        return false;
    if (const STaMeshBufferExtra* extra = taMeshBufferExtra(own, buffer)) {
        value = extra->uv2Value;
        mask = extra->uv2Mask;
    }
    return true;
}

const std::vector<u32>* CTaSceneNodeExt::originalVertexIndices(u32 buffer) const
{
    if (!m_node || !isMeshNodeType(m_node))
        return nullptr;
    const STaMeshBufferExtra* extra = taMeshBufferExtra(extrasMesh(m_node, mesh()), buffer);
    return extra && !extra->OriginalVerticesIndices.empty() ? &extra->OriginalVerticesIndices : nullptr;
}

bool CTaSceneNodeExt::needTangents() const
{
    if (!m_node || m_node->getType() != scene::ESNT_MESH)
        return false;
    scene::IMesh* own = mesh();
    if (!own)
        return false;
    for (u32 b = 0; b < own->getMeshBufferCount(); ++b)
        if (own->getMeshBuffer(b)->getIndexCount() == 0)
            return false;
    if (m_tangentsMode == 1)
        return false;
    if (m_tangentsMode == 2)
        return true;
    bool need = false;
    for (u32 k = 0; k < own->getMeshBufferCount(); ++k) {
        if (k == m_node->getMaterialCount()) {
            taPrint(ETALOG_WARN,
                    "CTaSceneNodeExt::needTangents : Warning, the mesh buffer %u is not pointing to any material of the node",
                    k);
        } else if (k >= m_materials.size()) {
            taPrint(ETALOG_WARN,
                    "CTaSceneNodeExt::needTangents : Warning, the mesh buffer %u use a material index out of bound", k);
        } else {
            const SMaterialRecord& r = m_materials[k];
            if ((r.surface && r.surface->hasNormalMap()) || (r.effect && r.effect->needsTangents()))
                need = true;
        }
    }
    return need;
}

bool CTaSceneNodeExt::convertToTangents()
{
    auto* meshNode = static_cast<scene::IMeshSceneNode*>(m_node);
    scene::IMesh* source = meshNode->getMesh();
    scene::ISceneManager* manager = m_node->getSceneManager();
    if (!source || !manager)
        return false;
    scene::IMesh* copy = manager->getMeshManipulator()->createMeshWithTangents(source, false, false, false, true);
    if (!copy)
        return false;
    bool ok = copy->getMeshBufferCount() == source->getMeshBufferCount();
    if (ok && hasUV2()) {
        // The second UV set rides in the binormal's x and y; the copy must be vertex for vertex the
        // source. A buffer without a second UV set has nothing to carry.
        for (u32 b = 0; ok && b < source->getMeshBufferCount(); ++b) {
            scene::IMeshBuffer* to = copy->getMeshBuffer(b);
            scene::IMeshBuffer* from = source->getMeshBuffer(b);
            if (from->getVertexType() != video::EVT_2TCOORDS)
                continue;
            ok = to->getVertexType() == video::EVT_TANGENTS && to->getIndexCount() == from->getIndexCount() &&
                 to->getIndexType() == video::EIT_16BIT && from->getIndexType() == video::EIT_16BIT;
            auto* tv = static_cast<video::S3DVertexTangents*>(to->getVertices());
            auto* fv = static_cast<const video::S3DVertex2TCoords*>(from->getVertices());
            const u16* ti = to->getIndices();
            const u16* fi = from->getIndices();
            for (u32 n = 0; ok && n < from->getIndexCount(); ++n) {
                if (ti[n] >= to->getVertexCount() || fi[n] >= from->getVertexCount()) {
                    ok = false;
                    break;
                }
                video::S3DVertexTangents& t = tv[ti[n]];
                const video::S3DVertex2TCoords& f = fv[fi[n]];
                ok = t.Pos.equals(f.Pos, 1e-6f) && std::fabs(t.TCoords.X - f.TCoords.X) <= 1e-6f &&
                     std::fabs(t.TCoords.Y - f.TCoords.Y) <= 1e-6f;
                if (ok) {
                    t.Binormal.X = f.TCoords2.X;
                    t.Binormal.Y = f.TCoords2.Y;
                }
            }
        }
    }
    if (!ok) {
        copy->drop();
        return false;
    }
    // The copy keeps the source's buffer extras; the node keeps its own materials.
    auto* result = new CTaMesh();
    for (u32 b = 0; b < copy->getMeshBufferCount(); ++b) {
        result->addMeshBuffer(copy->getMeshBuffer(b));
        const STaMeshBufferExtra* extra = taMeshBufferExtra(source, b);
        result->extras.push_back(extra ? *extra : STaMeshBufferExtra());
    }
    result->setBoundingBox(copy->getBoundingBox());
    copy->drop();
    result->setHardwareMappingHint(scene::EHM_STATIC, scene::EBT_VERTEX_AND_INDEX);
    std::vector<video::SMaterial> materials;
    for (u32 i = 0; i < m_node->getMaterialCount(); ++i)
        materials.push_back(m_node->getMaterial(i));
    meshNode->setMesh(result);
    result->drop();
    for (u32 i = 0; i < materials.size() && i < m_node->getMaterialCount(); ++i)
        m_node->getMaterial(i) = materials[i];
    return true;
}

bool CTaSceneNodeExt::applyMaterials()
{
    if (m_node && m_node->getType() == scene::ESNT_MESH) {
        scene::IMesh* own = mesh();
        if (own && own->getMeshBufferCount() > 0 && own->getMeshBuffer(0)->getVertexType() != video::EVT_TANGENTS &&
            needTangents() && !convertToTangents())
            return false;
    }
    for (u32 i = 0; i < materialCount(); ++i)
        applyMaterial(i);
    return true;
}

// --- Cube map and render sets --------------------------------------------------------------------------------

void CTaSceneNodeExt::setCubeMap(ITaNodeCubeMap* cubeMap)
{
    if (cubeMap)
        cubeMap->grab();
    if (m_cubeMap)
        m_cubeMap->drop();
    m_cubeMap = cubeMap;
}

video::ITexture* CTaSceneNodeExt::getCubeMapTexture() const
{
    return m_cubeMap ? m_cubeMap->texture() : nullptr;
}

void CTaSceneNodeExt::setCubeMapBoxEnabled(bool enabled)
{
    if (m_boxEnabled && !enabled)
        m_boxPosition.set(1000000, 1000000, 1000000);
    m_boxEnabled = enabled;
}

void CTaSceneNodeExt::setCubeMapBox(const core::vector3df& position, const core::vector3df& scale)
{
    m_boxPosition = position;
    m_boxScale = scale;
}

u32 CTaSceneNodeExt::setSelectionMask(u32 mask)
{
    const u32 previous = m_selectionMask;
    m_selectionMask = mask;
    return previous;
}

// --- Finding and attaching ---------------------------------------------------------------------------------

CTaSceneNodeExt* taGetSceneNodeExt(scene::ISceneNode* node)
{
    if (!node)
        return nullptr;
    for (scene::ISceneNodeAnimator* animator : node->getAnimators())
        if (animator->getType() == static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(TA_SCENE_NODE_EXT_TYPE))
            return static_cast<CTaSceneNodeExt*>(animator);
    return nullptr;
}

CTaSceneNodeExt* taAttachSceneNodeExt(scene::ISceneNode* node, ITaVideoDriverExt* driverExt)
{
    if (!node)
        return nullptr;
    if (CTaSceneNodeExt* existing = taGetSceneNodeExt(node))
        return existing;
    auto* ext = new CTaSceneNodeExt(node, driverExt);
    node->addAnimator(ext);
    ext->drop();
    return ext;
}

scene::ISceneNode* taCloneSceneNode(scene::ISceneNode* node, scene::ISceneNode* parent)
{
    if (!node)
        return nullptr;
    scene::ISceneNode* twin = node->clone(parent);
    if (CTaSceneNodeExt* ext = taGetSceneNodeExt(twin))
        ext->applyMaterials();
    return twin;
}

bool taNodeBindInfoOfExtension(scene::ISceneNode* node, int surfaceIndex, STaNodeBindInfo& out)
{
    CTaSceneNodeExt* ext = taGetSceneNodeExt(node);
    if (!ext)
        return false;
    out.cubeMapPosition = ext->getCubeMap() ? ext->getCubeMap()->lastPosition() : core::vector3df(0, 0, 0);
    out.cubeMapBoxPosition = ext->getCubeMapBoxPosition();
    out.cubeMapBoxScale = ext->getCubeMapBoxScale();
    out.surfaceType = 0;
    out.lightwave = nullptr;
    out.hyperVoxel = nullptr;
    ITaSurface* surface = surfaceIndex >= 0 ? ext->getSurface(u32(surfaceIndex)) : nullptr;
    if (auto* lightwave = dynamic_cast<CTaSurfaceLightwave*>(surface)) {
        out.surfaceType = ETAST_LIGHTWAVE;
        out.lightwave = &lightwave->getData();
    } else if (auto* hyperVoxel = dynamic_cast<CTaSurfaceLightwaveHV*>(surface)) {
        out.surfaceType = ETAST_LIGHTWAVEHV;
        out.hyperVoxel = &hyperVoxel->getData();
    }
    return true;
}
