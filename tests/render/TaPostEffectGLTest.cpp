// The one-effect stages of the post-processing chain on the OpenGL device (run under Xvfb), read back
// as floats: gamma follows the sRGB curve on a ramp, a single white pixel blurred gives a symmetric
// kernel that keeps its energy, compose adds its source scaled onto what is there, down-sampling
// averages, and an effect that does not build is said.
#include "TaTestSupport.h"
#include "render/TaPostTestSupport.h"

#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "render/TaPostEffect.h"

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace irr;

class TaPostEffectGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", 64, 64)), 0) << "no OpenGL device: run under xvfb-run";
        m_driver = taEngine().videoDriver;
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    // A stage of the engine's effect file `file`.
    std::unique_ptr<CTaPostEffect> stage(const char* file)
    {
        std::unique_ptr<CTaPostEffect> made(new CTaPostEffect(taEngine().device, taGetManager()->getRenderServices()));
        EXPECT_TRUE(made->load(taGetManager()->getEffectManager(), (std::string(TARV_DATA_DIR) + "/shaders/" + file).c_str()));
        return made;
    }
    // A picture of w x h texels from `texel(x, y)` (8 bits a channel, read back linearly).
    video::ITexture* picture(const char* name, u32 w, u32 h, const std::function<video::SColor(u32, u32)>& texel)
    {
        return taTestPicture(m_driver, name, w, h, texel);
    }
    video::ITexture* target(const char* name, u32 w, u32 h) { return taTestFloatTarget(m_driver, name, w, h); }
    std::vector<float> texels(video::ITexture* texture) { return taTestTexels(m_driver, texture); }

    video::IVideoDriver* m_driver = nullptr;
};

TEST_F(TaPostEffectGLTest, GammaFollowsTheSrgbCurveOnARamp)
{
    video::ITexture* ramp = picture("ramp", 256, 1, [](u32 x, u32) { return video::SColor(x, x, 255 - x, x / 2); } /* alpha, red, green, blue */);
    video::ITexture* out = target("out", 256, 1);
    auto gamma = stage("Gamma.hlsl");
    ASSERT_TRUE(taBeginScene());
    ASSERT_TRUE(gamma->gamma(out, ramp));
    const std::vector<float> got = texels(out);
    taEndScene();
    auto srgb = [](float c) { return c <= 0.0031308f ? 12.92f * c : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f; };
    for (int x = 0; x < 256; ++x) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(got[size_t(x) * 4 + 0], srgb(float(x) / 255), 1.0f / 255);
        EXPECT_NEAR(got[size_t(x) * 4 + 1], srgb(float(255 - x) / 255), 1.0f / 255);
        EXPECT_NEAR(got[size_t(x) * 4 + 2], srgb(float(x / 2) / 255), 1.0f / 255);
        EXPECT_NEAR(got[size_t(x) * 4 + 3], float(x) / 255, 1.0f / 255); // alpha kept
    }
}

