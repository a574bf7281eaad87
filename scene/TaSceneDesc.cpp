// Reading scene documents into key records.
#include "scene/TaSceneDesc.h"

#include "scene/TaSurfaces.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

uint32_t childCount(const TF_Node* node)
{
    return node && node->kind == TF_KIND_NODE ? node->type : 0;
}

const TF_Node* child(const TF_Node* node, uint32_t i)
{
    return i < childCount(node) ? node->children[i] : nullptr;
}

const TF_Node* key(const TF_Node* node, const char* name)
{
    return node && node->kind == TF_KIND_NODE ? TF_FindChild(node, name) : nullptr;
}

const TF_Node* section(const TF_Node* node, const char* name)
{
    const TF_Node* found = key(node, name);
    return found && found->kind == TF_KIND_NODE ? found : nullptr;
}

float floatAt0(const TF_Node* entry)
{
    return entry ? TF_FP_Get(entry, 0) : 0.0f;
}

STaSceneEffectBlock readBlock(const TF_Node* effect)
{
    STaSceneEffectBlock block;
    block.fileName = taSceneString(key(effect, "filename"));
    block.compileFlags = taSceneString(key(effect, "cflags"));
    const TF_Node* parameters = section(effect, "Parameters");
    for (uint32_t i = 0; i < childCount(parameters); ++i) {
        const TF_Node* entry = child(parameters, i);
        STaSceneEffectBlock::SEntry e;
        e.name = entry->name;
        e.value = key(entry, "value");
        e.kind = taSceneValueKind(e.value);
        e.colourSpace = taSceneInt(key(entry, "img_colorspace"), 0);
        e.reference = taSceneInt(key(entry, "img_reference"), 0);
        block.entries.push_back(e);
    }
    return block;
}

STaSceneMeshDesc readMesh(const TF_Node* entry)
{
    STaSceneMeshDesc mesh;
    mesh.fileName = taSceneString(key(entry, "filename"));
    const TF_Node* surfaces = section(entry, "Surfaces");
    mesh.surfaceCount = int(childCount(surfaces));
    // Only the surfaces that are used are kept.
    for (uint32_t s = 0; s < childCount(surfaces) && s < uint32_t(TA_SCENE_MAX_SURFACES); ++s) {
        const TF_Node* surface = child(surfaces, s);
        STaSceneSurfaceDesc desc;
        desc.name = taSceneString(key(surface, "name"));
        const TF_Node* parameters = section(surface, "Parameters");
        for (int c = 0; c < ETASC_COUNT; ++c) {
            const TF_Node* channel = key(parameters, taSurfaceChannelName(c));
            if (!channel)
                continue;
            STaSceneSurfaceDesc::SChannel& out = desc.channels[c];
            out.present = true;
            out.value = key(channel, "value");
            out.kind = taSceneValueKind(out.value);
            out.imageFile = taSceneString(key(channel, "img_filename"));
            out.imageColourSpace = taSceneInt(key(channel, "img_colorspace"), 0);
            out.imageMipMaps = taSceneInt(key(channel, "img_mipmap"), 1);
        }
        const TF_Node* shader = section(surface, "Shader");
        desc.applyToSurface = taSceneInt(key(shader, "applyToSurface"), 0);
        if (const TF_Node* effect = section(shader, "Effect")) {
            desc.hasEffect = true;
            desc.effect = readBlock(effect);
        }
        mesh.surfaces.push_back(desc);
    }
    return mesh;
}

