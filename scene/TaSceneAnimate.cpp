// A scene frame by frame: every track evaluated straight from the key records at one sample position
// and pushed into the camera, lights, objects and render settings; the scene's cube maps rendered at
// their times.
#include "scene/TaScenes.h"

#include "core/TaLog.h"
#include "scene/TaSceneOps.h"

#include <climits>

namespace {

using irr::core::vector3df;

float at(const TF_Node* entry, float sample)
{
    return entry ? TF_FP_Lerp(entry, sample) : 0.0f;
}

vector3df at3(const TF_Node* entry, float sample)
{
    if (!entry)
        return {0, 0, 0};
    const TF_Float3 v = TF_FP3_Lerp(entry, sample);
    return {v.x, v.y, v.z};
}

// Indices into a slot's lastApplied.
enum { LAST_GLOW, LAST_STREAK, LAST_DOF, LAST_DOF_ADVANCED, LAST_BLOOM, LAST_SSAO, LAST_SHADOW, LAST_AA };

} // namespace

void CTaSceneTable::animateCamera(STaSceneSlot& slot, float sample, vector3df& position)
{
    const STaSceneDesc& desc = *slot.desc;
    const int camera = taSceneCameraIndex(desc, sample);
    if (camera < 0)
        return;
    const STaSceneCameraKeys& keys = desc.cameraKeys[size_t(camera)];
    if (slot.extra) {
        position = at3(keys.position, sample);
        return;
    }
    const STaSceneCameraState state = taSceneEvaluateCamera(keys, sample);
    position = state.position;
    m_ops.setCameraFOV(state.fieldOfView);
    const int dof = state.depthOfField ? 1 : 0;
    if (dof != slot.lastApplied[LAST_DOF] || dof) {
        m_ops.setCameraDOF(dof, state.focalDistance, state.fStop);
        slot.lastApplied[LAST_DOF] = dof;
    }
    const TF_Node* const* rs = desc.renderSettingKeys;
    const int advanced = taSceneInt(rs[ETASRS_DOF_ADVANCED_ENABLE], 0);
    if (advanced != slot.lastApplied[LAST_DOF_ADVANCED] || advanced) {
        m_ops.setCameraAdvancedDOF(advanced, at(rs[ETASRS_DOF_MINFOCUSDIST], sample),
                                   at(rs[ETASRS_DOF_MAXFOCUSDIST], sample), at(rs[ETASRS_DOF_FOCUSEDDIST], sample),
                                   at(rs[ETASRS_DOF_RADIUSSCALE], sample));
        slot.lastApplied[LAST_DOF_ADVANCED] = advanced;
    }
    if (state.stereo)
        m_ops.setCameraStereo(1, state.separation, state.usingConvergencePoint, state.convergencePoint);
    else
        m_ops.setCameraStereo(0, 0, 0, 0);
    m_ops.positionCamera(state.position);
    m_ops.rotateCamera(state.rotation);
}

void CTaSceneTable::animateLights(STaSceneSlot& slot, float sample)
{
    const STaSceneDesc& desc = *slot.desc;
    for (size_t k = 0; k < desc.lightKeys.size(); ++k) {
        const STaSceneLightKeys& keys = desc.lightKeys[k];
        const int id = slot.bases.light + int(k);
        const STaSceneLightState state = taSceneEvaluateLight(keys, sample);
        m_ops.positionLight(id, state.position);
        m_ops.rotateLight(id, state.rotation);
        m_ops.colorLight(id, state.colour);
        m_ops.setLightRawColor(id, state.rawColour);
        m_ops.setLightIntensity(id, state.intensity);
        if (state.type == 2)
            m_ops.setSpotLight(id, state.innerCone, state.outerCone);
        if (taSceneInt(keys.falloff, 0) != 0)
            m_ops.setLightRange(id, state.range);
        if (taSceneInt(keys.flags, 0) & 0x20)
            m_ops.setLightVolumetricShape(id, at(keys.volDensity, sample), at(keys.volBase, sample));
    }
}

