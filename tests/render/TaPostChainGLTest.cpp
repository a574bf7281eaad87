// The glow, the light streaks, the post chain and the camera effects on the OpenGL device (run under
// Xvfb), with the stages of the engine's own light pre-pass context: the pyramid levels a radius
// uses, glow only from what glows (alpha) or rises above the bloom threshold, streaks along their
// angle, the chain's ping-pong, render names and messages, and camera effects shown in a frame.
#include "TaTestSupport.h"
#include "render/TaPostTestSupport.h"

#include "driver/TaVideoDriverExt.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "engine/TaCameraEffects.h"
#include "engine/TaEffects.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "scene/TaObjects.h"
#include "render/TaPostChain.h"
#include "render/TaPostGlow.h"
#include "render/TaRenderServices.h"
#include "render/TaRendererCtxAdv.h"
#include "render/TaRendererLpp.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace irr;

constexpr u32 kSize = 64;

// An effect that inverts its source (layer 0); `header` adds lines to its header.
std::string invertEffect(const std::string& header = "")
{
    return "/*\n[TARV_BEGIN]\n" + header +
           "//texture Source : : clamp_to_edge noMipMap filterPoint\n[TARV_END]\n*/\n"
           "sampler2D Source : register(s0);\n"
           "struct VS_OUT { float4 pos : POSITION; float2 uv : TEXCOORD0; };\n"
           "VS_OUT vs_main(float3 pos : POSITION) { VS_OUT o; o.pos = float4(pos.xy, 0, 1); "
           "o.uv = pos.xy * 0.5 + 0.5; return o; }\n"
           "float4 ps_main(VS_OUT i) : COLOR0 { float4 c = tex2D(Source, i.uv); return float4(1 - c.rgb, 1); }\n";
}

class TaPostChainGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", kSize, kSize, true)), 0) << "no OpenGL device: run under xvfb-run";
        m_driver = taEngine().videoDriver;
        auto* lpp = dynamic_cast<CTaRendererLpp*>(taGetCurrentRenderer());
        ASSERT_NE(lpp, nullptr);
        m_context = lpp->context();
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    CTaEffect* effect(const std::string& file, const std::string& text)
    {
        writeFile(file, text.c_str());
        return taGetManager()->getEffectManager()->createEffect((m_dir + "/" + file).c_str(), -1, nullptr);
    }
    static float luma(const std::vector<float>& t, u32 w, u32 x, u32 y) { return t[(size_t(y) * w + x) * 4]; }

    video::IVideoDriver* m_driver = nullptr;
    CTaRendererCtxAdv* m_context = nullptr;
};

TEST_F(TaPostChainGLTest, GlowLevelsFollowTheRadius)
{
    // Each smaller level joins as the radius passes 16, 24 and 32 and is at full weight 16 later.
    const struct {
        float radius, w1, w2, w3;
    } cases[] = {{16, 0, 0, 0}, {24, 0.5f, 0, 0}, {32, 1, 0.5f, 0}, {40, 1, 1, 0.5f}, {48, 1, 1, 1}, {0, 0, 0, 0}};
    for (const auto& c : cases) {
        const CTaPostGlow::SLevels l = CTaPostGlow::levels(c.radius);
        EXPECT_FLOAT_EQ(l.k, c.radius / 8) << c.radius;
        EXPECT_FLOAT_EQ(l.w1, c.w1) << c.radius;
        EXPECT_FLOAT_EQ(l.w2, c.w2) << c.radius;
        EXPECT_FLOAT_EQ(l.w3, c.w3) << c.radius;
    }

    // Radius 16 draws into the half and quarter levels only: the smaller ones keep what they hold.
    video::ITexture* source = taTestPicture(m_driver, "source", kSize / 2, kSize / 2,
                                            [](u32, u32) { return video::SColor(0, 255, 255, 255); });
    video::ITexture* out = taTestFloatTarget(m_driver, "out", kSize, kSize);
    const char* const smaller[] = {"EighthScreen[0]", "EighthScreen[1]", "SixTeenthScreen[0]", "SixTeenthScreen[1]",
                                   "ThirtyTwothScreen[0]", "ThirtyTwothScreen[1]"};
    ASSERT_TRUE(taBeginScene());
    for (const char* name : smaller)
        m_driver->setRenderTarget(m_driver->findTexture(name), true, false, video::SColor(255, 0, 0, 255));
    ASSERT_TRUE(m_context->glow()->run(out, source, 16, 1, false, m_context->getStreakParameters()));
    for (const char* name : smaller) {
        const std::vector<float> t = taTestTexels(m_driver, m_driver->findTexture(name));
        EXPECT_NEAR(t[2], 1.0f, 1e-3f) << name;
        EXPECT_NEAR(t[0], 0.0f, 1e-3f) << name;
    }
    // A radius of 40 reaches them all.
    ASSERT_TRUE(m_context->glow()->run(out, source, 40, 1, false, m_context->getStreakParameters()));
    for (const char* name : smaller)
        EXPECT_GT(taTestTexels(m_driver, m_driver->findTexture(name))[0], 0.1f) << name;
    taEndScene();
}