bool readCommands(STaSceneDesc& desc, const TF_Node* commands, std::string& error)
{
    if (childCount(commands) > uint32_t(TA_SCENE_MAX_COMMANDS)) {
        error = "Renderer: too much commands";
        return false;
    }
    for (uint32_t i = 0; i < childCount(commands); ++i) {
        const TF_Node* entry = child(commands, i);
        STaSceneCommandDesc command;
        command.name = taSceneString(key(entry, "name"));
        command.command = taSceneString(key(entry, "cmd"));
        const TF_Node* inputs = section(entry, "Inputs");
        const TF_Node* outputs = section(entry, "Outputs");
        const TF_Node* parameters = section(entry, "Parameters");
        if (childCount(inputs) > uint32_t(TA_SCENE_MAX_COMMAND_INPUTS)) {
            error = "Renderer: too much inputs";
            return false;
        }
        if (childCount(outputs) > uint32_t(TA_SCENE_MAX_COMMAND_OUTPUTS)) {
            error = "Renderer: too much outputs";
            return false;
        }
        if (childCount(parameters) > uint32_t(TA_SCENE_MAX_COMMAND_PARAMETERS)) {
            error = "Renderer: too much parameters";
            return false;
        }
        for (uint32_t k = 0; k < childCount(inputs); ++k)
            command.inputs.emplace_back(taSceneString(key(child(inputs, k), "name")),
                                        taSceneString(key(child(inputs, k), "value")));
        for (uint32_t k = 0; k < childCount(outputs); ++k)
            command.outputs.emplace_back(taSceneString(key(child(outputs, k), "name")),
                                         taSceneString(key(child(outputs, k), "value")));
        for (uint32_t k = 0; k < childCount(parameters); ++k) {
            const TF_Node* item = child(parameters, k);
            STaSceneCommandDesc::SParameter parameter;
            parameter.name = taSceneString(key(item, "name"));
            if (const TF_Node* effect = key(item, "Effect")) {
                if (desc.renderEffects.size() >= size_t(TA_SCENE_MAX_RENDER_EFFECTS)) {
                    error = "Renderer: too much shaders";
                    return false;
                }
                if (effect->kind != TF_KIND_NODE) {
                    error = "Renderer: failed to create effect";
                    return false;
                }
                parameter.kind = TA_SCENE_PARAM_EFFECT;
                parameter.effect = int(desc.renderEffects.size());
                desc.renderEffects.push_back(readBlock(effect));
            } else if (const TF_Node* value = key(item, "value")) {
                if (value->kind != TF_KIND_VALUE) {
                    error = "Renderer: unknown param type";
                    return false;
                }
                if (value->type == TF_TYPE_FP_C) {
                    error = "Renderer: unknown param value type";
                    return false;
                }
                parameter.value = value;
                parameter.kind = value->type == TF_TYPE_STR  ? ETAPARAM_STRING
                                 : value->type == TF_TYPE_FP ? (value->count == 3 ? ETAPARAM_VECTOR3 : ETAPARAM_FLOAT)
                                                             : ETAPARAM_INT;
            }
            command.parameters.push_back(parameter);
        }
        desc.commands.push_back(command);
    }
    desc.hasRenderer = true;
    return true;
}

} // namespace

const char* taSceneString(const TF_Node* entry)
{
    return entry && entry->kind == TF_KIND_VALUE && entry->type == TF_TYPE_STR && entry->data
               ? static_cast<const char*>(entry->data)
               : nullptr;
}

int taSceneIntAt(const TF_Node* entry, uint32_t i, int fallback)
{
    if (!entry || entry->kind != TF_KIND_VALUE || (entry->type != TF_TYPE_I4 && entry->type != TF_TYPE_U4) ||
        i >= entry->count || !entry->data)
        return fallback;
    return static_cast<const int32_t*>(entry->data)[i];
}

int taSceneInt(const TF_Node* entry, int fallback)
{
    return taSceneIntAt(entry, 0, fallback);
}

bool taSceneStringIs(const TF_Node* entry, const char* text)
{
    const char* own = taSceneString(entry);
    return own && text && strcmp(own, text) == 0;
}

int taSceneValueKind(const TF_Node* value)
{
    if (!value)
        return ETAPARAM_NONE;
    if (value->kind == TF_KIND_ARRAY)
        return ETAPARAM_VECTOR3;
    if (value->kind != TF_KIND_VALUE)
        return ETAPARAM_NONE;
    switch (value->type) {
    case TF_TYPE_STR: return ETAPARAM_STRING;
    case TF_TYPE_FP_C: return ETAPARAM_FLOAT;
    case TF_TYPE_FP: return value->count == 3 ? ETAPARAM_VECTOR3 : ETAPARAM_FLOAT;
    default: return ETAPARAM_INT;
    }
}

