// The scene table: slots, loading and deleting, showing and hiding, the queries, and the operations
// on the engine's own table.
#include "scene/TaScenes.h"

#include "core/TaLog.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "scene/TaSceneManager.h"
#include "scene/TaSceneOps.h"

#include <strings.h>

CTaSceneTable::CTaSceneTable(ITaSceneOps& ops) : m_ops(ops)
{
    for (STaSceneSlot& slot : m_slots)
        resetLastApplied(slot);
}

CTaSceneTable::~CTaSceneTable()
{
    for (STaSceneSlot& slot : m_slots)
        taSceneDescFree(slot.desc);
}

STaSceneSlot* CTaSceneTable::slot(int id)
{
    return id >= 0 && id < TA_SCENE_SLOTS && m_slots[id].inUse ? &m_slots[id] : nullptr;
}

const STaSceneSlot* CTaSceneTable::slot(int id) const
{
    return id >= 0 && id < TA_SCENE_SLOTS && m_slots[id].inUse ? &m_slots[id] : nullptr;
}

int CTaSceneTable::count() const
{
    int n = 0;
    for (const STaSceneSlot& slot : m_slots)
        n += slot.inUse ? 1 : 0;
    return n;
}

void CTaSceneTable::resetLastApplied(STaSceneSlot& slot)
{
    for (int& v : slot.lastApplied)
        v = -1;
    slot.lastAaLimit = 0;
}

int CTaSceneTable::load(const char* path, int id, const STaSceneBases& bases, bool reuse, const char* name,
                        bool extra)
{
    if (taSceneLoadProgress(0) != 0)
        return 1;
    if (id < 0 || id >= TA_SCENE_SLOTS) {
        taErrorCode(2, "Invalid Scene ID %d", id);
        return -1;
    }
    STaSceneSlot& slot = m_slots[id];
    if (slot.inUse) {
        taErrorCode(2, "Scene ID %d is already in use", id);
        return -1;
    }
    slot = STaSceneSlot();
    slot.extra = extra;
    std::string why;
    slot.desc = taSceneDescLoad(path, why);
    if (!slot.desc) {
        taErrorCode(1, "Failed to load scene file '%s'%s%s", path ? path : "", why.empty() ? "" : "\n", why.c_str());
        return -1;
    }
    slot.name = std::string(name ? name : "").substr(0, 255);
    slot.inUse = true;
    resetLastApplied(slot);
    slot.frameStart = slot.desc->frameStart;
    slot.bases = bases;
    // The scene is hidden at the end of its creation.
    return taSceneCreate(*this, id, reuse);
}

void CTaSceneTable::remove(int id)
{
    STaSceneSlot* s = slot(id);
    if (!s)
        return;
    // A shown scene is hidden first: the engine leaves the scene's renderer before it goes.
    if (s->shown)
        hide(id);
    const STaSceneDesc& desc = *s->desc;
    for (int i = 0; i < int(desc.cubeMaps.size()); ++i)
        m_ops.deleteCubeMap(s->bases.cubeMap + i);
    for (int i = 0; i < int(desc.objectKeys.size()); ++i)
        m_ops.deleteObject(s->bases.object + i);
    if (!s->extra)
        for (int i = 0; i < int(desc.lightKeys.size()); ++i)
            m_ops.deleteLight(s->bases.light + i);
    if (!s->extra)
        dropCameraShaders(*s, int(s->desc->cameraShaders.size()));
    // Emitters and a renderer of the scene's own are not made in this build.
    taSceneDescFree(s->desc);
    *s = STaSceneSlot();
    resetLastApplied(*s);
}

