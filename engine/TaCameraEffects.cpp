// Camera effects under IDs.
#include "engine/TaCameraEffects.h"

#include "core/TaIdTable.h"
#include "core/TaLog.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "effects/TaEffectParams.h"
#include "engine/TaEffects.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "files/TaFile.h"
#include "nodes/TaTextureManager.h"

#include <algorithm>
#include <string>

namespace {

// Holds `effect` (a reference of its own taken) under `id`, replacing what was there.
int makeCameraEffect(int id, CTaEffect* effect)
{
    STaIdTable* table = taEngine().cameraShaders.get();
    auto* record = new STaCameraEffect;
    record->effect = effect;
    effect->grab();
    if (idInsert(table, id, record) != 0) {
        taErrorCode(2, "invalid Camera Effect ID %d : %s", id, idGetErrorText());
        taReleaseCameraEffect(record);
        return -1;
    }
    return 0;
}

} // namespace

void taReleaseCameraEffect(void* object)
{
    auto* record = static_cast<STaCameraEffect*>(object);
    if (record->effect)
        record->effect->drop();
    delete record;
}

STaCameraEffect* taGetCameraEffect(int id)
{
    auto* record = static_cast<STaCameraEffect*>(idGet(taEngine().cameraShaders.get(), id));
    if (!record)
        taErrorCode(1, "Camera Effect ID %d does not exist. %s", id, idGetErrorText());
    return record;
}

int MakeCameraEffect(int id, int effectId)
{
    if (!taEngine().cameraShaders) {
        taErrorCode(2, "invalid Camera Effect ID %d : %s", id, "the engine is not started");
        return -1;
    }
    DeleteCameraEffect(id);
    CTaEffect* effect = taGetEffect(effectId, 2);
    return effect ? makeCameraEffect(id, effect) : -1;
}

int MakeCameraEffectFromFile(int id, const char* file)
{
    return taMakeCameraEffect(id, file, "", true);
}

int taMakeCameraEffect(int id, const char* file, const char* compileFlags, bool box)
{
    CTaManager* manager = taGetManager();
    if (!taEngine().cameraShaders || !manager) {
        taErrorCode(2, "invalid Camera Effect ID %d : %s", id, "the engine is not started");
        return -1;
    }
    DeleteCameraEffect(id);
    STaFxMacro macros[33];
    macros[0] = STaFxMacro{nullptr, nullptr};
    std::string storage;
    if (!taAppendCompileFlags(compileFlags ? compileFlags : "", macros, 33, storage))
        taPrint(ETALOG_WARN, "Camera Effect ID %d : the compile flags of %s do not fit, left out", id, file ? file : "");
    CTaEffect* effect = manager->getEffectManager()->createEffect(taFindFile(file ? file : ""), -1, macros);
    if (!effect) {
        if (box)
            taErrorCodeBox(2, "Camera Effect ID %d : Failed to compile effect %s", id, file ? file : "");
        else
            taErrorCode(2, "Camera Effect ID %d : Failed to compile effect %s", id, file ? file : "");
        return -1;
    }
    const int result = makeCameraEffect(id, effect);
    effect->drop();
    return result;
}

bool taApplyCameraEffectParameters(int id, const STaEffectParamBlock& block, bool textures)
{
    STaCameraEffect* record = taGetCameraEffect(id);
    CTaManager* manager = taGetManager();
    if (!record || !manager)
        return false;
    bool ok = true;
    if (textures)
        ok = taApplyEffectTextures(record->effect, block, manager->getTextureManager());
    return taApplyEffectParameters(record->effect, block) && ok;
}

bool CameraEffectExist(int id)
{
    return idGet(taEngine().cameraShaders.get(), id) != nullptr;
}

void DeleteCameraEffect(int id)
{
    STaIdTable* table = taEngine().cameraShaders.get();
    auto* record = static_cast<STaCameraEffect*>(idGet(table, id));
    if (!record)
        return;
    std::vector<int>& shown = taEngine().cameraEffectsShown;
    shown.erase(std::remove(shown.begin(), shown.end(), id), shown.end());
    idRemove(table, id);
    taReleaseCameraEffect(record);
}

int ShowCameraEffect(int id)
{
    if (!taGetCameraEffect(id))
        return -1;
    std::vector<int>& shown = taEngine().cameraEffectsShown;
    if (std::find(shown.begin(), shown.end(), id) == shown.end())
        shown.push_back(id);
    return 0;
}

int HideCameraEffect(int id)
{
    if (!taGetCameraEffect(id))
        return -1;
    std::vector<int>& shown = taEngine().cameraEffectsShown;
    const auto at = std::find(shown.begin(), shown.end(), id);
    if (at == shown.end()) {
        taErrorCodeBox(-1, "remove enabled FAILED to find ID=%d in enabled list", id);
        return -1;
    }
    shown.erase(at);
    return 0;
}

int SetCameraEffectPriority(int id, int priority)
{
    STaCameraEffect* record = taGetCameraEffect(id);
    if (!record)
        return -1;
    record->priority = priority;
    return 0;
}

std::vector<CTaEffect*> taShownCameraEffects()
{
    std::vector<CTaEffect*> effects;
    for (int id : taEngine().cameraEffectsShown)
        if (auto* record = static_cast<STaCameraEffect*>(idGet(taEngine().cameraShaders.get(), id)))
            effects.push_back(record->effect);
    return effects;
}