STaEffectParamBlock taSceneEvaluateBlock(const STaSceneEffectBlock& block, float sample)
{
    STaEffectParamBlock out;
    out.fileName = block.fileName ? block.fileName : "";
    out.compileFlags = block.compileFlags ? block.compileFlags : "";
    for (const STaSceneEffectBlock::SEntry& e : block.entries) {
        STaEffectParamEntry entry;
        entry.name = e.name ? e.name : "";
        entry.kind = e.kind;
        entry.colourSpace = e.colourSpace;
        entry.reference = e.reference;
        switch (e.kind) {
        case ETAPARAM_VECTOR3: {
            const TF_Float3 v = TF_FP3_Lerp(e.value, sample);
            entry.vector[0] = v.x, entry.vector[1] = v.y, entry.vector[2] = v.z;
            break;
        }
        case ETAPARAM_FLOAT: entry.vector[0] = TF_FP_Lerp(e.value, sample); break;
        case ETAPARAM_INT: entry.integer = taSceneInt(e.value, 0); break;
        case ETAPARAM_STRING: entry.text = taSceneString(e.value) ? taSceneString(e.value) : ""; break;
        default: break;
        }
        out.entries.push_back(entry);
    }
    return out;
}

const char* taSceneRenderSettingName(int setting)
{
    static const char* const kNames[ETASRS_COUNT] = {
        "CH_STREAK_ENABLE", "CH_STREAK_GLOWMIN", "CH_STREAK_COLORKEY", "CH_STREAK_COLORKEYMATCH",
        "CH_STREAK_COLORIZE", "CH_STREAK_ATTENUATION", "CH_STREAK_ANGLE", "CH_STREAK_COMPOSE",
        "CH_BLOOM_ENABLE", "CH_BLOOM_SPECULARMIN", "CH_BLOOM_COMPOSE",
        "CH_DOF_ADVANCED_ENABLE", "CH_DOF_MINFOCUSDIST", "CH_DOF_FOCUSEDDIST", "CH_DOF_MAXFOCUSDIST",
        "CH_DOF_RADIUSSCALE",
        "CH_SSAO_ENABLE", "CH_SSAO_DISTANCEREACH", "CH_SSAO_MAXDEPTHDECLINE", "CH_SSAO_DEPTHALIASINGEPSILON",
        "CH_SSAO_OUTPUTMULTIPLIER",
        "CH_SHADOW_ENABLE", "CH_SHADOW_EPSILON",
        "CH_CAMERARANGE_ENABLE", "CH_CAMERARANGE_MIN", "CH_CAMERARANGE_MAX",
        "CH_AA_JITTER", "CH_AA_LOCATION", "CH_AA_MODE", "CH_AA_BLENDING", "CH_AA_BLENDING_WEIGHT",
        "CH_AA_VLIMIT_ENABLE", "CH_AA_VLIMIT_VAL",
    };
    return setting >= 0 && setting < ETASRS_COUNT ? kNames[setting] : "";
}

std::vector<STaSurfaceRecord> taSceneEvaluateSurfaces(const STaSceneMeshDesc& mesh, float sample)
{
    std::vector<STaSurfaceRecord> records(mesh.surfaces.size());
    for (size_t s = 0; s < mesh.surfaces.size(); ++s) {
        const STaSceneSurfaceDesc& desc = mesh.surfaces[s];
        STaSurfaceRecord& record = records[s];
        record.name = desc.name ? desc.name : "";
        for (int c = 0; c < ETASC_COUNT; ++c) {
            const STaSceneSurfaceDesc::SChannel& channel = desc.channels[c];
            if (!channel.present)
                continue;
            STaSurfaceChannelRecord& out = record.channels[c];
            out.kind = channel.kind == ETAPARAM_STRING ? ETAPARAM_NONE : channel.kind;
            if (channel.kind == ETAPARAM_VECTOR3) {
                const TF_Float3 v = TF_FP3_Lerp(channel.value, sample);
                out.vector[0] = v.x, out.vector[1] = v.y, out.vector[2] = v.z;
            } else if (channel.kind == ETAPARAM_FLOAT) {
                out.vector[0] = TF_FP_Lerp(channel.value, sample);
            } else if (channel.kind == ETAPARAM_INT) {
                out.integer = taSceneInt(channel.value, 0);
            }
            out.imageFile = channel.imageFile ? channel.imageFile : "";
            out.imageColourSpace = channel.imageColourSpace;
            out.imageMipMaps = channel.imageMipMaps;
        }
        record.applyToSurface = desc.applyToSurface;
        if (desc.hasEffect)
            record.effect = taSceneEvaluateBlock(desc.effect, sample);
    }
    return records;
}

