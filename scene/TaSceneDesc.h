// Scene descriptions: a scene document read once into key records, direct pointers to the TF entries
// of every camera, light, object, mesh, emitter, cube map and camera shader, so that the per-frame
// animation evaluates tracks without searching by name.
#pragma once

#include "effects/TaEffectParams.h"
#include "effects/TaSurfaceData.h"
#include "scene/tf/TF.h"

#include <irrlicht.h>

#include <string>
#include <vector>

// Limits of what a scene holds.
constexpr int TA_SCENE_MAX_SURFACES = 256;       // surfaces of one mesh
constexpr int TA_SCENE_MAX_CAMERA_SHADERS = 20;
constexpr int TA_SCENE_MAX_COMMANDS = 50;
constexpr int TA_SCENE_MAX_COMMAND_INPUTS = 10;
constexpr int TA_SCENE_MAX_COMMAND_OUTPUTS = 5;
constexpr int TA_SCENE_MAX_COMMAND_PARAMETERS = 20;
constexpr int TA_SCENE_MAX_RENDER_EFFECTS = 50;

// --- Reading keys ------------------------------------------------------------------------------------
// A string key's text, or nullptr when it is absent or not a string (absent never matches anything).
const char* taSceneString(const TF_Node* key);
// An int key's first element, or `fallback` when it is absent or holds none.
int taSceneInt(const TF_Node* key, int fallback = 0);
// Element `i` of an int key, or `fallback`.
int taSceneIntAt(const TF_Node* key, uint32_t i, int fallback);
// Whether a string key holds exactly `text` (never for an absent key or text).
bool taSceneStringIs(const TF_Node* key, const char* text);

// An effect parameter block as the document holds it; evaluated at a sample when applied.
struct STaSceneEffectBlock {
    const char* fileName = nullptr;
    const char* compileFlags = nullptr;
    struct SEntry {
        const char* name = nullptr;
        int kind = ETAPARAM_NONE;
        const TF_Node* value = nullptr;
        int colourSpace = 0;
        int reference = 0;
    };
    std::vector<SEntry> entries;
};
// The block with its values at sample position `sample`.
STaEffectParamBlock taSceneEvaluateBlock(const STaSceneEffectBlock& block, float sample);
// The kind of a value entry: an array 0, STR 3, FP_C 1, FP of 3 floats 0, other FP 1, I4/U4 2.
int taSceneValueKind(const TF_Node* value);

struct STaSceneSurfaceDesc {
    const char* name = nullptr;
    struct SChannel {
        bool present = false;
        int kind = ETAPARAM_NONE;
        const TF_Node* value = nullptr;
        const char* imageFile = nullptr;
        int imageColourSpace = 0;
        int imageMipMaps = 1;
    } channels[ETASC_COUNT];
    int applyToSurface = 0;
    bool hasEffect = false;
    STaSceneEffectBlock effect;
};

struct STaSceneMeshDesc {
    const char* fileName = nullptr;
    std::vector<STaSceneSurfaceDesc> surfaces; // at most TA_SCENE_MAX_SURFACES
    int surfaceCount = 0;                      // as the document has them
};

struct STaSceneCameraKeys {
    const TF_Node *position = nullptr, *rotation = nullptr, *zoomFactor = nullptr, *resolution = nullptr;
    const TF_Node *focalDistance = nullptr, *fStop = nullptr, *flags = nullptr, *separation = nullptr;
    const TF_Node *convergencePoint = nullptr, *usingConvergencePoint = nullptr;
};

struct STaSceneLightKeys {
    const TF_Node *position = nullptr, *rotation = nullptr, *type = nullptr, *coneAngles = nullptr;
    const TF_Node *range = nullptr, *falloff = nullptr, *rawColor = nullptr, *intensity = nullptr;
    const TF_Node *shadowType = nullptr, *shadowColor = nullptr, *shadMapSize = nullptr, *shadMapFuzz = nullptr;
    const TF_Node *projImage = nullptr, *flags = nullptr;
    const TF_Node* volumetric = nullptr; // the Volumetric node
    const TF_Node *volFlags = nullptr, *volBase = nullptr, *volDensity = nullptr, *volColor = nullptr;
    const TF_Node *volSprite = nullptr, *volDissolve = nullptr, *volShadow = nullptr, *volRadius = nullptr;
    const TF_Node *volHeight = nullptr, *volLuminosity = nullptr, *volOpacity = nullptr, *volAttenuation = nullptr;
    const TF_Node *volRedShift = nullptr, *volJitteredSampling = nullptr;
};

