// Effect parameter blocks: the effect file, compile flags and parameter values that scene documents
// give a surface, an emitter, a camera shader or a render command, evaluated at a point in time, and
// their application to an effect.
#pragma once

#include <irrlicht.h>

#include <string>
#include <vector>

class CTaEffect;
class ITaTextureManager;

// Kinds of an entry's value.
enum ETaEffectParamKind {
    ETAPARAM_NONE = -1,   // the entry has no value
    ETAPARAM_VECTOR3 = 0,
    ETAPARAM_FLOAT = 1,
    ETAPARAM_INT = 2,
    ETAPARAM_STRING = 3,  // a texture: a file, or with reference the name of a texture the manager has
};

struct STaEffectParamEntry {
    std::string name;
    int kind = ETAPARAM_NONE;
    irr::f32 vector[3] = {0, 0, 0}; // ETAPARAM_VECTOR3; ETAPARAM_FLOAT uses vector[0]
    irr::s32 integer = 0;
    std::string text;
    int colourSpace = 0; // 1: the texture is sRGB
    int reference = 0;   // 1: text names a texture the texture manager has
};

struct STaEffectParamBlock {
    std::string fileName;
    std::string compileFlags;
    std::vector<STaEffectParamEntry> entries;
};

// Sets the effect's parameters of the entries' names from their values (strings are textures and
// are left to taApplyEffectTextures). Every failure is logged, naming the block's file, and the next
// entry is tried: "%s: no effect param with name '%s'", "%s: shader param '%s' unknown type %d".
// False when any entry failed.
bool taApplyEffectParameters(CTaEffect* effect, const STaEffectParamBlock& block);
// Sets the textures of the string entries whose parameter exists: none for an empty text; with
// reference, the texture manager's texture of that name; else the file found with taFindFile and
// loaded for the parameter's kind. "%s: failed to find texture '%s' of shader param %s", "%s: failed
// to load texture '%s' of shader param %s", "%s: failed to set texture '%s' of shader param %s".
// False when any entry failed. Run before taApplyEffectParameters when both are applied.
bool taApplyEffectTextures(CTaEffect* effect, const STaEffectParamBlock& block, ITaTextureManager* textures);