float taSceneSamplePosition(const STaSceneDesc& desc, float frame)
{
    const int step = desc.frameStep >= 1 ? desc.frameStep : 1;
    return (frame - float(desc.frameStart)) / float(step);
}

int taSceneObjectIndex(const STaSceneDesc& desc, const char* name)
{
    for (size_t i = 0; name && i < desc.objectKeys.size(); ++i)
        if (taSceneStringIs(desc.objectKeys[i].name, name))
            return int(i);
    return -1;
}

int taSceneCubeMapIndex(const STaSceneDesc& desc, const char* name)
{
    for (size_t i = 0; name && i < desc.cubeMaps.size(); ++i)
        if (taSceneStringIs(desc.cubeMaps[i].name, name))
            return int(i);
    return -1;
}

STaSceneDesc* taSceneDescLoad(const char* path, std::string& error)
{
    TF_Document* document = TF_Load(path ? path : "");
    if (!document) {
        error = std::string("'") + (path ? path : "") + "' cannot be read as a scene document";
        return nullptr;
    }
    return taSceneDescRead(document, error);
}

STaSceneDesc* taSceneDescRead(TF_Document* document, std::string& error)
{
    auto* desc = new STaSceneDesc();
    desc->document = document;
    desc->scene = section(TF_GetRoot(document), "Scene");
    if (!desc->scene) {
        error = "the document has no Scene node";
        taSceneDescFree(desc);
        return nullptr;
    }
    const TF_Node* scene = desc->scene;
    const TF_Node* info = section(scene, "SceneInfo");
    desc->frameStart = taSceneInt(key(info, "frameStart"), 0);
    desc->frameEnd = taSceneInt(key(info, "frameEnd"), 0);
    desc->frameStep = taSceneInt(key(info, "frameStep"), 1);
    desc->framesPerSecond = floatAt0(key(info, "framesPerSecond"));
    desc->loadAudio = key(info, "loadAudio");
    desc->audioStartTime = key(info, "audioStartTime");
    desc->renderCamera = key(info, "renderCamera");
    desc->objects = section(scene, "Objects");
    desc->cameras = section(scene, "Cameras");
    desc->lights = section(scene, "Lights");
    desc->emitters = section(scene, "FxEmitters");
    desc->postProcs = section(scene, "TarvPostProcs");
    desc->sceneObjects = section(scene, "SceneObjects");
    desc->cubeMapsNode = section(scene, "CubeMaps");
    desc->backdrop = section(scene, "BackdropInfo");
    desc->ambient = key(section(scene, "LightInfo"), "ambient");
    const TF_Node* processing = section(scene, "ImageProcessing");
    desc->glowEffect = key(processing, "glowEffect");
    desc->glowIntensity = key(processing, "glowIntensity");
    desc->glowRadius = key(processing, "glowRadius");
    const TF_Node* colourSpace = section(scene, "ColorSpace");
    desc->colourSpaceViewer = key(colourSpace, "ColorSpaceViewer");
    desc->colourSpace8BitFiles = key(colourSpace, "ColorSpace8BitFiles");
    desc->renderSettings = section(scene, "TarvRenderSettings");
    for (int i = 0; i < ETASRS_COUNT; ++i)
        desc->renderSettingKeys[i] = key(desc->renderSettings, taSceneRenderSettingName(i));
    desc->zenith = key(desc->backdrop, "zenith");

    // Cube maps.
    for (uint32_t i = 0; i < childCount(desc->cubeMapsNode); ++i) {
        const TF_Node* entry = child(desc->cubeMapsNode, i);
        STaSceneCubeMapKeys cube;
        cube.name = key(entry, "name");
        cube.renderType = taSceneInt(key(entry, "renderType"), 0);
        cube.textureSize = taSceneInt(key(entry, "textureSize"), 0);
        cube.renderTime = floatAt0(key(entry, "renderTime"));
        cube.hideObject = taSceneInt(key(entry, "hideObject"), 0);
        cube.useLatLong = taSceneInt(key(entry, "useLatLong"), 0);
        cube.showVolumetric = taSceneInt(key(entry, "showVolumetric"), 0);
        cube.clampVolumetric = taSceneInt(key(entry, "clampVolumetric"), 0);
        cube.clampVolumetricMax = floatAt0(key(entry, "clampVolumetricMax"));
        cube.hideSet = section(entry, "hideSet");
        cube.showSet = section(entry, "showSet");
        cube.position = key(entry, "position");
        cube.cameraOffset = key(entry, "cameraOffset");
        desc->cubeMaps.push_back(cube);
    }
    // Cameras, lights and emitters.
    for (uint32_t i = 0; i < childCount(desc->cameras); ++i) {
        const TF_Node* entry = child(desc->cameras, i);
        STaSceneCameraKeys camera;
        camera.position = key(entry, "position");
        camera.rotation = key(entry, "rotation");
        camera.zoomFactor = key(entry, "zoomFactor");
        camera.resolution = key(entry, "resolution");
        camera.focalDistance = key(entry, "focalDistance");
        camera.fStop = key(entry, "fStop");
        camera.flags = key(entry, "flags");
        camera.separation = key(entry, "separation");
        camera.convergencePoint = key(entry, "convergencePoint");
        camera.usingConvergencePoint = key(entry, "usingConvergencePoint");
        desc->cameraKeys.push_back(camera);
    }
    for (uint32_t i = 0; i < childCount(desc->lights); ++i) {
        const TF_Node* entry = child(desc->lights, i);
        STaSceneLightKeys light;
        light.position = key(entry, "position");
        light.rotation = key(entry, "rotation");
        light.type = key(entry, "type");
        light.coneAngles = key(entry, "coneAngles");
        light.range = key(entry, "range");
        light.falloff = key(entry, "falloff");
        light.rawColor = key(entry, "rawColor");
        light.intensity = key(entry, "intensity");
        light.shadowType = key(entry, "shadowType");
        light.shadowColor = key(entry, "shadowColor");
        light.shadMapSize = key(entry, "shadMapSize");
        light.shadMapFuzz = key(entry, "shadMapFuzz");
        light.projImage = key(entry, "projImage");
        light.flags = key(entry, "flags");
        if ((light.volumetric = section(entry, "Volumetric"))) {
            const TF_Node* v = light.volumetric;
            light.volFlags = key(v, "flags");
            light.volSprite = key(v, "sprite");
            light.volDissolve = key(v, "dissolve");
            light.volShadow = key(v, "shadow");
            light.volRadius = key(v, "radius");
            light.volBase = key(v, "base");
            light.volHeight = key(v, "height");
            light.volLuminosity = key(v, "luminosity");
            light.volOpacity = key(v, "opacity");
            light.volAttenuation = key(v, "attenuation");
            light.volRedShift = key(v, "redShift");
            light.volDensity = key(v, "density");
            light.volColor = key(v, "color");
            light.volJitteredSampling = key(v, "jitteredSampling");
        }
        desc->lightKeys.push_back(light);
    }
    for (uint32_t i = 0; i < childCount(desc->emitters); ++i) {
        const TF_Node* entry = child(desc->emitters, i);
        STaSceneEmitterKeys emitter;
        emitter.name = key(entry, "name");
        emitter.type = key(entry, "type");
        emitter.parentName = key(entry, "parentName");
        emitter.selectionMask = key(entry, "selectionMask");
        emitter.position = key(entry, "position");
        emitter.rotation = key(entry, "rotation");
        emitter.hyperVoxel = section(entry, "HyperVoxel");
        emitter.particleFx = section(entry, "ParticleFx");
        if (const TF_Node* effect = section(section(entry, "Shader"), "Effect")) {
            emitter.hasEffect = true;
            emitter.effect = readBlock(effect);
        }
        desc->emitterKeys.push_back(emitter);
    }
    // Meshes, then the objects that use them.
    for (uint32_t i = 0; i < childCount(desc->sceneObjects); ++i)
        desc->meshes.push_back(readMesh(child(desc->sceneObjects, i)));
    for (uint32_t i = 0; i < childCount(desc->objects); ++i) {
        const TF_Node* entry = child(desc->objects, i);
        STaSceneObjectKeys object;
        object.name = key(entry, "name");
        object.xfilename = key(entry, "xfilename");
        object.filename = key(entry, "filename");
        object.pointCloudCount = taSceneInt(key(entry, "pointCloudCount"), 0);
        object.position = key(entry, "position");
        object.rotation = key(entry, "rotation");
        object.scale = key(entry, "scale");
        object.shadowOpts = taSceneInt(key(entry, "shadowOpts"), 0);
        object.selectionMask = taSceneInt(key(entry, "selectionMask"), 0);
        object.vertexTextureName = key(entry, "vertexTextureName");
        object.vertexTextureContent = taSceneInt(key(entry, "vertexTextureContent"), 0);
        object.vertexTextureFormat = taSceneInt(key(entry, "vertexTextureFormat"), 0);
        const TF_Node* morphs = section(entry, "Morphs");
        for (uint32_t m = 0; m < childCount(morphs); ++m)
            object.morphs.push_back(key(child(morphs, m), "value"));
        // The last mesh entry of the object's file; an object without a file name has none.
        const char* file = taSceneString(object.filename);
        for (size_t m = 0; file && m < desc->meshes.size(); ++m)
            if (desc->meshes[m].fileName && strcmp(desc->meshes[m].fileName, file) == 0)
                object.mesh = int(m);
        const TF_Node* influences = section(entry, "UseCubeMaps");
        for (uint32_t k = 0; k < childCount(influences); ++k) {
            const TF_Node* item = child(influences, k);
            STaSceneObjectKeys::SInfluence influence;
            influence.cubeMap = taSceneCubeMapIndex(*desc, taSceneString(key(item, "renderCubeMap")));
            influence.aabbPosition = key(item, "aabbPosition");
            influence.aabbScale = key(item, "aabbScale");
            influence.influence = key(item, "influence");
            object.influences.push_back(influence);
        }
        desc->objectKeys.push_back(object);
    }
    // Each cube map's objects to hide and show while it renders.
    for (STaSceneCubeMapKeys& cube : desc->cubeMaps) {
        for (uint32_t k = 0; k < childCount(cube.hideSet); ++k) {
            const int index = taSceneObjectIndex(*desc, taSceneString(child(cube.hideSet, k)));
            if (index >= 0)
                cube.hideList.push_back(index);
        }
        for (uint32_t k = 0; k < childCount(cube.showSet); ++k) {
            const int index = taSceneObjectIndex(*desc, taSceneString(child(cube.showSet, k)));
            if (index >= 0)
                cube.showList.push_back(index);
        }
        if (cube.hideObject != 0) {
            const int self = taSceneObjectIndex(*desc, taSceneString(cube.name));
            if (self >= 0)
                cube.hideList.push_back(self);
        }
    }
    // Camera shaders, at most 20 kept.
    desc->cameraShaderCount = int(childCount(desc->postProcs));
    for (uint32_t i = 0; i < childCount(desc->postProcs) && i < uint32_t(TA_SCENE_MAX_CAMERA_SHADERS); ++i) {
        const TF_Node* entry = child(desc->postProcs, i);
        STaSceneCameraShaderKeys shader;
        shader.useFrame = key(entry, "useframe");
        shader.startFrame = key(entry, "startframe");
        shader.endFrame = key(entry, "endframe");
        if (const TF_Node* effect = section(entry, "Effect")) {
            shader.hasEffect = true;
            shader.effect = readBlock(effect);
        }
        desc->cameraShaders.push_back(shader);
    }
    // The scene's own render command list.
    if (const TF_Node* commands = section(section(scene, "TarvRenderCommands"), "Commands")) {
        if (!readCommands(*desc, commands, error)) {
            taSceneDescFree(desc);
            return nullptr;
        }
    }
    return desc;
}