struct STaSceneObjectKeys {
    const TF_Node *name = nullptr, *xfilename = nullptr, *filename = nullptr;
    int pointCloudCount = 0;
    const TF_Node *position = nullptr, *rotation = nullptr, *scale = nullptr;
    int shadowOpts = 0, selectionMask = 0;
    const TF_Node* vertexTextureName = nullptr;
    int vertexTextureContent = 0, vertexTextureFormat = 0;
    std::vector<const TF_Node*> morphs; // each target's weight track
    int mesh = -1;                      // the mesh entry (the last one of the object's file), or -1
    struct SInfluence {
        int cubeMap = -1; // the first cube map of that name, or -1
        const TF_Node *aabbPosition = nullptr, *aabbScale = nullptr, *influence = nullptr;
    };
    std::vector<SInfluence> influences;
};

struct STaSceneEmitterKeys {
    const TF_Node *name = nullptr, *type = nullptr, *parentName = nullptr, *selectionMask = nullptr;
    const TF_Node *position = nullptr, *rotation = nullptr, *hyperVoxel = nullptr, *particleFx = nullptr;
    bool hasEffect = false;
    STaSceneEffectBlock effect;
};

struct STaSceneCubeMapKeys {
    const TF_Node* name = nullptr;
    int renderType = 0, textureSize = 0, hideObject = 0, useLatLong = 0, showVolumetric = 0, clampVolumetric = 0;
    float renderTime = 0, clampVolumetricMax = 0;
    const TF_Node *hideSet = nullptr, *showSet = nullptr, *position = nullptr, *cameraOffset = nullptr;
    std::vector<int> hideList, showList; // object indices
};

struct STaSceneCameraShaderKeys {
    const TF_Node *useFrame = nullptr, *startFrame = nullptr, *endFrame = nullptr;
    bool hasEffect = false;
    STaSceneEffectBlock effect;
};

// One command of a scene's render command list, as the document gives it.
struct STaSceneCommandDesc {
    const char* name = nullptr;
    const char* command = nullptr;
    std::vector<std::pair<const char*, const char*>> inputs, outputs;
    struct SParameter {
        const char* name = nullptr;
        int kind = ETAPARAM_NONE; // ETAPARAM_VECTOR3, _FLOAT, _INT, _STRING, or TA_SCENE_PARAM_EFFECT
        const TF_Node* value = nullptr;
        int effect = -1; // the render effect block of an effect parameter
    };
    std::vector<SParameter> parameters;
};
constexpr int TA_SCENE_PARAM_EFFECT = 4;

// The render settings a scene carries (TarvRenderSettings), in this order.
enum ETaSceneRenderSetting {
    ETASRS_STREAK_ENABLE, ETASRS_STREAK_GLOWMIN, ETASRS_STREAK_COLORKEY, ETASRS_STREAK_COLORKEYMATCH,
    ETASRS_STREAK_COLORIZE, ETASRS_STREAK_ATTENUATION, ETASRS_STREAK_ANGLE, ETASRS_STREAK_COMPOSE,
    ETASRS_BLOOM_ENABLE, ETASRS_BLOOM_SPECULARMIN, ETASRS_BLOOM_COMPOSE,
    ETASRS_DOF_ADVANCED_ENABLE, ETASRS_DOF_MINFOCUSDIST, ETASRS_DOF_FOCUSEDDIST, ETASRS_DOF_MAXFOCUSDIST,
    ETASRS_DOF_RADIUSSCALE,
    ETASRS_SSAO_ENABLE, ETASRS_SSAO_DISTANCEREACH, ETASRS_SSAO_MAXDEPTHDECLINE, ETASRS_SSAO_DEPTHALIASINGEPSILON,
    ETASRS_SSAO_OUTPUTMULTIPLIER,
    ETASRS_SHADOW_ENABLE, ETASRS_SHADOW_EPSILON,
    ETASRS_CAMERARANGE_ENABLE, ETASRS_CAMERARANGE_MIN, ETASRS_CAMERARANGE_MAX,
    ETASRS_AA_JITTER, ETASRS_AA_LOCATION, ETASRS_AA_MODE, ETASRS_AA_BLENDING, ETASRS_AA_BLENDING_WEIGHT,
    ETASRS_AA_VLIMIT_ENABLE, ETASRS_AA_VLIMIT_VAL,
    ETASRS_COUNT
};
// The key name of a render setting ("CH_STREAK_ENABLE", ...).
const char* taSceneRenderSettingName(int setting);