void CTaSceneTable::applySceneSettings(STaSceneSlot& slot)
{
    const STaSceneDesc& desc = *slot.desc;
    const TF_Float3 zenith = desc.zenith ? TF_FP3_Get(desc.zenith, 0) : TF_Float3{0, 0, 0};
    m_ops.colorBackdrop(taSceneColour(irr::core::vector3df(zenith.x, zenith.y, zenith.z)));
    m_ops.setDisplayColourSpace(taSceneInt(desc.colourSpaceViewer, 0));
    if (taSceneInt(desc.renderSettingKeys[ETASRS_CAMERARANGE_ENABLE], 0) != 0) {
        const TF_Node* minimum = desc.renderSettingKeys[ETASRS_CAMERARANGE_MIN];
        const TF_Node* maximum = desc.renderSettingKeys[ETASRS_CAMERARANGE_MAX];
        m_ops.setCameraRange(minimum ? TF_FP_Get(minimum, 0) : 0.0f, maximum ? TF_FP_Get(maximum, 0) : 0.0f);
    }
}

void CTaSceneTable::show(int id)
{
    STaSceneSlot* s = slot(id);
    if (!s)
        return;
    const STaSceneDesc& desc = *s->desc;
    for (int i = 0; i < int(desc.objectKeys.size()); ++i)
        if (m_ops.objectExists(s->bases.object + i))
            m_ops.showObject(s->bases.object + i);
    if (!s->extra) {
        for (int i = 0; i < int(desc.lightKeys.size()); ++i)
            if (m_ops.lightExists(s->bases.light + i))
                m_ops.showLight(s->bases.light + i);
        applySceneSettings(*s);
    }
    s->shown = true;
}

void CTaSceneTable::hide(int id)
{
    STaSceneSlot* s = slot(id);
    if (!s)
        return;
    const STaSceneDesc& desc = *s->desc;
    for (int i = 0; i < int(desc.objectKeys.size()); ++i)
        if (m_ops.objectExists(s->bases.object + i))
            m_ops.hideObject(s->bases.object + i);
    if (!s->extra)
        for (int i = 0; i < int(desc.lightKeys.size()); ++i)
            if (m_ops.lightExists(s->bases.light + i))
                m_ops.hideLight(s->bases.light + i);
    dropCameraShaders(*s, 0);
    if (!s->extra && s->rendererMade)
        m_ops.useDefaultRenderer();
    resetLastApplied(*s);
    s->shown = false;
}

void CTaSceneTable::dropCameraShaders(STaSceneSlot& slot, int removeCount)
{
    for (int k = 0; k < TA_SCENE_MAX_CAMERA_SHADERS; ++k) {
        const int id = slot.bases.cameraShader + k;
        if (slot.cameraShaderShown[k] && m_ops.cameraEffectExists(id))
            m_ops.hideCameraEffect(id);
        slot.cameraShaderShown[k] = false;
    }
    for (int k = 0; k < removeCount; ++k)
            m_ops.deleteCameraEffect(slot.bases.cameraShader + k);
    m_ops.takeMessage();
}

void CTaSceneTable::park(int id)
{
    STaSceneSlot* s = slot(id);
    if (!s)
        return;
    for (int i = 0; i < int(s->desc->objectKeys.size()); ++i)
        if (m_ops.objectExists(s->bases.object + i))
            m_ops.positionObject(s->bases.object + i, irr::core::vector3df(0, 0, -1000000.0f));
    dropCameraShaders(*s, 0);
}

void CTaSceneTable::showEmitters(int)
{
    // Particle emitters are not part of this build yet: a scene has none to show.
}

int CTaSceneTable::prepareRender(int id)
{
    STaSceneSlot* s = slot(id);
    if (!s) {
        taErrorCode(2, "Invalid Scene ID %d", id);
        return -1;
    }
    show(id);
    animate(id, 0);
    m_ops.renderOffscreenFrame();
    renderCubeMaps(id, true);
    hide(id);
    for (int i = 0; i < 8; ++i)
        s->lastApplied[i] = -1;
    return 0;
}

int CTaSceneTable::objectIdByName(int id, const char* name)
{
    STaSceneSlot* s = slot(id);
    for (size_t i = 0; s && name && i < s->desc->objectKeys.size(); ++i) {
        const char* own = taSceneString(s->desc->objectKeys[i].name);
        const int objectId = s->bases.object + int(i);
        if (own && strcasecmp(own, name) == 0 && m_ops.objectExists(objectId))
            return objectId;
    }
    return -1;
}