void taSceneDescFree(STaSceneDesc* desc)
{
    if (!desc)
        return;
    if (desc->document)
        TF_Free(desc->document);
    delete desc;
}

// --- Frame values ----------------------------------------------------------------------------------------

namespace {

irr::core::vector3df vec(TF_Float3 v)
{
    return irr::core::vector3df(v.x, v.y, v.z);
}

irr::core::vector3df degrees(const TF_Node* rotation, float sample)
{
    return rotation ? vec(TF_FP3_Slerp_HPB_To_XYZ(rotation, sample)) * 57.295776f : irr::core::vector3df(0, 0, 0);
}

float track(const TF_Node* entry, float sample)
{
    return entry ? TF_FP_Lerp(entry, sample) : 0.0f;
}

irr::core::vector3df track3(const TF_Node* entry, float sample)
{
    return entry ? vec(TF_FP3_Lerp(entry, sample)) : irr::core::vector3df(0, 0, 0);
}

irr::u32 byte(float value)
{
    const float scaled = value * 255.0f;
    return scaled >= 255.0f ? 255u : scaled > 0.0f ? static_cast<irr::u32>(scaled) : 0u;
}

} // namespace

irr::u32 taSceneColour(const irr::core::vector3df& colour)
{
    return (byte(colour.X) << 16) | (byte(colour.Y) << 8) | byte(colour.Z);
}