struct STaSceneDesc {
    TF_Document* document = nullptr;
    const TF_Node* scene = nullptr;
    int frameStart = 0, frameEnd = 0, frameStep = 1;
    float framesPerSecond = 0;
    const TF_Node *objects = nullptr, *cameras = nullptr, *lights = nullptr, *emitters = nullptr;
    const TF_Node *postProcs = nullptr, *sceneObjects = nullptr, *cubeMapsNode = nullptr;
    const TF_Node *loadAudio = nullptr, *audioStartTime = nullptr, *renderCamera = nullptr;
    const TF_Node* backdrop = nullptr;
    const TF_Node* ambient = nullptr;
    const TF_Node *glowEffect = nullptr, *glowIntensity = nullptr, *glowRadius = nullptr;
    const TF_Node *colourSpaceViewer = nullptr, *colourSpace8BitFiles = nullptr;
    const TF_Node* renderSettings = nullptr; // the TarvRenderSettings node
    const TF_Node* renderSettingKeys[ETASRS_COUNT] = {};
    const TF_Node* zenith = nullptr; // BackdropInfo
    std::vector<STaSceneCubeMapKeys> cubeMaps;
    std::vector<STaSceneCameraKeys> cameraKeys;
    std::vector<STaSceneLightKeys> lightKeys;
    std::vector<STaSceneEmitterKeys> emitterKeys;
    std::vector<STaSceneMeshDesc> meshes;
    std::vector<STaSceneObjectKeys> objectKeys;
    std::vector<STaSceneCameraShaderKeys> cameraShaders; // at most TA_SCENE_MAX_CAMERA_SHADERS
    int cameraShaderCount = 0;                           // as the document has them
    std::vector<STaSceneCommandDesc> commands;
    std::vector<STaSceneEffectBlock> renderEffects;
    bool hasRenderer = false;
};

// Reads the document at `path` into a new description (the caller frees it with taSceneDescFree),
// or nullptr with the reason in `error`: the file cannot be read or is not a document, has no
// "Scene" node, or its render command list breaks a limit ("Renderer: too much commands", ...).
STaSceneDesc* taSceneDescLoad(const char* path, std::string& error);
// The same from a document already loaded (the description takes it over, also on failure).
STaSceneDesc* taSceneDescRead(TF_Document* document, std::string& error);
void taSceneDescFree(STaSceneDesc* desc);

// The sample position of a scene frame: (frame - frameStart) / frameStep, a step below 1 counting
// as 1.
float taSceneSamplePosition(const STaSceneDesc& desc, float frame);
// The surface records of a mesh evaluated at a sample position, at most TA_SCENE_MAX_SURFACES.
std::vector<struct STaSurfaceRecord> taSceneEvaluateSurfaces(const STaSceneMeshDesc& mesh, float sample);
// The index of the first object (cube map) whose name is exactly `name`, or -1 (never for none).
int taSceneObjectIndex(const STaSceneDesc& desc, const char* name);
int taSceneCubeMapIndex(const STaSceneDesc& desc, const char* name);

// --- What a frame shows, evaluated straight from the key records at a sample position ----------------

// 0xRRGGBB of three 0..1 channels, each scaled to 255 and clamped to 0..255 (never wrapped).
irr::u32 taSceneColour(const irr::core::vector3df& colour);

// The camera that renders: (int) renderCamera at the sample, clamped to the cameras there are; -1
// without cameras.
int taSceneCameraIndex(const STaSceneDesc& desc, float sample);

struct STaSceneCameraState {
    irr::core::vector3df position, rotation; // rotation in degrees
    float fieldOfView = 0;                   // degrees, 2 atan(w / (zoom h)), kept within 1 to 179
    bool depthOfField = false, stereo = false;
    float focalDistance = 0, fStop = 0, separation = 0, convergencePoint = 0;
    int usingConvergencePoint = 0;
};
STaSceneCameraState taSceneEvaluateCamera(const STaSceneCameraKeys& keys, float sample);

struct STaSceneLightState {
    irr::core::vector3df position, rotation; // rotation in degrees
    irr::core::vector3df rawColour;
    float intensity = 0;
    irr::u32 colour = 0; // 0xRRGGBB of intensity x raw colour, each channel clamped to 0..255
    int type = 1;        // 0 directional, 2 spot, else point
    float innerCone = 0, outerCone = 0; // degrees, for spots
    float range = 0;                    // 10,000,000 without falloff
};
STaSceneLightState taSceneEvaluateLight(const STaSceneLightKeys& keys, float sample);

struct STaSceneObjectState {
    irr::core::vector3df position, rotation, scale; // rotation in degrees, scale in percent
    int influence = -1; // the influence with the greatest value whose cube map resolved, or -1
};
STaSceneObjectState taSceneEvaluateObject(const STaSceneObjectKeys& keys, float sample);