TEST_F(TaPostEffectGLTest, AWhitePixelBlursIntoASymmetricKernel)
{
    // 65 x 9 (across) and 9 x 65 (down), white in the middle.
    video::ITexture* wide = picture("wide", 65, 9, [](u32 x, u32 y) {
        return x == 32 && y == 4 ? video::SColor(255, 255, 255, 255) : video::SColor(0, 0, 0, 0);
    });
    video::ITexture* tall = picture("tall", 9, 65, [](u32 x, u32 y) {
        return x == 4 && y == 32 ? video::SColor(255, 255, 255, 255) : video::SColor(0, 0, 0, 0);
    });
    video::ITexture* wideOut = target("wideOut", 65, 9);
    video::ITexture* tallOut = target("tallOut", 9, 65);
    auto blur = stage("GaussianBlur.hlsl");
    ASSERT_TRUE(taBeginScene());
    ASSERT_TRUE(blur->gaussianBlur(wideOut, wide, true, 8, 1));
    ASSERT_TRUE(blur->gaussianBlur(tallOut, tall, false, 8, 1));
    const std::vector<float> across = texels(wideOut), down = texels(tallOut);
    taEndScene();
    const struct {
        const char* what;
        std::vector<float> line;
    } lines[] = {
        {"across", std::vector<float>(across.begin() + 4 * 65 * 4, across.begin() + 5 * 65 * 4)},
        {"down", [&] {
             std::vector<float> column;
             for (int y = 0; y < 65; ++y)
                 column.insert(column.end(), down.begin() + (size_t(y) * 9 + 4) * 4, down.begin() + (size_t(y) * 9 + 5) * 4);
             return column;
         }()},
    };
    for (const auto& l : lines) {
        SCOPED_TRACE(l.what);
        float sum = 0;
        const float peak = l.line[32 * 4];
        for (int i = 0; i < 65; ++i) {
            const float v = l.line[size_t(i) * 4];
            sum += v;
            EXPECT_NEAR(v, l.line[size_t(64 - i) * 4], 1e-3f) << i; // mirrored about the middle
            if (i < 32)
                EXPECT_LE(v, l.line[size_t(i + 1) * 4] + 1e-4f) << i; // rising towards the middle
            if (i < 32 - 9)
                EXPECT_LT(v, 0.01f * peak) << i; // next to nothing beyond the radius
        }
        EXPECT_NEAR(sum, 1.0f, 0.02f); // the pixel's light spread, not lost or gained
        EXPECT_GT(l.line[32 * 4], 0.05f);
        EXPECT_LT(l.line[32 * 4], 0.5f);
    }
    // The other rows (or columns) stay dark: the blur runs along its direction only.
    EXPECT_LT(across[(3 * 65 + 32) * 4], 1e-4f);
    EXPECT_LT(down[(32 * 9 + 3) * 4], 1e-4f);
}

TEST_F(TaPostEffectGLTest, ComposeAddsAndDownSampleAverages)
{
    video::ITexture* grey = picture("grey", 16, 16, [](u32, u32) { return video::SColor(255, 128, 64, 255); });
    video::ITexture* checker = picture("checker", 16, 16, [](u32 x, u32 y) {
        return (x + y) % 2 ? video::SColor(255, 255, 255, 255) : video::SColor(255, 0, 0, 0);
    });
    video::ITexture* out = target("out", 16, 16);
    video::ITexture* half = target("half", 8, 8);
    auto compose = stage("ComposeUpSample.hlsl");
    auto down = stage("DownSampleBlur.hlsl");
    ASSERT_TRUE(taBeginScene());
    ASSERT_TRUE(m_driver->setRenderTarget(out, true, false, video::SColor(255, 51, 51, 51)));
    ASSERT_TRUE(compose->compose(out, grey, 0.5f));
    ASSERT_TRUE(down->downSample(half, checker));
    const std::vector<float> composed = texels(out), averaged = texels(half);
    taEndScene();
    // 0.2 + 0.5 x (0.5, 0.25, 1): added onto what was there, not over it.
    EXPECT_NEAR(composed[0], 0.2f + 0.5f * 128 / 255, 2.0f / 255);
    EXPECT_NEAR(composed[1], 0.2f + 0.5f * 64 / 255, 2.0f / 255);
    EXPECT_NEAR(composed[2], 0.2f + 0.5f * 1.0f, 2.0f / 255);
    for (size_t i = 0; i < averaged.size(); i += 4)
        EXPECT_NEAR(averaged[i], 0.5f, 0.02f) << i / 4;
}

TEST_F(TaPostEffectGLTest, AnEffectThatDoesNotBuildIsSaid)
{
    writeFile("broken.hlsl", "float4 ps_main() : COLOR0 { return float4(1, 0, 0 1); }\n");
    CTaPostEffect effect(taEngine().device, taGetManager()->getRenderServices());
    TaLogCapture log;
    EXPECT_FALSE(effect.load(taGetManager()->getEffectManager(), (m_dir + "/broken.hlsl").c_str()));
    EXPECT_TRUE(log.contains("CTaPostEffect failed to load " + m_dir + "/broken.hlsl"));
    EXPECT_EQ(effect.effect(), nullptr);
    EXPECT_FALSE(effect.run(taEngine().videoDriver->findTexture("DummyRenderTarget"), nullptr));
}

} // namespace