void CTaSceneTable::animateObjectAt(STaSceneSlot& slot, int index, float sample, float frame,
                                    const vector3df& cameraPosition)
{
    const STaSceneDesc& desc = *slot.desc;
    const STaSceneObjectKeys& keys = desc.objectKeys[size_t(index)];
    const int id = slot.bases.object + index;
    // Frames of an animated mesh and morph weights.
    const int frames = m_ops.totalObjectFrames(id);
    if (frames > 1)
        m_ops.setObjectFrame(id, frame < 0 ? 0.0f : frame > float(frames) ? float(frames) : frame);
    if (!keys.morphs.empty() && m_ops.objectMorphCount(id) > 0) {
        int targets[60];
        float weights[60];
        int count = 0;
        for (size_t k = 0; k < keys.morphs.size() && count < 60; ++k) {
            const float w = at(keys.morphs[k], sample);
            if (w != 0.0f) {
                targets[count] = int(k) + 1;
                weights[count++] = w;
            }
        }
        m_ops.setObjectMorph(id, count, targets, weights);
    }
    const STaSceneObjectState state = taSceneEvaluateObject(keys, sample);
    m_ops.positionObject(id, slot.extra ? state.position - cameraPosition : state.position);
    m_ops.rotateObject(id, state.rotation);
    m_ops.scaleObject(id, state.scale);
    if (state.influence >= 0) {
        const STaSceneObjectKeys::SInfluence& in = keys.influences[size_t(state.influence)];
        const bool box = in.aabbPosition && in.aabbScale;
        m_ops.setObjectCubeMap(id, slot.bases.cubeMap + in.cubeMap, box, box ? at3(in.aabbPosition, sample) : vector3df(),
                               box ? at3(in.aabbScale, sample) : vector3df());
    }
    // Surfaces whose values are all constant were applied at load.
    if (keys.mesh >= 0 && size_t(keys.mesh) < slot.meshAnimated.size() && slot.meshAnimated[size_t(keys.mesh)])
        applySurfaces(slot, index, sample, false);
}

void CTaSceneTable::animateRenderSettings(STaSceneSlot& slot, float sample)
{
    const STaSceneDesc& desc = *slot.desc;
    const TF_Node* const* rs = desc.renderSettingKeys;
    int* last = slot.lastApplied;

    const int glow = taSceneInt(desc.glowEffect, 0);
    if (glow != last[LAST_GLOW] || glow) {
        m_ops.setGlow(glow, at(desc.glowIntensity, sample), at(desc.glowRadius, sample));
        last[LAST_GLOW] = glow;
    }
    const int streak = taSceneInt(rs[ETASRS_STREAK_ENABLE], 0);
    if (streak != last[LAST_STREAK] || streak) {
        float v[11] = {};
        if (streak) {
            const vector3df key = at3(rs[ETASRS_STREAK_COLORKEY], sample);
            const vector3df colourise = at3(rs[ETASRS_STREAK_COLORIZE], sample);
            const float values[11] = {at(rs[ETASRS_STREAK_GLOWMIN], sample), key.X, key.Y, key.Z,
                                      at(rs[ETASRS_STREAK_COLORKEYMATCH], sample), colourise.X, colourise.Y,
                                      colourise.Z, at(rs[ETASRS_STREAK_ATTENUATION], sample),
                                      at(rs[ETASRS_STREAK_ANGLE], sample), at(rs[ETASRS_STREAK_COMPOSE], sample)};
            for (int i = 0; i < 11; ++i)
                v[i] = values[i];
        }
        m_ops.setStreaks(streak, v);
        last[LAST_STREAK] = streak;
    }
    const int bloom = taSceneInt(rs[ETASRS_BLOOM_ENABLE], 0);
    if (bloom != last[LAST_BLOOM] || bloom) {
        m_ops.setBloom(bloom, bloom ? at(rs[ETASRS_BLOOM_SPECULARMIN], sample) : 0.0f,
                       bloom ? at(rs[ETASRS_BLOOM_COMPOSE], sample) : 0.0f);
        last[LAST_BLOOM] = bloom;
    }
    const int ssao = taSceneInt(rs[ETASRS_SSAO_ENABLE], 0);
    if (ssao != last[LAST_SSAO] || ssao) {
        float v[4] = {};
        if (ssao) {
            v[0] = at(rs[ETASRS_SSAO_DISTANCEREACH], sample);
            v[1] = at(rs[ETASRS_SSAO_MAXDEPTHDECLINE], sample);
            v[2] = at(rs[ETASRS_SSAO_DEPTHALIASINGEPSILON], sample);
            v[3] = at(rs[ETASRS_SSAO_OUTPUTMULTIPLIER], sample);
        }
        m_ops.setSSAO(ssao, v);
        last[LAST_SSAO] = ssao;
    }
    const int shadow = taSceneInt(rs[ETASRS_SHADOW_ENABLE], 0);
    if (shadow != last[LAST_SHADOW] || shadow) {
        m_ops.setShadowSettings(shadow, shadow ? at(rs[ETASRS_SHADOW_EPSILON], sample) : 0.0f);
        last[LAST_SHADOW] = shadow;
    }
    const int aa[6] = {taSceneInt(rs[ETASRS_AA_JITTER], 0),   taSceneInt(rs[ETASRS_AA_LOCATION], 1),
                       taSceneInt(rs[ETASRS_AA_MODE], 1),     taSceneInt(rs[ETASRS_AA_BLENDING], 0),
                       taSceneInt(rs[ETASRS_AA_BLENDING_WEIGHT], 0), taSceneInt(rs[ETASRS_AA_VLIMIT_ENABLE], 0)};
    const float limit = rs[ETASRS_AA_VLIMIT_VAL] ? TF_FP_Get(rs[ETASRS_AA_VLIMIT_VAL], 0) : 0.0f;
    bool changed = limit != slot.lastAaLimit;
    for (int i = 0; i < 6; ++i)
        changed = changed || aa[i] != last[LAST_AA + i];
    if (changed) {
        m_ops.setAntialias(aa, limit);
        for (int i = 0; i < 6; ++i)
            last[LAST_AA + i] = aa[i];
        slot.lastAaLimit = limit;
    }
}

