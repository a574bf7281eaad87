// Making a loaded scene's entities: cube maps, objects with shared meshes, surfaces, lights, camera
// shaders, and the kinds whose subsystems are not part of this build yet (emitters, render command
// lists), which are said and skipped.
#include "scene/TaScenes.h"

#include "core/TaLog.h"
#include "scene/TaSceneOps.h"
#include "scene/TaSurfaces.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <strings.h>

namespace {

TaSceneLoadCallback g_callback = nullptr;
void* g_callbackUser = nullptr;
bool g_errorReport = false;

bool sameTextNoCase(const char* a, const char* b)
{
    return a && b && strcasecmp(a, b) == 0;
}

irr::core::vector3df vec(const TF_Float3& v)
{
    return {v.x, v.y, v.z};
}

irr::core::vector3df at0(const TF_Node* entry)
{
    return entry ? vec(TF_FP3_Get(entry, 0)) : irr::core::vector3df(0, 0, 0);
}

// An entry whose values may change over time: a track of more than one sample, or an array.
bool animated(const TF_Node* value)
{
    if (!value)
        return false;
    if (value->kind == TF_KIND_ARRAY)
        return true;
    return value->kind == TF_KIND_VALUE && value->type == TF_TYPE_FP_C && value->count > 1;
}

bool blockAnimated(const STaSceneEffectBlock& block)
{
    for (const STaSceneEffectBlock::SEntry& e : block.entries)
        if (animated(e.value))
            return true;
    return false;
}

} // namespace

void taSetSceneLoadCallback(TaSceneLoadCallback callback, void* user)
{
    g_callback = callback;
    g_callbackUser = callback ? user : nullptr;
}

void taSetSceneLoadErrorReport(bool on)
{
    g_errorReport = on;
}

int taSceneLoadProgress(int percent)
{
    return g_callback ? g_callback(percent, g_callbackUser) : 0;
}

