// The surfaces of objects: the script functions that set their channels and effects, and
// SetSurfaces, which applies the surface records of a scene document to an object.
#pragma once

#include "effects/TaEffectParams.h"
#include "effects/TaSurfaceData.h"

#include <irrlicht.h>

#include <string>

// One channel of an evaluated surface record, as scene documents give it.
struct STaSurfaceChannelRecord {
    int kind = ETAPARAM_NONE; // ETAPARAM_VECTOR3, _FLOAT or _INT; anything else leaves the value alone
    irr::f32 vector[3] = {0, 0, 0};
    irr::s32 integer = 0;
    std::string imageFile; // empty: no image
    int imageColourSpace = 0;
    int imageMipMaps = 1;
};

// An object's surface as scene documents give it, evaluated at a point in time.
struct STaSurfaceRecord {
    std::string name;
    STaSurfaceChannelRecord channels[ETASC_COUNT];
    // 0 the renderer's effect; otherwise the surface's own block (the scene loader decides which
    // surface's block applies, and 3 means none).
    int applyToSurface = 0;
    STaEffectParamBlock effect;
};

// Applies `count` records to the object's surfaces 0, 1, ...: channel values always; with
// `recreateShaders` also the images (loaded through the texture manager; ReflectionImage as a cube,
// or the node's cube map when it names none) and a new effect per surface compiled for its channels
// (the block's file and compile flags when applyToSurface is set, else the current renderer's
// file); with applyToSurface set, the block's textures (when recreating) and parameters. Messages as
// the steps fail; stops only at a missing object, extension or surface. 0, or -1.
int SetSurfaces(int id, int count, const STaSurfaceRecord* records, bool recreateShaders);

// Gives every surface of an object the current renderer's effect in the variant its channels need
// (LoadObject does this), then writes the materials.
void taBuildSurfaceEffects(class CTaSceneNodeExt* ext, int id);

// --- Script functions ---------------------------------------------------------------------------------
// A channel by its name (the 39 names, without regard to case). "Object ID %d does not exist" (code
// 1), "Object ID %d unexpected format (no node extension)" (code 1), "Object ID %d has no surface
// %d" (code 2), "Unknown surface channel '%s'" (code 3).
int SetObjectSurfaceParamTex(int id, int surface, const char* channel, const char* file);
int SetObjectSurfaceParamTexImg(int id, int surface, const char* channel, int image);
int SetObjectSurfaceParamInt(int id, int surface, const char* channel, int value);
int SetObjectSurfaceParamFloat(int id, int surface, const char* channel, float value);
int SetObjectSurfaceParamFloat3(int id, int surface, const char* channel, float x, float y, float z);
int SetObjectSurfaceEffect(int id, int surface, int effect);
int SetObjectSurfaceEffectTechnique(int id, int surface, int technique);
// Writes the object's materials from its surfaces and effects again.
int UpdateObjectFromSurfaces(int id);
// Loads an effect under `effectId` compiled for the object's surface: its macros and the current
// renderer's.
int LoadEffectForObjectSurface(const char* file, int effectId, int id, int surface);
