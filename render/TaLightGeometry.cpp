// The light pre-pass's choices for one light.
#include "render/TaLightGeometry.h"

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

// 1.1 x the outer angle: the cone's drawn half-angle. At 90 degrees or more it has no finite scale.
constexpr float kConeWiden = 1.1f;
constexpr float kRadiusMargin = 1.15f;
constexpr float kMaxShadowFieldOfView = 170.0f;

bool coneDrawable(float outerDegrees)
{
    return outerDegrees > 0.0f && kConeWiden * outerDegrees < 89.0f;
}

} // namespace

int taShadowFuzzLevel(float fuzz)
{
    int level = 1;
    for (float limit = 1.0f; level < 7 && !(fuzz < limit); limit *= 2.0f)
        ++level;
    return level;
}

int taLightPassSlot(int type, bool shadowed, float fuzz)
{
    switch (type) {
    case ETALIGHT_DIRECTIONAL: return 0;
    case ETALIGHT_POINT: return 8;
    case ETALIGHT_SPOT: return 16 + (shadowed ? taShadowFuzzLevel(fuzz) : 0);
    default: return -1;
    }
}

const char* const* taLightPassSlotMacros(int slot)
{
    static const char* const distant[] = {"USE_DISTANT", nullptr};
    static const char* const point[] = {"USE_POINT", nullptr};
    static const char* const spot[8][4] = {
        {"USE_SPOTLIGHT", nullptr},
        {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH0", nullptr},
        {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH1", nullptr},
        {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH2", nullptr},
        {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH4", nullptr},
        {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH8", nullptr},
        {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH16", nullptr},
        {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH32", nullptr},
    };
    if (slot == 0)
        return distant;
    if (slot == 8)
        return point;
    if (slot >= 16 && slot < 24)
        return spot[slot - 16];
    return nullptr;
}

bool taLightDrawable(int type, float radius, const char** why)
{
    if ((type == ETALIGHT_POINT || type == ETALIGHT_SPOT) && !(radius > 0.0f)) {
        if (why)
            *why = "its radius is not above 0";
        return false;
    }
    return true;
}

int taPickShadowMap(const u32* heights, const bool* heldForVolumetric, int count, int size)
{
    if (count <= 0)
        return -1;
    const int last = count - 1;
    auto fits = [&](int i) { return i == last || u32(std::max(size, 0)) == heights[i] || u32(std::max(size, 0)) < heights[i + 1]; };
    for (int i = 0; i < count; ++i)
        if (!heldForVolumetric[i] && fits(i))
            return i;
    // Every entry that fits is read again later: take one anyway.
    for (int i = 0; i < last; ++i)
        if (u32(std::max(size, 0)) == heights[i] || u32(std::max(size, 0)) < heights[i + 1])
            return i;
    return last;
}

STaLightShadowCamera taShadowCameraOf(int type, const core::vector3df& position, core::vector3df direction, float radius,
                                      float outerDegrees)
{
    STaLightShadowCamera camera;
    camera.nearValue = 0.01f;
    camera.farValue = 5000.0f;
    if (type == ETALIGHT_SPOT && radius < 5000.0f)
        camera.farValue = std::max(radius, camera.nearValue * 2.0f);
    core::vector3df eye = position;
    direction.normalize();
    if (type == ETALIGHT_DIRECTIONAL) {
        eye -= direction;
        camera.projection.buildProjectionMatrixOrthoLH(30.0f, 30.0f, camera.nearValue, 5000.0f);
        camera.farValue = 1.0f;
    } else {
        const float fieldOfView = std::min(std::max(2.0f * outerDegrees, 1.0f), kMaxShadowFieldOfView);
        camera.projection.buildProjectionMatrixPerspectiveFovLH(fieldOfView * core::DEGTORAD, 1.0f, camera.nearValue,
                                                                camera.farValue);
    }
    const core::vector3df target = eye + direction;
    const core::vector3df away = eye - target;
    const core::vector3df up = away.X + away.Z != 0.0f ? core::vector3df(0, 1, 0) : core::vector3df(0, 0, 1);
    camera.view.buildCameraLookAtMatrixLH(eye, target, up);
    return camera;
}

ETaLightVolume taLightVolume(int type, float radius, float outerDegrees, float distance)
{
    const float h = kRadiusMargin * radius;
    if (type == ETALIGHT_POINT)
        return h < distance ? ETAVOLUME_SPHERE : ETAVOLUME_FULL_SCREEN;
    if (type == ETALIGHT_SPOT) {
        if (!coneDrawable(outerDegrees))
            return ETAVOLUME_FULL_SCREEN;
        const float r = std::tan(kConeWiden * outerDegrees * core::DEGTORAD) * h;
        return std::sqrt(r * r + h * h) < distance ? ETAVOLUME_CONE : ETAVOLUME_FULL_SCREEN;
    }
    return ETAVOLUME_FULL_SCREEN;
}

core::vector3df taLightConeScale(float radius, float outerDegrees)
{
    const float h = kRadiusMargin * radius;
    const float side = std::tan(kConeWiden * std::min(outerDegrees, 80.0f) * core::DEGTORAD) * h;
    return core::vector3df(side, side, h);
}

bool taCameraInsideSpotCone(const core::vector3df& camera, float nearValue, const core::vector3df& position,
                            const core::vector3df& axis, float outerDegrees)
{
    if (!coneDrawable(outerDegrees))
        return true; // a cone this wide is everywhere in front of the light
    const core::vector3df d = camera - position;
    const float along = d.dotProduct(axis);
    const float perpendicular = (d - axis * along).getLength();
    const float t = std::tan(kConeWiden * outerDegrees * core::DEGTORAD);
    return nearValue > perpendicular - t * along && along > -nearValue;
}

int taVolumetricSpotVariant(int qualityWord, bool shadowMap, bool image)
{
    if (qualityWord < 1 || (!shadowMap && !image))
        return -1;
    const int c = std::min(std::max(qualityWord - 1, 0), 3);
    return 3 * c + (shadowMap && image ? 2 : shadowMap ? 1 : 0);
}

const char* const* taVolumetricSpotMacros(int variant)
{
    static const char* const macros[12][4] = {
        {"USE_PROJIMAGE", "QUALITY_1", nullptr}, {"USE_SHADOW", "QUALITY_1", nullptr}, {"USE_SHADOW", "USE_PROJIMAGE", "QUALITY_1", nullptr},
        {"USE_PROJIMAGE", "QUALITY_2", nullptr}, {"USE_SHADOW", "QUALITY_2", nullptr}, {"USE_SHADOW", "USE_PROJIMAGE", "QUALITY_2", nullptr},
        {"USE_PROJIMAGE", "QUALITY_3", nullptr}, {"USE_SHADOW", "QUALITY_3", nullptr}, {"USE_SHADOW", "USE_PROJIMAGE", "QUALITY_3", nullptr},
        {"USE_PROJIMAGE", "QUALITY_4", nullptr}, {"USE_SHADOW", "QUALITY_4", nullptr}, {"USE_SHADOW", "USE_PROJIMAGE", "QUALITY_4", nullptr},
    };
    return variant >= 0 && variant < 12 ? macros[variant] : nullptr;
}
