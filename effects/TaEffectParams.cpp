// Applying effect parameter blocks.
#include "effects/TaEffectParams.h"

#include "core/TaLog.h"
#include "driver/TaTexture.h"
#include "effects/TaEffect.h"
#include "files/TaFile.h"

using namespace irr;

bool taApplyEffectParameters(CTaEffect* effect, const STaEffectParamBlock& block)
{
    if (!effect)
        return false;
    const char* file = block.fileName.c_str();
    bool ok = true;
    for (const STaEffectParamEntry& entry : block.entries) {
        const int index = effect->parameterIndex(entry.name.c_str());
        if (index < 0) {
            taErrorCode(-1, "%s: no effect param with name '%s'", file, entry.name.c_str());
            ok = false;
            continue;
        }
        switch (entry.kind) {
        case ETAPARAM_VECTOR3: effect->setFloatArray(index, entry.vector, 3); break;
        case ETAPARAM_FLOAT: effect->setFloat(index, entry.vector[0]); break;
        case ETAPARAM_INT: effect->setInt(index, entry.integer); break;
        case ETAPARAM_STRING: break;
        default:
            taErrorCode(-1, "%s: shader param '%s' unknown type %d", file, entry.name.c_str(), entry.kind);
            ok = false;
            break;
        }
    }
    return ok;
}

bool taApplyEffectTextures(CTaEffect* effect, const STaEffectParamBlock& block, ITaTextureManager* textures)
{
    if (!effect)
        return false;
    const char* file = block.fileName.c_str();
    bool ok = true;
    for (const STaEffectParamEntry& entry : block.entries) {
        if (entry.kind != ETAPARAM_STRING)
            continue;
        const int index = effect->parameterIndex(entry.name.c_str());
        if (index < 0)
            continue;
        video::ITexture* texture = nullptr;
        if (!entry.text.empty() && textures) {
            if (entry.reference == 1) {
                texture = textures->getNamedTexture(entry.text.c_str());
                if (!texture) {
                    taErrorCode(-1, "%s: failed to find texture '%s' of shader param %s", file, entry.text.c_str(),
                                entry.name.c_str());
                    ok = false;
                }
            } else {
                texture = textures->getTextureByType(taFindFile(entry.text.c_str()), effect->parameter(index)->type);
                if (!texture) {
                    taErrorCode(-1, "%s: failed to load texture '%s' of shader param %s", file, entry.text.c_str(),
                                entry.name.c_str());
                    ok = false;
                }
            }
        }
        if (!effect->setTexture(index, texture, entry.colourSpace == 1)) {
            taErrorCode(-1, "%s: failed to set texture '%s' of shader param %s", file, entry.text.c_str(),
                        entry.name.c_str());
            ok = false;
        }
    }
    return ok;
}
