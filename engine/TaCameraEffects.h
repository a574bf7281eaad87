// Camera effects under IDs: full-screen effects that the post chain of the light pre-pass renderer
// runs over the picture, in the order in which they were shown. The engine operations behind the
// script API's camera-effect family; scenes and demos show their camera shaders through them.
// Failures set the last error with the position of the argument at fault as its code.
#pragma once

#include <vector>

class CTaEffect;

// A camera effect: the effect (one reference) and the priority a script gave it.
struct STaCameraEffect {
    CTaEffect* effect = nullptr;
    int priority = 0;
};

// An existing camera effect under `id` is deleted first; the effect of `effectId` is held as a hidden
// camera effect. "Effect ID %d does not exist. %s" (code 2), "invalid Camera Effect ID %d : %s"
// (code 2). 0 or -1.
int MakeCameraEffect(int id, int effectId);
// The same with an effect compiled from the file: "Camera Effect ID %d : Failed to compile effect %s"
// (code 2, with a message box).
int MakeCameraEffectFromFile(int id, const char* file);
// With compile flags (a scene's camera shader): the flags become macros of the effect. A failure is
// said without a message box unless `box`.
int taMakeCameraEffect(int id, const char* file, const char* compileFlags, bool box = false);
// The parameter block's values (and its textures, with `textures`) into the camera effect: false
// when any entry failed (each said).
bool taApplyCameraEffectParameters(int id, const struct STaEffectParamBlock& block, bool textures);
bool CameraEffectExist(int id);
// Hides, releases and frees the ID; nothing when empty.
void DeleteCameraEffect(int id);
// Appends to the shown list unless already there. "Camera Effect ID %d does not exist. %s" (code 1).
int ShowCameraEffect(int id);
// Removes from the shown list; "remove enabled FAILED to find ID=%d in enabled list" (with a message
// box) when it is not there.
int HideCameraEffect(int id);
// Stores the priority; the shown order stays the order of showing.
int SetCameraEffectPriority(int id, int priority);

// The camera effect under an ID, or nullptr with "Camera Effect ID %d does not exist. %s" (code 1).
STaCameraEffect* taGetCameraEffect(int id);
// The effects of the shown camera effects, in showing order.
std::vector<CTaEffect*> taShownCameraEffects();
// The ID table's release function: the record and its reference.
void taReleaseCameraEffect(void* object);