int CTaSceneTable::animate(int id, int timeMs)
{
    STaSceneSlot* s = slot(id);
    if (!s) {
        taErrorCode(2, "Invalid Scene ID %d", id);
        return -1;
    }
    const STaSceneDesc& desc = *s->desc;
    const float sample = taSceneSampleAt(desc, timeMs);
    const float frame = taSceneFrameAt(desc, timeMs);
    // Render effects of a scene's own renderer: render command lists are not part of this build yet.
    if (!s->extra)
        animateRenderSettings(*s, sample);
    vector3df camera(0, 0, 0);
    animateCamera(*s, sample, camera);
    if (!s->extra) {
        // An extra scene brings no lighting of its own: it must not black out the ambient light.
        m_ops.colorAmbientLight(taSceneColour(at3(desc.ambient, sample)));
        animateLights(*s, sample);
    }
    // Emitters are not part of this build yet: a scene has none.
    for (int k = 0; k < int(desc.objectKeys.size()); ++k)
        animateObjectAt(*s, k, sample, frame, camera);
    if (!s->extra)
        animateCameraShadersAt(*s, sample, frame);
    s->lastTime = timeMs;
    return 0;
}

int CTaSceneTable::animateObject(int id, int timeMs, int objectId)
{
    STaSceneSlot* s = slot(id);
    if (!s) {
        taErrorCode(2, "Invalid Scene ID %d", id);
        return -1;
    }
    const int index = objectId - s->bases.object;
    if (index < 0 || index >= int(s->desc->objectKeys.size())) {
        taErrorCode(3, "Invalid Object ID %d", objectId);
        return -1;
    }
    const float sample = taSceneSampleAt(*s->desc, timeMs);
    animateObjectAt(*s, index, sample, taSceneFrameAt(*s->desc, timeMs), taSceneCameraPosition(*s->desc, sample));
    return 0;
}

int CTaSceneTable::animateProcessing(int id, int timeMs)
{
    STaSceneSlot* s = slot(id);
    if (!s) {
        taErrorCode(2, "Invalid Scene ID %d", id);
        return -1;
    }
    if (!s->extra)
        animateRenderSettings(*s, taSceneSampleAt(*s->desc, timeMs));
    return 0;
}

int CTaSceneTable::animateCameraShaders(int id, int timeMs)
{
    STaSceneSlot* s = slot(id);
    if (!s) {
        taErrorCode(2, "Invalid Scene ID %d", id);
        return -1;
    }
    if (!s->extra)
        animateCameraShadersAt(*s, taSceneSampleAt(*s->desc, timeMs), taSceneFrameAt(*s->desc, timeMs));
    return 0;
}

void CTaSceneTable::animateCameraShadersAt(STaSceneSlot& slot, float sample, float frame)
{
    const STaSceneDesc& desc = *slot.desc;
    for (int k = 0; k < int(desc.cameraShaders.size()); ++k) {
        const STaSceneCameraShaderKeys& shader = desc.cameraShaders[size_t(k)];
        const int id = slot.bases.cameraShader + k;
        if (!m_ops.cameraEffectExists(id))
            continue;
        bool visible = true;
        if (taSceneInt(shader.useFrame, 0) != 0) {
            const int f = int(frame);
            visible = int(at(shader.startFrame, sample)) <= f && f < int(at(shader.endFrame, sample));
        }
        if (visible != slot.cameraShaderShown[k]) {
            if (visible)
                m_ops.showCameraEffect(id);
            else
                m_ops.hideCameraEffect(id);
            slot.cameraShaderShown[k] = visible;
        }
        if (visible)
            m_ops.setCameraEffectParameters(id, taSceneEvaluateBlock(shader.effect, sample), false);
    }
    m_ops.takeMessage();
}