// --- Time --------------------------------------------------------------------------------------------

float taSceneSampleAt(const STaSceneDesc& desc, int timeMs)
{
    if (!(desc.framesPerSecond > 0))
        return 0.0f;
    const int step = desc.frameStep >= 1 ? desc.frameStep : 1;
    return (float(timeMs) / 1000.0f) * desc.framesPerSecond / float(step);
}

float taSceneFrameAt(const STaSceneDesc& desc, int timeMs)
{
    const float fps = desc.framesPerSecond > 0 ? desc.framesPerSecond : 0.0f;
    return float(timeMs) * fps / 1000.0f + float(desc.frameStart);
}

irr::core::vector3df taSceneCameraPosition(const STaSceneDesc& desc, float sample)
{
    const int camera = taSceneCameraIndex(desc, sample);
    if (camera < 0)
        return {0, 0, 0};
    return taSceneEvaluateCamera(desc.cameraKeys[size_t(camera)], sample).position;
}

// --- The engine's table ------------------------------------------------------------------------------

CTaSceneTable* taSceneTable()
{
    CTaManager* manager = taGetManager();
    CTaSceneManager* scenes = manager ? manager->getSceneManager() : nullptr;
    return scenes ? &scenes->table() : nullptr;
}

namespace {

// The engine's table and the slot of a scene in use, or nullptr with "Invalid Scene ID %d" (code 2).
STaSceneSlot* usedSlot(int scene, CTaSceneTable** table = nullptr)
{
    CTaSceneTable* t = taSceneTable();
    STaSceneSlot* s = t ? t->slot(scene) : nullptr;
    if (!s)
        taErrorCode(2, "Invalid Scene ID %d", scene);
    if (table)
        *table = t;
    return s;
}

const STaSceneSlot* querySlot(int scene)
{
    CTaSceneTable* t = taSceneTable();
    return t ? t->slot(scene) : nullptr;
}

} // namespace

int taLoadScene(const char* file, int scene, const STaSceneBases& bases, bool reuse, const char* name, bool extra)
{
    CTaSceneTable* table = taSceneTable();
    if (!table) {
        taErrorCode(-1, "Scenes need a running engine");
        return -1;
    }
    return table->load(file, scene, bases, reuse, name, extra);
}

int LoadScene(const char* file, int scene, int objectBase, int lightBase, int emitterBase, int cubeMapBase,
              int cameraShaderBase, int rendererId, int effectBase, bool reuse, const char* name)
{
    STaSceneBases bases;
    bases.object = objectBase;
    bases.light = lightBase;
    bases.emitter = emitterBase;
    bases.cubeMap = cubeMapBase;
    bases.cameraShader = cameraShaderBase;
    bases.renderer = rendererId;
    bases.effect = effectBase;
    DeleteScene(scene);
    return taLoadScene(file, scene, bases, reuse, name, false);
}

void DeleteScene(int scene)
{
    if (CTaSceneTable* table = taSceneTable())
        table->remove(scene);
}

bool SceneExist(int scene)
{
    return querySlot(scene) != nullptr;
}

void ShowScene(int scene)
{
    if (CTaSceneTable* table = taSceneTable())
        table->show(scene);
}

void HideScene(int scene)
{
    if (CTaSceneTable* table = taSceneTable())
        table->hide(scene);
}

namespace {
// A count of a scene in use, or -1.
template <typename F> int sceneCount(int scene, F count)
{
    const STaSceneSlot* s = querySlot(scene);
    return s ? int(count(*s->desc)) : -1;
}
} // namespace

int SceneTotalObjects(int scene)
{
    return sceneCount(scene, [](const STaSceneDesc& d) { return d.objectKeys.size(); });
}

int SceneTotalLights(int scene)
{
    return sceneCount(scene, [](const STaSceneDesc& d) { return d.lightKeys.size(); });
}

int SceneTotalFxEmitters(int scene)
{
    return sceneCount(scene, [](const STaSceneDesc& d) { return d.emitterKeys.size(); });
}

