// The scene table: loaded scenes in 60 slots addressed by scene ID, their entities made through the
// engine operations (ITaSceneOps) under IDs counted from the bases the caller gives, shown, hidden,
// animated frame by frame straight from their key records, and updated in place from a re-exported
// file.
//
// Index
//   records ........... STaSceneBases, STaSceneSlot, CTaSceneTable
//   loading ........... taSceneCreate, the progress callback, the error report
//   engine's table .... taSceneTable and the operations scripts, the viewer and the demo call
#pragma once

#include "scene/TaSceneDesc.h"

#include <irrlicht.h>

#include <string>
#include <vector>

class ITaSceneOps;

constexpr int TA_SCENE_SLOTS = 60;
// The render switches and integer settings whose last value a slot remembers: glow, streaks,
// depth of field, advanced depth of field, bloom, SSAO, shadow, then the six antialiasing integers.
constexpr int TA_SCENE_LAST_APPLIED = 14;

// The first ID of each kind of a scene's entities; entity k of a kind has ID base + k.
struct STaSceneBases {
    int object = 0, light = 0, emitter = 0, cubeMap = 0, cameraShader = 0;
    int renderer = 0, effect = 0;
};

struct STaSceneSlot {
    bool inUse = false;
    bool extra = false; // only contributes objects and emitters to another scene
    STaSceneBases bases;
    STaSceneDesc* desc = nullptr;
    std::string name; // slots of equal names (without regard to case) share meshes
    bool cameraShaderShown[TA_SCENE_MAX_CAMERA_SHADERS] = {};
    int lastApplied[TA_SCENE_LAST_APPLIED];
    float lastAaLimit = 0;
    int lastTime = 0;
    int frameStart = 0;
    bool updatedLive = false;
    bool shown = false; // between show and hide
    bool rendererMade = false; // the scene's own renderer (from its render command list) exists
    // Per mesh entry: whether any surface value or effect parameter is a track (the others are
    // applied at load and need no per-frame evaluation).
    std::vector<bool> meshAnimated;
    // Per object: the object its mesh was cloned (or instanced) from, -1 when it was loaded from its
    // file, -2 when the object was not made.
    std::vector<int> meshSource;
    // What loading and updating reported about the scene's entities, in order.
    std::vector<std::string> messages;
};

class CTaSceneTable
{
public:
    explicit CTaSceneTable(ITaSceneOps& ops);
    // Releases the descriptions; the entities stay with their ID tables.
    ~CTaSceneTable();
    CTaSceneTable(const CTaSceneTable&) = delete;
    CTaSceneTable& operator=(const CTaSceneTable&) = delete;

    ITaSceneOps& ops() { return m_ops; }
    // The slot of a scene ID in use, or nullptr.
    STaSceneSlot* slot(int id);
    const STaSceneSlot* slot(int id) const;
    int count() const;

    // Loads the document at `path` into slot `id` and makes its entities: 0, 1 when the progress
    // callback cancelled (the entities made so far stay in the slot), -1 with the error ("Invalid
    // Scene ID %d" and "Scene ID %d is already in use", code 2; "Failed to load scene file '%s'",
    // code 1, the slot left free). The scene is hidden afterwards.
    int load(const char* path, int id, const STaSceneBases& bases, bool reuse, const char* name, bool extra);
    // Deletes the scene's entities and frees the slot; nothing for a free slot.
    void remove(int id);
    void show(int id);
    void hide(int id);
    // The scene at `timeMs` milliseconds from its start: 0, or -1 with "Invalid Scene ID %d" (code 2).
    int animate(int id, int timeMs);
    int animateObject(int id, int timeMs, int objectId);
    int animateProcessing(int id, int timeMs);
    int animateCameraShaders(int id, int timeMs);
    int prepareRender(int id);
    void park(int id);
    void showEmitters(int id);
    void updateCubeMaps(int id, int timeMs);
    void renderCubeMaps(int id, bool all);
    // Live update from a re-exported file: 0, or -1 (free slot, unreadable file; the scene as it was).
    int update(const char* path, int id);

    // The object (emitter) ID of the first object of a scene with that name (without regard to case)
    // whose object exists; -1 when there is none.
    int objectIdByName(int id, const char* name);

