// The temporal antialiasing's numbers, headless: the sub-pixel jitter of each setting (the fixed
// sample tables, the random sequence from its seed, the projection offset it becomes) and the weight
// of the current frame in the blend.
#include <gtest/gtest.h>

#include "render/TaPostAntialias.h"

#include <cstdint>
#include <vector>

namespace {

using namespace irr;

TEST(TaPostAntialiasTest, FixedJitterTablesCycleThroughTheirSamples)
{
    const struct {
        const char* what;
        int jitter;
        unsigned sample;
        f32 x, y;
    } cases[] = {
        {"none", 0, 0, 0, 0},
        {"none, any frame", 0, 5, 0, 0},
        {"two: the first jittered frame (counter 1)", 1, 1, 0.25f, -0.25f},
        {"two: even frames", 1, 2, -0.25f, 0.25f},
        {"two: odd frames", 1, 7, 0.25f, -0.25f},
        {"four 0", 2, 0, -0.375f, 0.125f},
        {"four 1", 2, 1, 0.375f, -0.125f},
        {"four 2", 2, 2, 0.125f, 0.375f},
        {"four 3", 2, 3, -0.125f, -0.375f},
        {"four wraps", 2, 6, 0.125f, 0.375f},
        {"eight 0", 3, 0, 0.0804022f, -0.201951f},
        {"eight 1", 3, 1, -0.0803822f, 0.198049f},
        {"eight 2", 3, 2, 0.319618f, 0.0804022f},
        {"eight 3", 3, 3, -0.201951f, -0.319598f},
        {"eight 4", 3, 4, -0.319598f, 0.319618f},
        {"eight 5", 3, 5, -0.441166f, -0.0803822f},
        {"eight 6", 3, 6, 0.198049f, 0.441186f},
        {"eight 7", 3, 7, 0.441186f, -0.441166f},
        {"eight wraps", 3, 13, -0.441166f, -0.0803822f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const core::vector2df offset = CTaPostAntialias::jitterOffset(c.jitter, c.sample);
        EXPECT_FLOAT_EQ(offset.X, c.x);
        EXPECT_FLOAT_EQ(offset.Y, c.y);
    }
}

TEST(TaPostAntialiasTest, RandomJitterFollowsTheGeneratorFromSeedZero)
{
    // Two steps of s = s * 214013 + 2531011 per sample: y from the first, x from the second.
    std::uint32_t seed = 0;
    auto next = [&seed] {
        seed = seed * 214013u + 2531011u;
        return static_cast<f32>((seed >> 16) & 0x7FFF) / 32767.0f - 0.5f;
    };
    std::vector<core::vector2df> expected;
    for (int i = 0; i < 64; ++i) {
        const f32 y = next();
        const f32 x = next();
        expected.emplace_back(x, y);
    }
    // Any setting above 3 (or below 0) is random, and the sample index does not matter; the seed is
    // shared by every caller.
    const int settings[] = {4, 9, -1};
    CTaPostAntialias::resetRandomJitter();
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const core::vector2df got = CTaPostAntialias::jitterOffset(settings[i % 3], 0);
        EXPECT_FLOAT_EQ(got.X, expected[i].X);
        EXPECT_FLOAT_EQ(got.Y, expected[i].Y);
        EXPECT_LE(std::abs(got.X), 0.5f);
        EXPECT_LE(std::abs(got.Y), 0.5f);
    }
    // Starting again gives the same sequence.
    CTaPostAntialias::resetRandomJitter();
    EXPECT_FLOAT_EQ(CTaPostAntialias::jitterOffset(4, 3).X, expected[0].X);
    EXPECT_FLOAT_EQ(CTaPostAntialias::jitterOffset(4, 3).Y, expected[1].Y);
    CTaPostAntialias::resetRandomJitter();
}

TEST(TaPostAntialiasTest, JitterMatrixTranslatesByTheOffsetInClipUnits)
{
    const core::matrix4 m = CTaPostAntialias::jitterMatrix(2, 0, 640, 480); // (-0.375, 0.125) pixels
    core::matrix4 expected;
    expected.setTranslation(core::vector3df(2 * -0.375f / 640, 2 * 0.125f / 480, 0));
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(m[i], expected[i]) << i;
    EXPECT_TRUE(CTaPostAntialias::jitterMatrix(0, 3, 640, 480).isIdentity());
    // A point moves by the offset in pixels once the clip position is mapped to the screen.
    core::vector3df point(0.2f, -0.4f, 0.5f);
    CTaPostAntialias::jitterMatrix(1, 1, 100, 50).transformVect(point);
    EXPECT_NEAR((point.X - 0.2f) * 0.5f * 100, 0.25f, 1e-5f);
    EXPECT_NEAR((point.Y + 0.4f) * 0.5f * 50, -0.25f, 1e-5f);
}

TEST(TaPostAntialiasTest, BlendWeightFollowsTheSettingAndACameraCut)
{
    const struct {
        int blendingWeight, jitter;
        f32 weight;
    } cases[] = {
        {0, 0, 1.0f},        {0, 1, 0.5f},          {0, 2, 0.25f},        {0, 3, 0.125f},     {0, 4, 0.0078125f},
        {0, -1, 0.0078125f}, {1, 3, 1.0f},          {2, 0, 0.5f},         {3, 0, 0.25f},      {4, 0, 0.125f},
        {5, 0, 0.0625f},     {6, 0, 0.03125f},      {7, 0, 0.015625f},    {8, 0, 0.0078125f}, {9, 0, 0.00390625f},
        {10, 0, 0.5f},       {-3, 2, 0.5f},
    };
    CTaPostAntialias stage(nullptr, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "blendingWeight " << c.blendingWeight << ", jitter " << c.jitter);
        stage.blendingWeight = c.blendingWeight;
        stage.jitter = c.jitter;
        EXPECT_EQ(stage.blendWeight(false), c.weight);
        EXPECT_EQ(stage.blendWeight(true), 1.0f); // a camera cut starts the history again
    }
}

} // namespace
