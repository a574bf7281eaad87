// Live update: a loaded scene brought in step with its re-exported file under the same IDs, re-making
// only what changed (meshes, node settings, surfaces, lights, cube maps), so that a scene being edited
// can be exported again while it is shown.
#include "scene/TaScenes.h"

#include "core/TaLog.h"
#include "scene/TaSceneOps.h"

#include <cstring>
#include <strings.h>

namespace {

// Equal texts without regard to case; two absent texts are equal, one absent is not.
bool sameText(const char* a, const char* b)
{
    if (!a || !b)
        return a == b;
    return strcasecmp(a, b) == 0;
}

bool sameTextExact(const char* a, const char* b)
{
    if (!a || !b)
        return a == b;
    return strcmp(a, b) == 0;
}

TF_Float3 at0(const TF_Node* entry)
{
    return entry ? TF_FP3_Get(entry, 0) : TF_Float3{0, 0, 0};
}

bool sameFloat3(const TF_Float3& a, const TF_Float3& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool blocksDiffer(bool hasA, const STaSceneEffectBlock& a, bool hasB, const STaSceneEffectBlock& b)
{
    if (hasA != hasB)
        return true;
    if (!hasA)
        return false;
    const STaEffectParamBlock x = taSceneEvaluateBlock(a, 0), y = taSceneEvaluateBlock(b, 0);
    if (strcasecmp(x.fileName.c_str(), y.fileName.c_str()) != 0 || x.entries.size() != y.entries.size())
        return true;
    for (size_t i = 0; i < x.entries.size(); ++i) {
        const STaEffectParamEntry& p = x.entries[i];
        const STaEffectParamEntry& q = y.entries[i];
        if (p.kind != q.kind || p.text != q.text || p.colourSpace != q.colourSpace)
            return true;
    }
    return false;
}

const STaSceneMeshDesc* meshOf(const STaSceneDesc& desc, const STaSceneObjectKeys& object)
{
    return object.mesh >= 0 ? &desc.meshes[size_t(object.mesh)] : nullptr;
}

float channelFloat(const STaSceneSurfaceDesc& s, int channel)
{
    const STaSceneSurfaceDesc::SChannel& c = s.channels[channel];
    if (!c.present || !c.value)
        return 0.0f;
    return c.kind == ETAPARAM_INT ? float(taSceneInt(c.value, 0)) : TF_FP_Get(c.value, 0);
}

bool surfacesChanged(const STaSceneSurfaceDesc& a, const STaSceneSurfaceDesc& b)
{
    if (a.hasEffect != b.hasEffect)
        return true;
    if (a.hasEffect && !sameText(a.effect.fileName, b.effect.fileName))
        return true;
    for (int c = 0; c < ETASC_COUNT; ++c)
        if (!sameText(a.channels[c].imageFile, b.channels[c].imageFile))
            return true;
    auto zeroOnOneSide = [&](int c) { return (channelFloat(a, c) == 0.0f) != (channelFloat(b, c) == 0.0f); };
    return zeroOnOneSide(ETASC_TRANSPARENCY) || zeroOnOneSide(ETASC_TRANSLUCENCY) ||
           (channelFloat(a, ETASC_REFLECTIONOPTIONS) < 2) != (channelFloat(b, ETASC_REFLECTIONOPTIONS) < 2) ||
           channelFloat(a, ETASC_RENDEROUTLINES) != channelFloat(b, ETASC_RENDEROUTLINES) ||
           channelFloat(a, ETASC_LINESIZE) != channelFloat(b, ETASC_LINESIZE);
}

// Whether an object's mesh must be loaded again: its file, point count, surface structure or the
// kind of cube-map influences changed.
bool meshChanged(const STaSceneDesc& oldDesc, const STaSceneObjectKeys& a, const STaSceneDesc& newDesc,
                 const STaSceneObjectKeys& b)
{
    if (!sameText(taSceneString(a.xfilename), taSceneString(b.xfilename)) || a.pointCloudCount != b.pointCloudCount)
        return true;
    const STaSceneMeshDesc* ma = meshOf(oldDesc, a);
    const STaSceneMeshDesc* mb = meshOf(newDesc, b);
    const int countA = ma ? ma->surfaceCount : 0, countB = mb ? mb->surfaceCount : 0;
    if (countA != countB)
        return true;
    for (size_t s = 0; ma && mb && s < ma->surfaces.size() && s < mb->surfaces.size(); ++s)
        if (surfacesChanged(ma->surfaces[s], mb->surfaces[s]))
            return true;
    if (a.influences.empty() != b.influences.empty())
        return true;
    if (!a.influences.empty()) {
        auto anyBox = [](const STaSceneObjectKeys& o) {
            for (const auto& in : o.influences)
                if (in.aabbPosition && in.aabbScale)
                    return true;
            return false;
        };
        auto anyLatLong = [](const STaSceneDesc& d, const STaSceneObjectKeys& o) {
            for (const auto& in : o.influences)
                if (in.cubeMap >= 0 && d.cubeMaps[size_t(in.cubeMap)].useLatLong != 0)
                    return true;
            return false;
        };
        if (anyBox(a) != anyBox(b) || anyLatLong(oldDesc, a) != anyLatLong(newDesc, b))
            return true;
    }
    return false;
}

bool nodeSettingsChanged(const STaSceneObjectKeys& a, const STaSceneObjectKeys& b)
{
    return a.shadowOpts != b.shadowOpts || a.selectionMask != b.selectionMask ||
           !sameText(taSceneString(a.vertexTextureName), taSceneString(b.vertexTextureName));
}

bool lightChanged(const STaSceneLightKeys& a, const STaSceneLightKeys& b)
{
    if (taSceneInt(a.type, 1) != taSceneInt(b.type, 1) || taSceneInt(a.shadowType, 0) != taSceneInt(b.shadowType, 0) ||
        taSceneInt(a.falloff, 0) != taSceneInt(b.falloff, 0) || taSceneInt(a.flags, 0) != taSceneInt(b.flags, 0))
        return true;
    // A light with a shadow map is always set up again (its map may have to be made anew).
    if (taSceneInt(b.shadowType, 0) == 2)
        return true;
    if (!sameTextExact(taSceneString(a.projImage), taSceneString(b.projImage)))
        return true;
    if ((a.volumetric != nullptr) != (b.volumetric != nullptr))
        return true;
    if (taSceneIntAt(a.volFlags, 1, 0) != taSceneIntAt(b.volFlags, 1, 0) ||
        taSceneIntAt(a.volFlags, 4, 0) != taSceneIntAt(b.volFlags, 4, 0))
        return true;
    return taSceneIntAt(b.volFlags, 4, 0) != 0 && !sameFloat3(at0(a.volColor), at0(b.volColor));
}

bool cubeMapListsDiffer(const STaSceneDesc& a, const STaSceneDesc& b)
{
    if (a.cubeMaps.size() != b.cubeMaps.size())
        return true;
    for (size_t i = 0; i < a.cubeMaps.size(); ++i)
        if (!sameTextExact(taSceneString(a.cubeMaps[i].name), taSceneString(b.cubeMaps[i].name)))
            return true;
    return false;
}

// Whether every object must be made again: their count, the colour space of 8-bit files, or any
// object's mesh file changed.
bool objectListsDiffer(const STaSceneDesc& a, const STaSceneDesc& b)
{
    if (taSceneInt(a.colourSpace8BitFiles, 0) != taSceneInt(b.colourSpace8BitFiles, 0) ||
        a.objectKeys.size() != b.objectKeys.size())
        return true;
    for (size_t i = 0; i < a.objectKeys.size(); ++i)
        if (!sameText(taSceneString(a.objectKeys[i].xfilename), taSceneString(b.objectKeys[i].xfilename)))
            return true;
    return false;
}

} // namespace

int CTaSceneTable::update(const char* path, int id)
{
    STaSceneSlot* s = slot(id);
    if (!s)
        return -1;
    s->updatedLive = true;
    std::string why;
    STaSceneDesc* fresh = taSceneDescLoad(path, why);
    if (!fresh)
        return -1;
    STaSceneDesc* old = s->desc;
    s->desc = fresh;
    const STaSceneDesc& desc = *fresh;

    if (!s->extra && s->shown)
        applySceneSettings(*s);

    // Cube maps.
    bool cubeMapsMade = false;
    if (cubeMapListsDiffer(*old, desc)) {
        for (int i = 0; i < int(old->cubeMaps.size()); ++i)
            m_ops.deleteCubeMap(s->bases.cubeMap + i);
        createCubeMaps(*s);
        cubeMapsMade = true;
    } else {
        for (size_t i = 0; i < desc.cubeMaps.size(); ++i) {
            const STaSceneCubeMapKeys& a = old->cubeMaps[i];
            const STaSceneCubeMapKeys& b = desc.cubeMaps[i];
            if (a.textureSize == b.textureSize && a.useLatLong == b.useLatLong)
                continue;
            const int cubeId = s->bases.cubeMap + int(i);
            m_ops.deleteCubeMap(cubeId);
            if (m_ops.createCubeMap(cubeId, b.textureSize, b.useLatLong != 0) != 0)
                report(*s, ETALOG_ERROR, "The cubemap id=%d cannot be created", cubeId);
            cubeMapsMade = true;
        }
    }

    // Objects, then their surfaces.
    const int objects = int(desc.objectKeys.size());
    std::vector<bool> reloaded(size_t(objects), false), surfacesAgain(size_t(objects), false);
    if (objectListsDiffer(*old, desc)) {
        for (int i = 0; i < int(old->objectKeys.size()); ++i)
            m_ops.deleteObject(s->bases.object + i);
        for (int i = 0; i < objects; ++i) {
            createObject(*s, i, false, false);
            reloaded[size_t(i)] = surfacesAgain[size_t(i)] = true;
        }
    } else {
        for (int i = 0; i < objects; ++i) {
            const STaSceneObjectKeys& a = old->objectKeys[size_t(i)];
            const STaSceneObjectKeys& b = desc.objectKeys[size_t(i)];
            if (meshChanged(*old, a, desc, b)) {
                m_ops.deleteObject(s->bases.object + i);
                createObject(*s, i, false, false);
                reloaded[size_t(i)] = surfacesAgain[size_t(i)] = true;
                continue;
            }
            if (nodeSettingsChanged(a, b))
                objectNodeSettings(*s, i);
            const STaSceneMeshDesc* ma = meshOf(*old, a);
            const STaSceneMeshDesc* mb = meshOf(desc, b);
            for (size_t k = 0; ma && mb && k < ma->surfaces.size() && k < mb->surfaces.size(); ++k)
                if (blocksDiffer(ma->surfaces[k].hasEffect, ma->surfaces[k].effect, mb->surfaces[k].hasEffect,
                                 mb->surfaces[k].effect))
                    surfacesAgain[size_t(i)] = true;
        }
    }
    if (desc.hasRenderer && !s->extra)
        createRenderer(*s);
    taSceneMarkAnimatedMeshes(*s);
    for (int i = 0; i < objects; ++i) {
        if (surfacesAgain[size_t(i)])
            applySurfaces(*s, i, 0.0f, true);
        else
            // New values of constant surfaces (a changed colour) without re-making shaders.
            applySurfaces(*s, i, 0.0f, false);
    }

    // Lights.
    if (!s->extra) {
        if (old->lightKeys.size() == desc.lightKeys.size()) {
            for (size_t i = 0; i < desc.lightKeys.size(); ++i)
                if (lightChanged(old->lightKeys[i], desc.lightKeys[i]) && m_ops.lightExists(s->bases.light + int(i)))
                    setUpLight(*s, int(i));
        } else {
            for (int i = 0; i < int(old->lightKeys.size()); ++i)
                m_ops.deleteLight(s->bases.light + i);
            for (int i = 0; i < int(desc.lightKeys.size()); ++i) {
                createLight(*s, i);
                if (!s->shown && m_ops.lightExists(s->bases.light + i))
                    m_ops.hideLight(s->bases.light + i);
            }
        }
    }
    // Emitters are not part of this build yet: say what the new file asks for.
    for (size_t j = 0; j < desc.emitterKeys.size() && old->emitterKeys.size() != desc.emitterKeys.size(); ++j)
        report(*s, ETALOG_ERROR,
               "The fxemitter id=%d cannot be created: particle emitters are not part of this build yet",
               s->bases.emitter + int(j));
    if (!s->extra)
        updateCameraShaders(*s, *old);

    taSceneDescFree(old);
    s->frameStart = desc.frameStart;
    const bool longScene = desc.frameEnd - desc.frameStart > 2;
    if (cubeMapsMade || longScene)
        renderCubeMaps(id, longScene);
    return 0;
}
