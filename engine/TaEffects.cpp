// Effects under IDs.
#include "engine/TaEffects.h"

#include "core/TaLog.h"
#include "effects/TaEffectManager.h"
#include "engine/Ta2D.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "files/TaFile.h"
#include "nodes/TaTextureManager.h"

CTaEffect* taGetEffect(int id, int code)
{
    auto* effect = static_cast<CTaEffect*>(idGet(taEngine().effects.get(), id));
    if (!effect)
        taErrorCode(code, "Effect ID %d does not exist. %s", id, idGetErrorText());
    return effect;
}

int LoadEffect(const char* file, int id)
{
    STaIdTable* table = taEngine().effects.get();
    CTaManager* manager = taGetManager();
    if (!table || !manager) {
        taErrorCode(1, "Failed to load effect '%s' : %s", file ? file : "", "the engine is not started");
        return -1;
    }
    DeleteEffect(id);
    if (idInsert(table, id, table) != 0) {
        taErrorCode(2, "invalid effect ID %d : %s", id, idGetErrorText());
        return -1;
    }
    idRemove(table, id);
    CTaEffect* effect = manager->getEffectManager()->createEffect(taFindFile(file ? file : ""), -1, nullptr);
    if (!effect) {
        taErrorCode(1, "Failed to load effect '%s' : %s", file ? file : "",
                    manager->getEffectManager()->getLastError().c_str());
        return -1;
    }
    idInsert(table, id, effect); // the table holds the reference createEffect gave
    return 0;
}

bool EffectExist(int id)
{
    return idGet(taEngine().effects.get(), id) != nullptr;
}

void DeleteEffect(int id)
{
    STaIdTable* table = taEngine().effects.get();
    auto* effect = static_cast<CTaEffect*>(idGet(table, id));
    if (!effect)
        return;
    idRemove(table, id);
    effect->drop();
}

namespace {

// The effect and its parameter, checking the parameter's kind (texture or not).
CTaEffect* parameterOf(int id, const char* name, bool texture, int& index)
{
    CTaEffect* effect = taGetEffect(id, 1);
    if (!effect)
        return nullptr;
    index = effect->parameterIndex(name);
    if (index < 0) {
        taErrorCode(2, "Effect ID %d has no parameter '%s'", id, name ? name : "");
        return nullptr;
    }
    if (taIsTextureType(effect->parameter(index)->type) != texture) {
        taErrorCode(2, texture ? "parameter '%s' of effect ID %d is not a texture" : "parameter '%s' of effect ID %d is a texture",
                    name, id);
        return nullptr;
    }
    return effect;
}

} // namespace

int SetEffectConstantBoolean(int id, const char* name, bool value)
{
    int index;
    CTaEffect* effect = parameterOf(id, name, false, index);
    return effect && effect->setBool(index, value) ? 0 : -1;
}

int SetEffectConstantInteger(int id, const char* name, int value)
{
    int index;
    CTaEffect* effect = parameterOf(id, name, false, index);
    return effect && effect->setInt(index, value) ? 0 : -1;
}

int SetEffectConstantFloat(int id, const char* name, float value)
{
    int index;
    CTaEffect* effect = parameterOf(id, name, false, index);
    return effect && effect->setFloat(index, value) ? 0 : -1;
}

int SetEffectConstantFloatN(int id, const char* name, const float* values, int count)
{
    if (count > 16) {
        taErrorCode(-1, "too much floats parameters");
        return -1;
    }
    int index;
    CTaEffect* effect = parameterOf(id, name, false, index);
    return effect && effect->setFloatArray(index, values, count) ? 0 : -1;
}

int SetEffectTexture(int id, const char* name, const char* file)
{
    int index;
    CTaEffect* effect = parameterOf(id, name, true, index);
    if (!effect)
        return -1;
    irr::video::ITexture* texture =
        taGetManager()->getTextureManager()->getTextureByType(taFindFile(file ? file : ""), effect->parameter(index)->type);
    if (!texture) {
        taErrorCode(3, "failed to load texture '%s' ", file ? file : "");
        return -1;
    }
    return effect->setTexture(index, texture, false) ? 0 : -1;
}

int SetEffectTextureImage(int id, const char* name, int image)
{
    int index;
    CTaEffect* effect = parameterOf(id, name, true, index);
    if (!effect)
        return -1;
    irr::video::ITexture* texture = static_cast<irr::video::ITexture*>(idGet(taEngine().images.get(), image));
    if (!texture) {
        taErrorCode(3, "Image %d does not exist", image);
        return -1;
    }
    return effect->setTexture(index, texture, false) ? 0 : -1;
}
