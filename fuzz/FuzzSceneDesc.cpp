// Fuzz target: scene documents (text or binary) read into key records, then everything the scene
// loader and the animation evaluate from them: surface records, effect blocks, look-ups, samples.
#include "core/TaLog.h"
#include "scene/TaSceneDesc.h"
#include "scene/TaSurfaces.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace {
void quiet(const char*, void*) {}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    taSetLogSink(quiet, nullptr);
    TF_Document* document = TF_LoadMemory(data, size);
    if (!document)
        return 0;
    std::string error;
    STaSceneDesc* desc = taSceneDescRead(document, error);
    if (!desc)
        return 0;
    const float samples[] = {-1.0f, 0.0f, 0.5f, 3.25f, 1e9f, NAN};
    for (float t : samples) {
        taSceneSamplePosition(*desc, t);
        for (const STaSceneMeshDesc& mesh : desc->meshes)
            taSceneEvaluateSurfaces(mesh, t);
        for (const STaSceneEmitterKeys& emitter : desc->emitterKeys)
            if (emitter.hasEffect)
                taSceneEvaluateBlock(emitter.effect, t);
        for (const STaSceneCameraShaderKeys& shader : desc->cameraShaders)
            if (shader.hasEffect)
                taSceneEvaluateBlock(shader.effect, t);
        for (const STaSceneEffectBlock& block : desc->renderEffects)
            taSceneEvaluateBlock(block, t);
    }
    for (const STaSceneObjectKeys& object : desc->objectKeys) {
        taSceneObjectIndex(*desc, taSceneString(object.name));
        if (object.mesh >= int(desc->meshes.size()))
            __builtin_trap();
        for (const STaSceneObjectKeys::SInfluence& influence : object.influences)
            if (influence.cubeMap >= int(desc->cubeMaps.size()))
                __builtin_trap();
    }
    for (const STaSceneCubeMapKeys& cube : desc->cubeMaps)
        for (int index : cube.hideList)
            if (index < 0 || index >= int(desc->objectKeys.size()))
                __builtin_trap();
    for (const STaSceneCameraKeys& camera : desc->cameraKeys)
        taSceneIntAt(camera.resolution, 1, 480);
    for (const STaSceneLightKeys& light : desc->lightKeys)
        taSceneIntAt(light.volFlags, 4, 0);
    taSceneDescFree(desc);
    return 0;
}