int taSceneCameraIndex(const STaSceneDesc& desc, float sample)
{
    if (desc.cameraKeys.empty())
        return -1;
    const float value = track(desc.renderCamera, sample);
    const int index = std::isfinite(value) && value > 0.0f ? static_cast<int>(std::min(value, 1e6f)) : 0;
    return std::min(index, int(desc.cameraKeys.size()) - 1);
}

STaSceneCameraState taSceneEvaluateCamera(const STaSceneCameraKeys& keys, float sample)
{
    STaSceneCameraState state;
    const float zoom = track(keys.zoomFactor, sample);
    const float width = float(taSceneIntAt(keys.resolution, 0, 640));
    const float height = float(taSceneIntAt(keys.resolution, 1, 480));
    // A zoom of 0 (or a resolution of 0) would open the view to 180 degrees or none at all.
    float fov = zoom * height != 0.0f ? 2.0f * std::atan(width / (zoom * height)) * 57.2957763671875f : 179.0f;
    if (!std::isfinite(fov))
        fov = 179.0f;
    state.fieldOfView = std::min(std::max(std::fabs(fov), 1.0f), 179.0f);
    const int flags = taSceneInt(keys.flags, 0);
    state.depthOfField = (flags & 8) != 0;
    state.stereo = (flags & 1) != 0;
    state.focalDistance = track(keys.focalDistance, sample);
    state.fStop = track(keys.fStop, sample);
    state.separation = track(keys.separation, sample);
    state.convergencePoint = track(keys.convergencePoint, sample);
    state.usingConvergencePoint = taSceneInt(keys.usingConvergencePoint, 0);
    state.position = track3(keys.position, sample);
    state.rotation = degrees(keys.rotation, sample);
    return state;
}