// --- Cube maps ---------------------------------------------------------------------------------------

void CTaSceneTable::renderCubeMap(STaSceneSlot& slot, int index, int timeMs)
{
    const STaSceneDesc& desc = *slot.desc;
    const STaSceneCubeMapKeys& cube = desc.cubeMaps[size_t(index)];
    const float sample = taSceneSampleAt(desc, timeMs);
    const vector3df position = at3(cube.position, sample) + at3(cube.cameraOffset, sample);
    const int objects = int(desc.objectKeys.size());
    if (!cube.showList.empty()) {
        for (int k = 0; k < objects; ++k)
            if (m_ops.objectExists(slot.bases.object + k))
                m_ops.hideObject(slot.bases.object + k);
        for (int k : cube.showList)
            if (m_ops.objectExists(slot.bases.object + k))
                m_ops.showObject(slot.bases.object + k);
    }
    for (int k : cube.hideList)
        if (m_ops.objectExists(slot.bases.object + k))
            m_ops.hideObject(slot.bases.object + k);
    std::vector<int> switchedOff;
    for (int k = 0; !slot.extra && k < int(desc.lightKeys.size()); ++k) {
        const STaSceneLightKeys& light = desc.lightKeys[size_t(k)];
        const int id = slot.bases.light + k;
        if (!(taSceneInt(light.flags, 0) & 0x20) || !m_ops.lightExists(id))
            continue;
        const bool off = cube.showVolumetric == 0 || (cube.showVolumetric == 1 && taSceneInt(light.type, 1) == 1);
        if (off) {
            m_ops.setLightVolumetricVisible(id, false);
            switchedOff.push_back(id);
        }
        if (cube.clampVolumetric != 0)
            m_ops.setLightVolumetricClamp(id, true, cube.clampVolumetricMax);
    }
    m_ops.takeMessage();
    if (m_ops.renderCubeMap(slot.bases.cubeMap + index, position) != 0)
        report(slot, ETALOG_ERROR, "Failed to render cube map");
    for (int k = 0; k < objects; ++k)
        if (m_ops.objectExists(slot.bases.object + k))
            m_ops.showObject(slot.bases.object + k);
    for (int id : switchedOff)
        m_ops.setLightVolumetricVisible(id, true);
    if (cube.clampVolumetric != 0)
        for (int k = 0; !slot.extra && k < int(desc.lightKeys.size()); ++k)
            if ((taSceneInt(desc.lightKeys[size_t(k)].flags, 0) & 0x20) && m_ops.lightExists(slot.bases.light + k))
                m_ops.setLightVolumetricClamp(slot.bases.light + k, false, 1000000.0f);
}

void CTaSceneTable::updateCubeMaps(int id, int timeMs)
{
    STaSceneSlot* s = slot(id);
    for (int i = 0; s && i < int(s->desc->cubeMaps.size()); ++i)
        if (s->desc->cubeMaps[size_t(i)].renderType == 1)
            renderCubeMap(*s, i, timeMs);
}

void CTaSceneTable::renderCubeMaps(int id, bool all)
{
    STaSceneSlot* s = slot(id);
    if (!s || s->desc->cubeMaps.empty())
        return;
    const STaSceneDesc& desc = *s->desc;
    const int entryTime = s->lastTime;
    for (int i = 0; i < int(desc.cubeMaps.size()); ++i)
        m_ops.clearCubeMap(s->bases.cubeMap + i);
    const float start = desc.framesPerSecond > 0 ? float(desc.frameStart) / desc.framesPerSecond : 0.0f;
    int previous = INT_MIN;
    // The second pass sees the reflections the first one rendered.
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < int(desc.cubeMaps.size()); ++i) {
            const float ms = (desc.cubeMaps[size_t(i)].renderTime - start) * 1000.0f;
            const int t = ms > -2147483648.0f && ms < 2147483647.0f ? int(ms) : 0;
            if (!all && m_ops.cubeMapRendered(s->bases.cubeMap + i))
                continue;
            if (t != previous)
                animate(id, t);
            previous = t;
            renderCubeMap(*s, i, t);
        }
    animate(id, entryTime);
}