TEST_F(TaPostChainGLTest, GlowComesOnlyFromWhatGlowsOrRisesAboveTheThreshold)
{
    // Left: a grey block that does not glow (alpha 1); right: a block of the same grey that glows
    // (alpha 0, as the material pass writes 1 - glow).
    const u32 half = kSize / 2;
    video::ITexture* source = taTestPicture(m_driver, "source", half, half, [](u32 x, u32 y) {
        if (y >= 14 && y < 18 && x >= 6 && x < 10)
            return video::SColor(255, 200, 200, 200);
        if (y >= 14 && y < 18 && x >= 22 && x < 26)
            return video::SColor(0, 200, 200, 200);
        return video::SColor(255, 0, 0, 0);
    });
    STaRenderSettings& settings = *m_context->getRenderSettings();
    const struct {
        const char* what;
        bool bloom;
        float compose; // threshold 1 - compose
        bool leftGlows;
    } cases[] = {{"bloom off", false, 0, false}, {"bloom with threshold 0.5", true, 0.5f, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        settings.bloomEnabled = c.bloom;
        settings.bloomCompose = c.compose;
        m_context->updateFrame();
        video::ITexture* out = taTestFloatTarget(m_driver, c.what, kSize, kSize);
        ASSERT_TRUE(taBeginScene());
        ASSERT_TRUE(m_context->glow()->run(out, source, 16, 1, false, m_context->getStreakParameters()));
        const std::vector<float> t = taTestTexels(m_driver, out);
        taEndScene();
        // Around the right block (x 44..52 in the full picture, y 28..36): its glow, beyond the block.
        EXPECT_GT(luma(t, kSize, 48, 32), 0.05f);
        EXPECT_GT(luma(t, kSize, 56, 32), 0.005f);
        // Around the left block only with the lowered threshold, and then weaker (0.78 - 0.5).
        const float left = luma(t, kSize, 16, 32);
        if (c.leftGlows) {
            EXPECT_GT(left, 0.01f);
            EXPECT_LT(left, luma(t, kSize, 48, 32));
        } else {
            EXPECT_LT(left, 1e-3f);
        }
        // Far from both, nothing.
        EXPECT_LT(luma(t, kSize, 32, 4), 1e-3f);
    }
}

// A glow asked to read its own buffer says so and still glows: the source is copied aside first
// (reading a target while drawing into it is undefined on OpenGL).
TEST_F(TaPostChainGLTest, AGlowOfItsOwnBufferIsSaidAndStillGlows)
{
    video::ITexture* half1 = m_driver->findTexture("HalfScreen[1]");
    video::ITexture* spot = taTestPicture(m_driver, "spot", kSize / 2, kSize / 2, [](u32 x, u32 y) {
        return x >= 14 && x < 18 && y >= 14 && y < 18 ? video::SColor(0, 255, 255, 255) : video::SColor(255, 0, 0, 0);
    });
    video::ITexture* out = taTestFloatTarget(m_driver, "out", kSize, kSize);
    ASSERT_TRUE(taBeginScene());
    m_driver->setRenderTarget(half1, false, false);
    taGetManager()->getRenderServices()->copyTexture(spot);
    TaLogCapture log;
    ASSERT_TRUE(m_context->glow()->run(out, half1, 16, 1, true, m_context->getStreakParameters()));
    const std::vector<float> t = taTestTexels(m_driver, out);
    taEndScene();
    EXPECT_TRUE(log.contains("CTaPostGlow error: Half Source cannot be set to Texture Half [1]"));
    EXPECT_GT(luma(t, kSize, 32, 32), 0.05f);
    EXPECT_GT(luma(t, kSize, 38, 32), 0.005f);
    EXPECT_LT(luma(t, kSize, 32, 4), luma(t, kSize, 32, 32) * 0.05f);
}

TEST_F(TaPostChainGLTest, StreaksRunAlongTheirAngle)
{
    const u32 half = kSize / 2;
    video::ITexture* source = taTestPicture(m_driver, "source", half, half, [](u32 x, u32 y) {
        return x >= 15 && x < 17 && y >= 15 && y < 17 ? video::SColor(0, 255, 255, 255) : video::SColor(255, 0, 0, 0);
    });
    for (float angle : {0.0f, 90.0f}) {
        SCOPED_TRACE(angle);
        float* p = m_context->getStreakParameters();
        p[6] = angle;
        p[7] = p[8] = p[9] = 1; // no tint
        video::ITexture* out = taTestFloatTarget(m_driver, angle == 0 ? "across" : "down", half, half);
        ASSERT_TRUE(taBeginScene());
        ASSERT_TRUE(m_context->lightStreak()->run(out, source, m_driver->findTexture("QuarterScreen[0]"),
                                                  m_driver->findTexture("QuarterScreen[1]"), p));
        const std::vector<float> t = taTestTexels(m_driver, out);
        taEndScene();
        // Eight pixels out from the spot along the streak there is light, and both ways; across it none.
        const float along1 = angle == 0 ? luma(t, half, 24, 16) : luma(t, half, 16, 24);
        const float along2 = angle == 0 ? luma(t, half, 8, 16) : luma(t, half, 16, 8);
        const float across = angle == 0 ? luma(t, half, 16, 24) : luma(t, half, 24, 16);
        EXPECT_GT(along1, 1e-3f);
        EXPECT_GT(along2, 1e-3f);
        EXPECT_LT(across, along1 * 0.05f);
    }
}

TEST_F(TaPostChainGLTest, TheChainPingPongsAndSaysWhatItCannotDo)
{
    CTaPostChain& chain = *m_context->postChain();
    CTaRenderServices* services = taGetManager()->getRenderServices();
    video::ITexture* grey = taTestPicture(m_driver, "grey", 8, 8, [](u32, u32) { return video::SColor(255, 51, 51, 51); });
    video::ITexture* a = taTestFloatTarget(m_driver, "a", 8, 8);
    video::ITexture* b = taTestFloatTarget(m_driver, "b", 8, 8, video::SColor(255, 255, 0, 0));
    ASSERT_TRUE(taBeginScene());
    m_driver->setRenderTarget(a, false, false);
    services->copyTexture(grey);

    // No effects: the source comes back and nothing is drawn, not even into the destination.
    chain.setEffects({});
    EXPECT_EQ(chain.run(services, b, a, nullptr, nullptr, true, nullptr), a);
    EXPECT_NEAR(taTestTexels(m_driver, b)[0], 1.0f, 1e-3f);

    CTaEffect* invert = effect("invert.hlsl", invertEffect());
    ASSERT_NE(invert, nullptr);
    {
        TaLogCapture log;
        chain.setEffects({invert});
        EXPECT_EQ(chain.run(services, a, a, nullptr, nullptr, true, nullptr), a);
        EXPECT_TRUE(log.contains("CTaPostChain: cannot set second flipflop texture"));
    }
    // Once: into the destination; twice: back into the source, copied into the destination.
    EXPECT_EQ(chain.run(services, b, a, nullptr, nullptr, false, nullptr), b);
    EXPECT_NEAR(taTestTexels(m_driver, b)[0], 0.8f, 2e-3f);
    chain.setEffects({invert, invert});
    EXPECT_EQ(chain.run(services, b, a, nullptr, nullptr, true, nullptr), b);
    EXPECT_NEAR(taTestTexels(m_driver, b)[0], 0.2f, 2e-3f);
    // Without copy the result stays where it ended.
    EXPECT_EQ(chain.run(services, b, a, nullptr, nullptr, false, nullptr), a);
    EXPECT_NEAR(taTestTexels(m_driver, a)[0], 0.2f, 2e-3f);
    taEndScene();
    chain.setEffects({});
    invert->drop();
}

TEST_F(TaPostChainGLTest, AnEffectRunsInTheChainOfItsRenderNameOnly)
{
    CTaPostChain& chain = *m_context->postChain();
    CTaRenderServices* services = taGetManager()->getRenderServices();
    CTaEffect* solid = effect("solid.hlsl", invertEffect("//config render : SOLIDPOST\n"));
    CTaEffect* final = effect("final.hlsl", invertEffect());
    CTaEffect* glow = effect("glow.hlsl", invertEffect("//texture GlowRTT : : clamp_to_edge\n"));
    ASSERT_TRUE(solid && final && glow);
    video::ITexture* source = taTestFloatTarget(m_driver, "source", 8, 8);
    video::ITexture* work = taTestFloatTarget(m_driver, "work", 8, 8);
    const struct {
        CTaEffect* effect;
        const char* renderName;
        video::ITexture* glowBuffer;
        bool runs;
    } cases[] = {
        {solid, "solidpost", nullptr, true}, {solid, "SolidPost", nullptr, true}, {solid, nullptr, nullptr, false},
        {solid, "prepost", nullptr, false},  {final, nullptr, nullptr, true},     {final, "lightpost", nullptr, false},
        {glow, nullptr, nullptr, false},     {glow, nullptr, work, true},
    };
    ASSERT_TRUE(taBeginScene());
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.effect->getFileName()) + " in " + (c.renderName ? c.renderName : "the final chain"));
        chain.setEffects({c.effect});
        m_driver->setRenderTarget(source, true, false, video::SColor(0, 0, 0, 0));
        video::ITexture* result = chain.run(services, source, source, work, c.renderName, true, c.glowBuffer);
        EXPECT_EQ(result, source);
        EXPECT_NEAR(taTestTexels(m_driver, source)[0], c.runs ? 1.0f : 0.0f, 1e-3f);
    }
    taEndScene();
    chain.setEffects({});
    for (CTaEffect* e : {solid, final, glow})
        e->drop();
}

