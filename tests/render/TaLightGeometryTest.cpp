// The light pre-pass's choices for one light: variant, shadow map, shadow camera, volume and
// volumetric variant, and the lights it cannot draw.
#include "render/TaLightGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace irr;

namespace {

std::string joined(const char* const* macros)
{
    std::string text;
    for (; macros && *macros; ++macros)
        text += (text.empty() ? "" : " ") + std::string(*macros);
    return text;
}

TEST(TaLightGeometryTest, LightPassVariantFollowsTypeShadowAndFuzz)
{
    struct Case {
        int type;
        bool shadowed;
        float fuzz;
        int slot;
        const char* macros;
    };
    const Case cases[] = {
        {ETALIGHT_DIRECTIONAL, false, 0, 0, "USE_DISTANT"},
        {ETALIGHT_DIRECTIONAL, true, 0, 0, "USE_DISTANT"}, // only spot lights are shadowed
        {ETALIGHT_POINT, true, 3, 8, "USE_POINT"},
        {ETALIGHT_SPOT, false, 40, 16, "USE_SPOTLIGHT"},
        {ETALIGHT_SPOT, true, 0, 17, "USE_SPOTLIGHT USE_SHADOW USE_SH0"},
        {ETALIGHT_SPOT, true, 0.99f, 17, "USE_SPOTLIGHT USE_SHADOW USE_SH0"},
        {ETALIGHT_SPOT, true, 1, 18, "USE_SPOTLIGHT USE_SHADOW USE_SH1"},
        {ETALIGHT_SPOT, true, 3.5f, 19, "USE_SPOTLIGHT USE_SHADOW USE_SH2"},
        {ETALIGHT_SPOT, true, 4, 20, "USE_SPOTLIGHT USE_SHADOW USE_SH4"},
        {ETALIGHT_SPOT, true, 8, 21, "USE_SPOTLIGHT USE_SHADOW USE_SH8"},
        {ETALIGHT_SPOT, true, 31, 22, "USE_SPOTLIGHT USE_SHADOW USE_SH16"},
        {ETALIGHT_SPOT, true, 40, 23, "USE_SPOTLIGHT USE_SHADOW USE_SH32"},
        {ETALIGHT_SPOT, true, -5, 17, "USE_SPOTLIGHT USE_SHADOW USE_SH0"},
        {3, false, 0, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " " + std::to_string(c.fuzz));
        const int slot = taLightPassSlot(c.type, c.type == ETALIGHT_SPOT && c.shadowed, c.fuzz);
        EXPECT_EQ(slot, c.slot);
        EXPECT_EQ(joined(taLightPassSlotMacros(slot)), c.macros);
    }
    int filled = 0;
    for (int slot = 0; slot < 24; ++slot)
        filled += taLightPassSlotMacros(slot) ? 1 : 0;
    EXPECT_EQ(filled, 10);
}

TEST(TaLightGeometryTest, ShadowMapsComeFromThePoolBySize)
{
    const u32 heights[] = {256, 512, 512, 1024};
    struct Case {
        int size;
        bool held[4];
        int entry;
    };
    const Case cases[] = {
        {300, {}, 0},   {128, {}, 0},  {512, {}, 1},  {600, {}, 2},  {2048, {}, 3}, {1024, {}, 3},
        // A map a volumetric light reads later is passed over while another fits.
        {512, {false, true, false, false}, 2},
        {256, {true, false, false, false}, 1},
        // Every entry held: the second look takes one anyway.
        {512, {true, true, true, true}, 1},
        {4096, {true, true, true, true}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        EXPECT_EQ(taPickShadowMap(heights, c.held, 4, c.size), c.entry);
    }
    EXPECT_EQ(taPickShadowMap(heights, cases[0].held, 0, 512), -1);
}

TEST(TaLightGeometryTest, ShadowCameraLooksAlongTheLight)
{
    // A spot at (0, 10, 0) looking down.
    const STaLightShadowCamera spot = taShadowCameraOf(ETALIGHT_SPOT, {0, 10, 0}, {0, -2, 0}, 40, 30);
    EXPECT_FLOAT_EQ(spot.nearValue, 0.01f);
    EXPECT_FLOAT_EQ(spot.farValue, 40.0f);
    core::matrix4 viewProjection = spot.projection * spot.view;
    // A point straight below lands in the middle of the map, in front of the camera.
    f32 below[4] = {0, 0, 0, 1};
    viewProjection.multiplyWith1x4Matrix(below);
    EXPECT_NEAR(below[0] / below[3], 0, 1e-4);
    EXPECT_NEAR(below[1] / below[3], 0, 1e-4);
    EXPECT_GT(below[2] / below[3], 0);
    EXPECT_LT(below[2] / below[3], 1);
    // The field of view is twice the outer angle: a point 30 degrees off the axis is at the edge.
    f32 edge[4] = {10 * std::tan(30 * core::DEGTORAD), 0, 0, 1};
    viewProjection.multiplyWith1x4Matrix(edge);
    EXPECT_NEAR(std::fabs(edge[0] / edge[3]), 1, 1e-3);

    EXPECT_FLOAT_EQ(taShadowCameraOf(ETALIGHT_SPOT, {}, {0, 0, 1}, 6000, 30).farValue, 5000.0f);
    EXPECT_FLOAT_EQ(taShadowCameraOf(ETALIGHT_POINT, {}, {0, 0, 1}, 40, 30).farValue, 5000.0f);
    EXPECT_FLOAT_EQ(taShadowCameraOf(ETALIGHT_DIRECTIONAL, {}, {0, 0, 1}, 40, 30).farValue, 1.0f);
    // No radius, or a cone of 90 degrees and more: a far plane beyond the near one and a field of
    // view that stays finite, so the matrices hold numbers.
    for (const STaLightShadowCamera& broken :
         {taShadowCameraOf(ETALIGHT_SPOT, {}, {0, 0, 1}, 0, 30), taShadowCameraOf(ETALIGHT_SPOT, {}, {0, 0, 1}, -3, 30),
          taShadowCameraOf(ETALIGHT_SPOT, {}, {0, 0, 1}, 10, 95)}) {
        EXPECT_GT(broken.farValue, broken.nearValue);
        for (int i = 0; i < 16; ++i)
            EXPECT_TRUE(std::isfinite(broken.projection[i])) << i;
    }
}

TEST(TaLightGeometryTest, VolumeFromTheCameraDistance)
{
    struct Case {
        int type;
        float radius, outer, distance;
        ETaLightVolume volume;
    };
    const Case cases[] = {
        // A point light of radius 10 from 12 units (near 0.1): 11.5 < 11.9; from 11: 11.5 >= 10.9.
        {ETALIGHT_POINT, 10, 0, 12 - 0.1f, ETAVOLUME_SPHERE},
        {ETALIGHT_POINT, 10, 0, 11 - 0.1f, ETAVOLUME_FULL_SCREEN},
        // A spot of radius 10 and 30 degrees: h = 11.5, r = tan(33 degrees) h = 7.47, 13.71 away.
        {ETALIGHT_SPOT, 10, 30, 14, ETAVOLUME_CONE},
        {ETALIGHT_SPOT, 10, 30, 13.5f, ETAVOLUME_FULL_SCREEN},
        {ETALIGHT_DIRECTIONAL, 10, 30, 1e6f, ETAVOLUME_FULL_SCREEN},
        // 1.1 x 85 degrees opens past 90: no cone to draw, whatever the distance.
        {ETALIGHT_SPOT, 10, 85, 1e6f, ETAVOLUME_FULL_SCREEN},
        {ETALIGHT_SPOT, 10, 0, 1e6f, ETAVOLUME_FULL_SCREEN},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " at " + std::to_string(c.distance));
        EXPECT_EQ(taLightVolume(c.type, c.radius, c.outer, c.distance), c.volume);
    }
    const core::vector3df scale = taLightConeScale(10, 30);
    EXPECT_NEAR(scale.Z, 11.5f, 1e-4);
    EXPECT_NEAR(scale.X, std::tan(33 * core::DEGTORAD) * 11.5f, 1e-4);
    EXPECT_EQ(scale.X, scale.Y);
    for (float outer : {85.0f, 90.0f, 120.0f}) {
        const core::vector3df wide = taLightConeScale(10, outer);
        EXPECT_TRUE(std::isfinite(wide.X) && wide.X > 0) << outer;
    }
}

TEST(TaLightGeometryTest, LightsWithoutRadiusAreNotDrawn)
{
    const char* why = nullptr;
    EXPECT_FALSE(taLightDrawable(ETALIGHT_POINT, 0, &why));
    EXPECT_STREQ(why, "its radius is not above 0");
    EXPECT_FALSE(taLightDrawable(ETALIGHT_SPOT, -1, nullptr));
    EXPECT_FALSE(taLightDrawable(ETALIGHT_SPOT, std::nanf(""), nullptr));
    EXPECT_TRUE(taLightDrawable(ETALIGHT_SPOT, 0.5f, nullptr));
    EXPECT_TRUE(taLightDrawable(ETALIGHT_DIRECTIONAL, 0, nullptr));
}

TEST(TaLightGeometryTest, CameraInsideASpotCone)
{
    const core::vector3df light(0, 0, 0), axis(0, 0, 1);
    struct Case {
        core::vector3df camera;
        float outer;
        bool inside;
    };
    const Case cases[] = {
        {{0, 0, 5}, 30, true},     // on the axis
        {{2, 0, 5}, 30, true},     // within tan(33) x 5 = 3.25
        {{4, 0, 5}, 30, false},    // beyond it
        {{0, 0, -5}, 30, false},   // behind the light
        {{0, 0, -0.05f}, 30, true}, // behind by less than the near value
        {{0, 50, -5}, 85, true},   // a cone too wide to draw counts as everywhere
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.camera.X) + "," + std::to_string(c.camera.Y) + "," + std::to_string(c.camera.Z));
        EXPECT_EQ(taCameraInsideSpotCone(c.camera, 0.1f, light, axis, c.outer), c.inside);
    }
}

TEST(TaLightGeometryTest, VolumetricSpotVariantFromQualityShadowAndImage)
{
    struct Case {
        int quality;
        bool shadow, image;
        int variant;
        const char* macros;
    };
    const Case cases[] = {
        {0, true, true, -1, ""},
        {1, false, false, -1, ""},
        {1, false, true, 0, "USE_PROJIMAGE QUALITY_1"},
        {1, true, false, 1, "USE_SHADOW QUALITY_1"},
        {2, true, true, 5, "USE_SHADOW USE_PROJIMAGE QUALITY_2"},
        {4, true, false, 10, "USE_SHADOW QUALITY_4"},
        {7, true, true, 11, "USE_SHADOW USE_PROJIMAGE QUALITY_4"},
        {-3, true, true, -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.quality);
        const int variant = taVolumetricSpotVariant(c.quality, c.shadow, c.image);
        EXPECT_EQ(variant, c.variant);
        EXPECT_EQ(joined(taVolumetricSpotMacros(variant)), c.macros);
    }
}

} // namespace
