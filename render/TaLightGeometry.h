// The light pre-pass's choices for one light, as plain functions: which light-pass variant draws it,
// which shadow map of the pool it gets, its shadow camera, the volume it is drawn as, and which
// volumetric variant shows it. The lighting stages call these; they hold no state.
#pragma once

#include <irrlicht.h>

// Irrlicht's light types, which the engine uses as they are.
enum ETaLightType { ETALIGHT_POINT = 0, ETALIGHT_SPOT = 1, ETALIGHT_DIRECTIONAL = 2 };

// Shadow softness level 1..7 from a light's shadow-map fuzz (below 1, 2, 4, 8, 16, 32, else).
int taShadowFuzzLevel(float fuzz);
// The light-pass effect slot: 0 directional, 8 point, 16 spot, 17..23 shadowed spot by softness;
// -1 for a type the light pass does not know.
int taLightPassSlot(int type, bool shadowed, float fuzz);
// The macros of a filled slot ("USE_SPOTLIGHT", "USE_SHADOW", "USE_SH4", nullptr), nullptr-ended;
// nullptr for an empty slot.
const char* const* taLightPassSlotMacros(int slot);

// Whether the light can be drawn: a point or spot light needs a radius above 0 (1 / radius² would
// be infinite and its shadow camera's far plane would lie before its near one). `why` says why not.
bool taLightDrawable(int type, float radius, const char** why);

// The pool entry for a shadow map of `size` texels: entries ordered by size (`heights`), those
// owned by a volumetric light (read again later in the frame) skipped when another fits; -1 for an
// empty pool.
int taPickShadowMap(const irr::u32* heights, const bool* heldForVolumetric, int count, int size);

// The camera a light's shadow map is rendered from.
struct STaLightShadowCamera {
    irr::core::matrix4 view, projection;
    float nearValue = 0.01f;
    float farValue = 5000.0f; // as reported to the light pass (1 for a directional light)
};
// Perspective along the light's world `direction` with 2 x the outer cone angle as field of view
// (kept below 170 degrees), far at the radius of a spot light below 5000 (never before near);
// orthographic 30 x 30 for a directional light, from one unit behind it.
STaLightShadowCamera taShadowCameraOf(int type, const irr::core::vector3df& position, irr::core::vector3df direction,
                                      float radius, float outerDegrees);

enum ETaLightVolume { ETAVOLUME_FULL_SCREEN, ETAVOLUME_SPHERE, ETAVOLUME_CONE };
// What the light pass draws a light as, the camera being `distance` (minus its near value) from
// it: a sphere or cone with 15 % margin on the radius (10 % on the cone angle) when the camera is
// clearly outside, else a full-screen quad (always for a directional light, and for a cone that
// opens 90 degrees or more with its margin, whose volume cannot be drawn).
ETaLightVolume taLightVolume(int type, float radius, float outerDegrees, float distance);
// The scale of the unit cone (apex at the origin, base of radius 1 at z = 1) for a spot light.
irr::core::vector3df taLightConeScale(float radius, float outerDegrees);

// Whether a camera at `camera` with near value `nearValue` is inside (or too close to) a spot
// light's widened cone at `position` along the unit `axis`.
bool taCameraInsideSpotCone(const irr::core::vector3df& camera, float nearValue, const irr::core::vector3df& position,
                            const irr::core::vector3df& axis, float outerDegrees);
// The volumetric spot variant: -1 for the standard effect (quality word below 1, or neither a
// shadow map nor an image), else 3c + 0 (image), 3c + 1 (shadow map), 3c + 2 (both) with quality
// c = the word - 1 kept within 0..3.
int taVolumetricSpotVariant(int qualityWord, bool shadowMap, bool image);
// The macros of a volumetric spot variant (0..11), nullptr-ended.
const char* const* taVolumetricSpotMacros(int variant);