STaSceneLightState taSceneEvaluateLight(const STaSceneLightKeys& keys, float sample)
{
    STaSceneLightState state;
    state.position = track3(keys.position, sample);
    state.rotation = degrees(keys.rotation, sample);
    state.rawColour = track3(keys.rawColor, sample);
    state.intensity = track(keys.intensity, sample);
    const irr::core::vector3df lit = state.rawColour * state.intensity;
    state.colour = taSceneColour(lit);
    state.type = taSceneInt(keys.type, 1);
    if (state.type == 2) {
        // (cone, edge) in radians; a key with one angle has no edge.
        const TF_Float2 angles = keys.coneAngles ? TF_FP2_Lerp(keys.coneAngles, sample) : TF_Float2{0, 0};
        state.innerCone = (angles.x - angles.y) * 57.295776f;
        state.outerCone = angles.x * 57.295776f;
    }
    state.range = taSceneInt(keys.falloff, 0) != 0 ? track(keys.range, sample) : 10000000.0f;
    return state;
}

STaSceneObjectState taSceneEvaluateObject(const STaSceneObjectKeys& keys, float sample)
{
    STaSceneObjectState state;
    state.position = track3(keys.position, sample);
    state.rotation = degrees(keys.rotation, sample);
    // An object without a scale key keeps its size (a scale of 0 would make it vanish).
    state.scale = keys.scale ? track3(keys.scale, sample) * 100.0f : irr::core::vector3df(100.0f, 100.0f, 100.0f);
    float best = -10000000.0f;
    for (size_t k = 0; k < keys.influences.size(); ++k) {
        if (keys.influences[k].cubeMap < 0)
            continue;
        const float value = track(keys.influences[k].influence, sample);
        if (value > best) {
            best = value;
            state.influence = int(k);
        }
    }
    return state;
}
