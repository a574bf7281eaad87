// Effects under IDs: the engine operations behind the script API's effect family. Failures set the
// last error with the position of the argument at fault as its code.
#pragma once

class CTaEffect;

// An existing effect under the ID is deleted first. "invalid effect ID %d : %s" (code 2), "Failed to
// load effect '%s' : %s" (code 1, with the effect manager's last message). 0 or -1.
int LoadEffect(const char* file, int id);
bool EffectExist(int id);
// Releases the effect and frees the ID; nothing when empty.
void DeleteEffect(int id);
// Setters by parameter name: "Effect ID %d does not exist. %s" (code 1), "Effect ID %d has no
// parameter '%s'" (code 2), "parameter '%s' of effect ID %d is a texture" or "... is not a texture"
// (code 2) when the kinds differ. 0 or -1.
int SetEffectConstantBoolean(int id, const char* name, bool value);
int SetEffectConstantInteger(int id, const char* name, int value);
int SetEffectConstantFloat(int id, const char* name, float value);
// Up to 16 floats; more is refused before anything is set ("too much floats parameters", -1).
int SetEffectConstantFloatN(int id, const char* name, const float* values, int count);
// The file through the texture manager ("failed to load texture '%s' ", code 3).
int SetEffectTexture(int id, const char* name, const char* file);
// An image's texture ("Image %d does not exist", code 3).
int SetEffectTextureImage(int id, const char* name, int image);
// The effect under an ID, or nullptr with "Effect ID %d does not exist. %s" (code `code`).
CTaEffect* taGetEffect(int id, int code = 1);