TEST_F(TaPostChainGLTest, ShownCameraEffectsDrawOverTheFrame)
{
    writeFile("invert.hlsl", invertEffect().c_str());
    ColorBackdrop(0x336699);
    auto corner = [&]() {
        EXPECT_TRUE(Sync());
        video::IImage* shot = taGetManager()->getVideoDriverExt()->grabFrame();
        const video::SColor c = shot->getPixel(2, 2);
        shot->drop();
        return c;
    };
    const video::SColor plain = corner();
    ASSERT_EQ(MakeCameraEffectFromFile(3, (m_dir + "/invert.hlsl").c_str()), 0);
    ASSERT_EQ(MakeCameraEffectFromFile(4, (m_dir + "/invert.hlsl").c_str()), 0);
    EXPECT_TRUE(CameraEffectExist(3));
    EXPECT_EQ(corner().getRed(), plain.getRed()); // made hidden
    ASSERT_EQ(ShowCameraEffect(3), 0);
    const video::SColor inverted = corner();
    EXPECT_NEAR(inverted.getRed(), 255 - plain.getRed(), 3);
    EXPECT_NEAR(inverted.getBlue(), 255 - plain.getBlue(), 3);
    ASSERT_EQ(ShowCameraEffect(4), 0);
    EXPECT_NEAR(corner().getRed(), plain.getRed(), 3); // inverted twice
    ASSERT_EQ(ShowCameraEffect(4), 0);                  // already shown: still twice
    EXPECT_NEAR(corner().getRed(), plain.getRed(), 3);
    ASSERT_EQ(HideCameraEffect(3), 0);
    EXPECT_NEAR(corner().getRed(), 255 - plain.getRed(), 3);
    {
        TaLogCapture log;
        EXPECT_EQ(HideCameraEffect(3), -1);
        EXPECT_TRUE(log.contains("remove enabled FAILED to find ID=3 in enabled list"));
        EXPECT_EQ(ShowCameraEffect(7), -1);
        EXPECT_TRUE(log.contains("Camera Effect ID 7 does not exist."));
        EXPECT_EQ(MakeCameraEffectFromFile(5, "missing.hlsl"), -1);
        EXPECT_TRUE(log.contains("Camera Effect ID 5 : Failed to compile effect missing.hlsl"));
        EXPECT_EQ(MakeCameraEffect(6, 99), -1);
        EXPECT_TRUE(log.contains("Effect ID 99 does not exist."));
    }
    DeleteCameraEffect(4); // deleting hides
    EXPECT_FALSE(CameraEffectExist(4));
    EXPECT_NEAR(corner().getRed(), plain.getRed(), 3);
    // An effect of the effect table shared as a camera effect.
    ASSERT_EQ(LoadEffect((m_dir + "/invert.hlsl").c_str(), 1), 0);
    ASSERT_EQ(MakeCameraEffect(8, 1), 0);
    DeleteEffect(1); // the camera effect keeps its own reference
    ASSERT_EQ(ShowCameraEffect(8), 0);
    EXPECT_NEAR(corner().getRed(), 255 - plain.getRed(), 3);
}

} // namespace