void CTaSceneTable::report(STaSceneSlot& slot, int level, const char* format, ...)
{
    char text[TA_LOG_TEXT_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    slot.messages.push_back(text);
    if (!g_errorReport)
        taPrint(ETALOG_DEBUG, "%s", text);
    else if (level >= ETALOG_ERROR)
        taError("%s", text);
    else
        taPrint(level, "%s", text);
}

// The surface records of a mesh at a sample position, each with the effect block that applies to it:
// none for applyToSurface 3; else the block of the mesh's last surface with applyToSurface 2; else the
// surface's own; else the block of the last surface with applyToSurface 1.
static std::vector<STaSurfaceRecord> sceneSurfaceRecords(const STaSceneMeshDesc& mesh, float sample)
{
    std::vector<STaSurfaceRecord> records = taSceneEvaluateSurfaces(mesh, sample);
    int forAll = -1, fallback = -1;
    for (size_t s = 0; s < mesh.surfaces.size(); ++s) {
        if (!mesh.surfaces[s].hasEffect)
            continue;
        if (mesh.surfaces[s].applyToSurface == 2)
            forAll = int(s);
        else if (mesh.surfaces[s].applyToSurface == 1)
            fallback = int(s);
    }
    for (size_t s = 0; s < records.size(); ++s) {
        const STaSceneSurfaceDesc& desc = mesh.surfaces[s];
        int chosen = -1;
        if (desc.applyToSurface != 3)
            chosen = forAll >= 0 ? forAll : desc.hasEffect ? int(s) : fallback;
        records[s].applyToSurface = chosen >= 0 ? 1 : 0;
        if (chosen >= 0 && chosen != int(s))
            records[s].effect = taSceneEvaluateBlock(mesh.surfaces[size_t(chosen)].effect, sample);
        else if (chosen < 0)
            records[s].effect = STaEffectParamBlock();
    }
    return records;
}

void CTaSceneTable::applySurfaces(STaSceneSlot& slot, int index, float sample, bool recreateShaders)
{
    const STaSceneDesc& desc = *slot.desc;
    const STaSceneObjectKeys& object = desc.objectKeys[size_t(index)];
    const int id = slot.bases.object + index;
    if (object.mesh < 0 || !m_ops.objectExists(id))
        return;
    const STaSceneMeshDesc& mesh = desc.meshes[size_t(object.mesh)];
    if (recreateShaders && mesh.surfaceCount > TA_SCENE_MAX_SURFACES)
        report(slot, ETALOG_WARN, "The object id=%d '%s' numSurfaces=%d > NOF_SURFACE_MAX=%d. Will result in corruption",
               id, taSceneString(object.xfilename) ? taSceneString(object.xfilename) : "", mesh.surfaceCount,
               TA_SCENE_MAX_SURFACES);
    m_ops.takeMessage();
    m_ops.setSurfaces(id, sceneSurfaceRecords(mesh, sample), recreateShaders);
    if (recreateShaders)
        m_ops.updateObjectFromSurfaces(id);
    const std::string message = m_ops.takeMessage();
    if (recreateShaders && !message.empty())
        report(slot, ETALOG_WARN, "The object id=%d surfaces: %s", id, message.c_str());
}

void CTaSceneTable::createCubeMaps(STaSceneSlot& slot)
{
    for (size_t i = 0; i < slot.desc->cubeMaps.size(); ++i) {
        const STaSceneCubeMapKeys& cube = slot.desc->cubeMaps[i];
        const int id = slot.bases.cubeMap + int(i);
        if (m_ops.createCubeMap(id, cube.textureSize, cube.useLatLong != 0) != 0)
            report(slot, ETALOG_ERROR, "The cubemap id=%d cannot be created", id);
    }
}

void CTaSceneTable::objectNodeSettings(STaSceneSlot& slot, int index)
{
    const STaSceneObjectKeys& object = slot.desc->objectKeys[size_t(index)];
    const int id = slot.bases.object + index;
    m_ops.setObjectShadowCaster(id, (object.shadowOpts & 2) != 0);
    m_ops.setObjectSelectionMask(id, unsigned(object.selectionMask));
    const char* vertexTexture = taSceneString(object.vertexTextureName);
    if (vertexTexture && *vertexTexture)
        m_ops.setObjectVertexTexture(id, vertexTexture,
                                     (slot.updatedLive ? 1u : 0u) | (object.vertexTextureFormat ? 2u : 0u) |
                                         (object.vertexTextureContent ? 4u : 0u));
}

void CTaSceneTable::createObject(STaSceneSlot& slot, int index, bool reuse, bool share)
{
    const STaSceneDesc& desc = *slot.desc;
    const STaSceneObjectKeys& object = desc.objectKeys[size_t(index)];
    const int id = slot.bases.object + index;
    if (slot.meshSource.size() != desc.objectKeys.size())
        slot.meshSource.assign(desc.objectKeys.size(), -2);
    slot.meshSource[size_t(index)] = -2;
    const char* file = taSceneString(object.xfilename);
    if (!file || !*file) {
        report(slot, ETALOG_ERROR, "The object id=%d '%s' cannot be loaded: it names no mesh file (xfilename)", id,
               "");
        return;
    }
    // A mesh already loaded by a scene of this name (this one's earlier objects included).
    int found = -1;
    for (int s = 0; share && found < 0 && s < TA_SCENE_SLOTS; ++s) {
        const STaSceneSlot& other = m_slots[s];
        if (!other.inUse || !other.desc || strcasecmp(other.name.c_str(), slot.name.c_str()) != 0)
            continue;
        const size_t count = &other == &slot ? size_t(index) : other.desc->objectKeys.size();
        for (size_t k = 0; k < count; ++k) {
            const int candidate = other.bases.object + int(k);
            if (sameTextNoCase(taSceneString(other.desc->objectKeys[k].xfilename), file) &&
                m_ops.objectExists(candidate)) {
                found = candidate;
                break;
            }
        }
    }
    m_ops.takeMessage();
    if (found < 0 || found == id) {
        if (object.pointCloudCount != 0)
            m_ops.loadPointCloud(id, file, object.pointCloudCount);
        else
            m_ops.loadObject(id, file);
    } else if (reuse) {
        m_ops.instanceObject(id, found);
    } else {
        m_ops.cloneObject(id, found);
    }
    const bool made = m_ops.objectExists(id);
    slot.meshSource[size_t(index)] = !made ? -2 : found < 0 || found == id ? -1 : found;
    if (!made) {
        const std::string why = m_ops.takeMessage();
        report(slot, ETALOG_ERROR, "The object id=%d '%s' cannot be loaded%s%s", id, file, why.empty() ? "" : "\n",
               why.c_str());
        return;
    }
    // The first influence with a cube map and a box, else the first with a cube map, at sample 0.
    int influence = -1;
    for (size_t k = 0; k < object.influences.size(); ++k) {
        const STaSceneObjectKeys::SInfluence& in = object.influences[k];
        if (in.cubeMap < 0)
            continue;
        if (in.aabbPosition && in.aabbScale) {
            influence = int(k);
            break;
        }
        if (influence < 0)
            influence = int(k);
    }
    if (influence >= 0) {
        const STaSceneObjectKeys::SInfluence& in = object.influences[size_t(influence)];
        const bool box = in.aabbPosition && in.aabbScale;
        m_ops.setObjectCubeMap(id, slot.bases.cubeMap + in.cubeMap, box, at0(in.aabbPosition), at0(in.aabbScale));
    }
    objectNodeSettings(slot, index);
    if (slot.extra)
        m_ops.lockObjectOn(id);
    if (!slot.shown)
        m_ops.hideObject(id);
}

void CTaSceneTable::setUpLight(STaSceneSlot& slot, int index)
{
    const STaSceneLightKeys& light = slot.desc->lightKeys[size_t(index)];
    const int id = slot.bases.light + index;
    const int type = taSceneInt(light.type, 1);
    if (type == 0) {
        m_ops.setDirectionalLight(id);
    } else if (type == 2) {
        // Both angles, or none: a key of one angle (which TF_FP_VectorShape takes) gives (0, 0).
        const TF_Node* angles = light.coneAngles;
        const bool pair = angles && TF_FP_VectorShape(angles, 2) &&
                          (angles->kind != TF_KIND_VALUE || angles->count >= 2);
        const TF_Float2 cone = pair ? TF_FP2_Get(angles, 0) : TF_Float2{0, 0};
        // (cone, edge) in radians become the inner and outer angles in degrees, as animation gives them.
        m_ops.setSpotLight(id, (cone.x - cone.y) * 57.295776f, cone.x * 57.295776f);
    } else {
        m_ops.setPointLight(id);
    }
    const int falloff = taSceneInt(light.falloff, 0);
    m_ops.setLightRange(id, falloff == 0 ? 10000000.0f : light.range ? TF_FP_Get(light.range, 0) : 0.0f);
    const irr::core::vector3df colour = at0(light.rawColor);
    const float intensity = light.intensity ? TF_FP_Get(light.intensity, 0) : 0.0f;
    m_ops.colorLight(id, taSceneColour(colour * intensity));
    m_ops.setLightRawColor(id, colour);
    m_ops.setLightIntensity(id, intensity);
    const int shadowType = taSceneInt(light.shadowType, 0);
    m_ops.setLightShadow(id, shadowType == 2);
    if (shadowType != 0) {
        m_ops.colorLightShadow(id, taSceneColour(at0(light.shadowColor)));
        m_ops.setShadowMapSize(id, taSceneInt(light.shadMapSize, 0));
        m_ops.setShadowMapFuzz(id, light.shadMapFuzz ? TF_FP_Get(light.shadMapFuzz, 0) : 0.0f);
    }
    m_ops.takeMessage();
    m_ops.setLightProjectionImage(id, taSceneString(light.projImage));
    const std::string why = m_ops.takeMessage();
    if (!why.empty())
        report(slot, ETALOG_ERROR, "%s", why.c_str());
    const bool volumetric = (taSceneInt(light.flags, 0) & 0x20) != 0;
    const bool colourOn = light.volumetric && taSceneIntAt(light.volFlags, 4, 0) != 0;
    const int mode = light.volumetric ? taSceneIntAt(light.volFlags, 1, 0) : 0;
    m_ops.setLightVolumetric(id, volumetric, volumetric && colourOn, at0(light.volColor), mode);
}

void CTaSceneTable::createLight(STaSceneSlot& slot, int index)
{
    const int id = slot.bases.light + index;
    m_ops.takeMessage();
    if (m_ops.makeLight(id) != 0 || !m_ops.lightExists(id)) {
        const std::string why = m_ops.takeMessage();
        report(slot, ETALOG_ERROR, "The light id=%d cannot be created%s%s", id, why.empty() ? "" : ": ", why.c_str());
        return;
    }
    setUpLight(slot, index);
}

void CTaSceneTable::createCameraShaders(STaSceneSlot& slot)
{
    const STaSceneDesc& desc = *slot.desc;
    for (int i = 0; i < desc.cameraShaderCount; ++i) {
        if (i >= TA_SCENE_MAX_CAMERA_SHADERS) {
            report(slot, ETALOG_ERROR, "Camera shader i=%d > max %d camera shaders", i, TA_SCENE_MAX_CAMERA_SHADERS);
            continue;
        }
        createCameraShader(slot, i);
    }
}

void CTaSceneTable::updateCameraShaders(STaSceneSlot& slot, const STaSceneDesc& old)
{
    const STaSceneDesc& desc = *slot.desc;
    const auto text = [](const char* t) { return std::string(t ? t : ""); };
    bool same = old.cameraShaderCount == desc.cameraShaderCount && old.cameraShaders.size() == desc.cameraShaders.size();
    for (size_t k = 0; same && k < desc.cameraShaders.size(); ++k)
        same = text(old.cameraShaders[k].effect.fileName) == text(desc.cameraShaders[k].effect.fileName);
    if (!same) {
        dropCameraShaders(slot, int(old.cameraShaders.size()));
        createCameraShaders(slot);
        return;
    }
    for (int k = 0; k < int(desc.cameraShaders.size()); ++k) {
        const int id = slot.bases.cameraShader + k;
        if (text(old.cameraShaders[size_t(k)].effect.compileFlags) != text(desc.cameraShaders[size_t(k)].effect.compileFlags) ||
            !m_ops.cameraEffectExists(id)) {
            if (slot.cameraShaderShown[k] && m_ops.cameraEffectExists(id))
                m_ops.hideCameraEffect(id);
            slot.cameraShaderShown[k] = false;
            m_ops.deleteCameraEffect(id);
            createCameraShader(slot, k);
        } else {
            m_ops.setCameraEffectParameters(id, taSceneEvaluateBlock(desc.cameraShaders[size_t(k)].effect, 0), true);
        }
    }
    m_ops.takeMessage();
}

void CTaSceneTable::createCameraShader(STaSceneSlot& slot, int k)
{
    const STaSceneCameraShaderKeys& shader = slot.desc->cameraShaders[size_t(k)];
    const int id = slot.bases.cameraShader + k;
    const STaEffectParamBlock block = taSceneEvaluateBlock(shader.effect, 0);
    if (!shader.hasEffect || m_ops.makeCameraEffect(id, block) != 0) {
        m_ops.takeMessage();
        report(slot, ETALOG_INFO, "The camera shader id=%d file='%s' cannot be loaded", id, block.fileName.c_str());
        return;
    }
    m_ops.setCameraEffectParameters(id, block, true);
    m_ops.takeMessage();
}

void CTaSceneTable::createRenderer(STaSceneSlot& slot)
{
    if (slot.extra || !slot.desc->hasRenderer)
        return;
    report(slot, ETALOG_WARN,
           "Load renderer from scene failed : render command lists are not part of this build yet (the scene is "
           "drawn by the engine's renderer)");
}

void taSceneMarkAnimatedMeshes(STaSceneSlot& slot)
{
    const STaSceneDesc& desc = *slot.desc;
    slot.meshAnimated.assign(desc.meshes.size(), false);
    for (size_t m = 0; m < desc.meshes.size(); ++m)
        for (const STaSceneSurfaceDesc& surface : desc.meshes[m].surfaces) {
            for (const STaSceneSurfaceDesc::SChannel& channel : surface.channels)
                if (channel.present && animated(channel.value))
                    slot.meshAnimated[m] = true;
            if (surface.hasEffect && blockAnimated(surface.effect))
                slot.meshAnimated[m] = true;
        }
}

int taSceneCreate(CTaSceneTable& table, int id, bool reuse)
{
    STaSceneSlot* slot = table.slot(id);
    if (!slot)
        return -1;
    const STaSceneDesc& desc = *slot->desc;
    if (desc.cameraKeys.empty()) {
        taPrint(ETALOG_WARN | ETALOG_MESSAGEBOX, "There is no camera in the scene");
        slot->messages.push_back("There is no camera in the scene");
    }
    table.createCubeMaps(*slot);

    const int objects = int(desc.objectKeys.size());
    for (int i = 0; i < objects; ++i) {
        if (taSceneLoadProgress(100 * i / objects) != 0)
            return 1;
        table.createObject(*slot, i, reuse, true);
    }
    table.createRenderer(*slot);

    taSceneMarkAnimatedMeshes(*slot);
    for (int i = 0; i < objects; ++i)
        table.applySurfaces(*slot, i, 0.0f, true);

    if (!slot->extra)
        for (int i = 0; i < int(desc.lightKeys.size()); ++i)
            table.createLight(*slot, i);

    for (size_t j = 0; j < desc.emitterKeys.size(); ++j) {
        const STaSceneEmitterKeys& emitter = desc.emitterKeys[j];
        const char* clip = taSceneString(TF_FindChild(emitter.hyperVoxel, "clipFilename"));
        table.report(*slot, ETALOG_ERROR,
                     "The fxemitter id=%d (image file='%s') cannot be created: particle emitters are not part of this "
                     "build yet",
                     slot->bases.emitter + int(j), clip ? clip : "<no clip file>");
    }
    if (!slot->extra)
        table.createCameraShaders(*slot);
    table.hide(id);
    return 0;
}