int SceneTotalCubeMaps(int scene)
{
    return sceneCount(scene, [](const STaSceneDesc& d) { return d.cubeMaps.size(); });
}

int SceneTotalCameraShaders(int scene)
{
    return sceneCount(scene, [](const STaSceneDesc& d) { return d.cameraShaderCount; });
}

int SceneTotalEffects(int scene)
{
    return sceneCount(scene, [](const STaSceneDesc& d) { return d.hasRenderer ? d.renderEffects.size() : 0; });
}

int taSceneHasRenderer(int scene)
{
    return sceneCount(scene, [](const STaSceneDesc& d) { return d.hasRenderer ? 1 : 0; });
}

int SceneAnimTimeEnd(int scene)
{
    const STaSceneSlot* s = querySlot(scene);
    if (!s)
        return 0;
    const float fps = s->desc->framesPerSecond;
    const int f = fps > -2147483648.0f && fps < 2147483647.0f ? int(fps) : 0;
    if (f == 0)
        return 0;
    return int((long long)(s->desc->frameEnd - (long long)s->desc->frameStart) * 1000 / f);
}

int SceneFps(int scene)
{
    const STaSceneSlot* s = querySlot(scene);
    const float fps = s ? s->desc->framesPerSecond : 0.0f;
    return fps > -2147483648.0f && fps < 2147483647.0f ? int(fps) : 0;
}

int SceneFrameStart(int scene)
{
    const STaSceneSlot* s = querySlot(scene);
    return s ? s->desc->frameStart : 0;
}

const char* taSceneMusic(int scene)
{
    const STaSceneSlot* s = querySlot(scene);
    const char* music = s ? taSceneString(s->desc->loadAudio) : nullptr;
    return music && *music ? music : nullptr;
}

int taSceneMusicStart(int scene)
{
    const STaSceneSlot* s = querySlot(scene);
    if (!s)
        return 0;
    const STaSceneDesc& desc = *s->desc;
    const float start = desc.framesPerSecond > 0 ? float(desc.frameStart) / desc.framesPerSecond : 0.0f;
    const float audio = desc.audioStartTime ? TF_FP_Get(desc.audioStartTime, 0) : 0.0f;
    const float ms = (start - audio) * 1000.0f;
    return ms > -2147483648.0f && ms < 2147483647.0f ? int(ms) : 0;
}

int AnimateScene(int scene, int timeMs)
{
    CTaSceneTable* table = nullptr;
    return usedSlot(scene, &table) ? table->animate(scene, timeMs) : -1;
}

int AnimateSceneObject(int scene, int timeMs, int object)
{
    CTaSceneTable* table = nullptr;
    return usedSlot(scene, &table) ? table->animateObject(scene, timeMs, object) : -1;
}

int AnimateSceneProcessing(int scene, int timeMs)
{
    CTaSceneTable* table = nullptr;
    return usedSlot(scene, &table) ? table->animateProcessing(scene, timeMs) : -1;
}

int AnimateSceneCameraShaders(int scene, int timeMs)
{
    CTaSceneTable* table = nullptr;
    return usedSlot(scene, &table) ? table->animateCameraShaders(scene, timeMs) : -1;
}

int PrepareSceneRender(int scene)
{
    CTaSceneTable* table = nullptr;
    return usedSlot(scene, &table) ? table->prepareRender(scene) : -1;
}

void taParkScene(int scene)
{
    if (CTaSceneTable* table = taSceneTable())
        table->park(scene);
}

void taShowSceneEmitters(int scene)
{
    if (CTaSceneTable* table = taSceneTable())
        table->showEmitters(scene);
}

void taUpdateSceneCubeMaps(int scene, int timeMs)
{
    if (CTaSceneTable* table = taSceneTable())
        table->updateCubeMaps(scene, timeMs);
}

void taRenderSceneCubeMaps(int scene, bool all)
{
    if (CTaSceneTable* table = taSceneTable())
        table->renderCubeMaps(scene, all);
}

int taUpdateScene(const char* path, int scene)
{
    CTaSceneTable* table = taSceneTable();
    return table ? table->update(path, scene) : -1;
}