    // What the live update and the load share.
    void report(STaSceneSlot& slot, int level, const char* format, ...);
    // Loads (or, with `share`, clones or instances) object `index`, gives it its cube map and node
    // settings, and hides it unless the scene is shown.
    void createObject(STaSceneSlot& slot, int index, bool reuse, bool share);
    void objectNodeSettings(STaSceneSlot& slot, int index);
    void applySurfaces(STaSceneSlot& slot, int index, float sample, bool recreateShaders);
    void createCubeMaps(STaSceneSlot& slot);
    void createLight(STaSceneSlot& slot, int index);
    void setUpLight(STaSceneSlot& slot, int index);
    void createCameraShaders(STaSceneSlot& slot);
    // After a reload: a changed list (count or a file) is made anew; otherwise a shader whose compile
    // flags changed is made again, and the others take the new values and textures.
    void updateCameraShaders(STaSceneSlot& slot, const STaSceneDesc& old);
    // Camera shader k (ID camera-shader base + k), made from its effect block with the values at
    // sample 0 and its textures; "The camera shader id=%d file='%s' cannot be loaded" when it fails.
    void createCameraShader(STaSceneSlot& slot, int k);
    // Hides the shown camera shaders (and clears their flags), then deletes the first `removeCount`.
    void dropCameraShaders(STaSceneSlot& slot, int removeCount);
    // Shows or hides each camera shader by its frame window and gives the shown ones their values.
    void animateCameraShadersAt(STaSceneSlot& slot, float sample, float frame);
    void createRenderer(STaSceneSlot& slot);
    void applySceneSettings(STaSceneSlot& slot);
    void resetLastApplied(STaSceneSlot& slot);

private:
    void animateCamera(STaSceneSlot& slot, float sample, irr::core::vector3df& position);
    void animateLights(STaSceneSlot& slot, float sample);
    void animateObjectAt(STaSceneSlot& slot, int index, float sample, float frame,
                         const irr::core::vector3df& cameraPosition);
    void animateRenderSettings(STaSceneSlot& slot, float sample);
    void renderCubeMap(STaSceneSlot& slot, int index, int timeMs);

    ITaSceneOps& m_ops;
    STaSceneSlot m_slots[TA_SCENE_SLOTS];
};

// Makes a loaded scene's entities in order (the body of the table's load): cube maps, objects (with
// the progress callback before each), the scene's renderer, surfaces, lights, emitters, camera
// shaders; then hides the scene. 0, or 1 when the progress callback cancelled.
int taSceneCreate(CTaSceneTable& table, int id, bool reuse);

// Marks the slot's meshes whose surface values or effect parameters are tracks.
void taSceneMarkAnimatedMeshes(STaSceneSlot& slot);

// The load progress callback, called with (percent, user): 0 before loading, then before each object;
// a non-zero return cancels. nullptr removes it.
using TaSceneLoadCallback = int (*)(int percent, void* user);
void taSetSceneLoadCallback(TaSceneLoadCallback callback, void* user);
// Calls the callback (0 when there is none).
int taSceneLoadProgress(int percent);
// Whether entity failures of a load are shown as errors with a message box (off: only kept in the
// slot's messages and logged at debug level).
void taSetSceneLoadErrorReport(bool on);

// Sample position and scene frame of a time in milliseconds (a frame step below 1 counts as 1).
float taSceneSampleAt(const STaSceneDesc& desc, int timeMs);
float taSceneFrameAt(const STaSceneDesc& desc, int timeMs);
// Position of the rendering camera; (0, 0, 0) without cameras.
irr::core::vector3df taSceneCameraPosition(const STaSceneDesc& desc, float sample);

// --- The engine's scene table (nullptr while the engine is stopped) -------------------------------------
CTaSceneTable* taSceneTable();

// The operations of scripts, the viewer and the demo on the engine's table. Those that take a scene ID
// say "Invalid Scene ID %d" (code 2) for a bad or free one where the script API raises.
int LoadScene(const char* file, int scene, int objectBase, int lightBase, int emitterBase, int cubeMapBase,
              int cameraShaderBase, int rendererId, int effectBase, bool reuse, const char* name);
int taLoadScene(const char* file, int scene, const STaSceneBases& bases, bool reuse, const char* name, bool extra);
void DeleteScene(int scene);
bool SceneExist(int scene);
void ShowScene(int scene);
void HideScene(int scene);
int SceneTotalObjects(int scene);
int SceneTotalLights(int scene);
int SceneTotalFxEmitters(int scene);
int SceneTotalCubeMaps(int scene);
int SceneTotalCameraShaders(int scene);
int SceneTotalEffects(int scene);
int taSceneHasRenderer(int scene);
int SceneAnimTimeEnd(int scene);
int SceneFps(int scene);
int SceneFrameStart(int scene);
const char* taSceneMusic(int scene);
int taSceneMusicStart(int scene);
int AnimateScene(int scene, int timeMs);
int AnimateSceneObject(int scene, int timeMs, int object);
int AnimateSceneProcessing(int scene, int timeMs);
int AnimateSceneCameraShaders(int scene, int timeMs);
int PrepareSceneRender(int scene);
void taParkScene(int scene);
void taShowSceneEmitters(int scene);
void taUpdateSceneCubeMaps(int scene, int timeMs);
void taRenderSceneCubeMaps(int scene, bool all);
int taUpdateScene(const char* path, int scene);
