// The depth-of-field stage on the OpenGL device (run under Xvfb), read back as floats: one-texel
// stripes at three depths (near, at the focus, far) keep their contrast at the focus, up to the
// edge of the far band behind them, and lose it in front of and behind the focus, with the lens
// model and with the artist's focal ranges; an effect that does not build is said.
#include "TaTestSupport.h"
#include "render/TaPostTestSupport.h"

#include "effects/TaEffectBind.h"
#include "effects/TaEffectManager.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "render/TaPostDof.h"
#include "render/TaRenderServices.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace irr;

constexpr u32 kSize = 128;
// The bands of rows (from the first in memory): near up to row 42, in focus up to 86, far beyond.
constexpr u32 kFocusBegin = 42, kFocusEnd = 86;
constexpr float kNear = 0.5f, kFocus = 1.0f, kFar = 4.0f;

std::string shader(const char* file)
{
    return std::string(TARV_DATA_DIR) + "/shaders/" + file;
}

class TaPostDofGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", kSize, kSize)), 0) << "no OpenGL device: run under xvfb-run";
        m_driver = taEngine().videoDriver;
        // The render settings reach the effects through a semantic map, as the advanced context
        // publishes them; it has to be there before the effects are built.
        m_semantics = taGetManager()->getEffectManager()->createSemanticMap();
        for (const char* name : {"FocalDistance", "FStop", "DofFocalRangeMin", "DofFocalRangeFocused", "DofFocalRangeMax"})
            ASSERT_TRUE(m_semantics->addSemantic(name, ETASEM_FLOAT));
        m_stage.reset(new CTaPostDof(taEngine().device, taGetManager()->getRenderServices()));
        ASSERT_TRUE(m_stage->init(taGetManager()->getEffectManager(), shader("DofCocArtist.hlsl").c_str(),
                                  shader("DofCocPhysical.hlsl").c_str(), shader("Dof.hlsl").c_str()));
        const core::dimension2du size(kSize, kSize);
        m_source = m_driver->addRenderTargetTexture(size, "source", video::ECF_A16B16G16R16F);
        m_work = m_driver->addRenderTargetTexture(size, "work", video::ECF_A16B16G16R16F);
        m_out = m_driver->addRenderTargetTexture(size, "out", video::ECF_A16B16G16R16F);
        m_depth = m_driver->addRenderTargetTexture(size, "depth", video::ECF_R32F);
        // Depth by raw clears of the three bands (an 8-bit colour would hold nothing beyond 1).
        ASSERT_TRUE(m_driver->setRenderTarget(m_depth, false, false));
        glEnable(GL_SCISSOR_TEST);
        const struct {
            u32 begin, end;
            float depth;
        } bands[] = {{0, kFocusBegin, kNear}, {kFocusBegin, kFocusEnd, kFocus}, {kFocusEnd, kSize, kFar}};
        for (const auto& band : bands) {
            glScissor(0, GLint(band.begin), kSize, GLsizei(band.end - band.begin));
            glClearColor(band.depth, 0, 0, 1);
            glClear(GL_COLOR_BUFFER_BIT);
        }
        glDisable(GL_SCISSOR_TEST);
        m_driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    }
    void TearDown() override
    {
        m_stage.reset();
        if (m_semantics)
            m_semantics->drop();
        taShutdown();
        TaScratchTest::TearDown();
    }

    // One-texel stripes of white and black across the whole source.
    void paintStripes()
    {
        ASSERT_TRUE(taTestPaint(m_driver, taGetManager()->getRenderServices(), m_source, "stripes", [](u32 x, u32) {
            return x % 2 ? video::SColor(255, 255, 255, 255) : video::SColor(255, 0, 0, 0);
        }));
    }
    std::vector<float> texels(video::ITexture* texture) { return taTestTexels(m_driver, texture); }

    video::IVideoDriver* m_driver = nullptr;
    ITaEffectBindSemanticMap* m_semantics = nullptr;
    std::unique_ptr<CTaPostDof> m_stage;
    video::ITexture *m_source = nullptr, *m_work = nullptr, *m_out = nullptr, *m_depth = nullptr;
};

TEST_F(TaPostDofGLTest, StripesAtTheFocusStaySharpAndTheOthersBlur)
{
    const struct {
        const char* what;
        bool physical;
        float fStop;      // the lens: at 1 the far band's circle is about 5 pixels wide, the near one's 7
        float rangeMin, rangeMax, radiusScale; // the artist's: the near and far bands fully blurred
    } cases[] = {
        {"lens", true, 1.0f, 0, 0, 0},
        {"focal ranges", false, 0, 0.5f, 3.0f, 0.5f},
        {"focal ranges, wider", false, 0, 0.25f, 4.0f, 1.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_semantics->setFloat("FocalDistance", kFocus);
        m_semantics->setFloat("FStop", c.fStop);
        m_semantics->setFloat("DofFocalRangeMin", c.rangeMin);
        m_semantics->setFloat("DofFocalRangeFocused", kFocus);
        m_semantics->setFloat("DofFocalRangeMax", c.rangeMax);
        ASSERT_TRUE(taBeginScene());
        paintStripes();
        ASSERT_TRUE(c.physical ? m_stage->runPhysical(m_out, m_source, m_depth, m_work)
                               : m_stage->runArtist(m_out, m_source, m_depth, m_work, c.radiusScale));
        const std::vector<float> got = texels(m_out);
        taEndScene();
        // The contrast of a row (away from the sides) and how far it strays from the stripes.
        auto contrast = [&](u32 y) {
            float low = 1, high = 0;
            for (u32 x = 20; x < kSize - 20; ++x)
                low = std::min(low, got[(size_t(y) * kSize + x) * 4]), high = std::max(high, got[(size_t(y) * kSize + x) * 4]);
            return high - low;
        };
        auto strays = [&](u32 y) {
            float most = 0;
            for (u32 x = 0; x < kSize; ++x)
                for (int channel = 0; channel < 3; ++channel)
                    most = std::max(most, std::abs(got[(size_t(y) * kSize + x) * 4 + channel] - float(x % 2)));
            return most;
        };
        // Near and far bands, out of reach of the focus band's edges: blurred to grey.
        for (u32 y : {4u, 20u, 24u, 100u, 110u, 124u}) {
            SCOPED_TRACE(y);
            EXPECT_LT(contrast(y), 0.25f);
        }
        // In focus: sharp, from beyond the near band's reach (16 pixels) down to the far band's edge,
        // which lies behind and does not spill over it.
        for (u32 y = kFocusBegin + 17; y < kFocusEnd; ++y) {
            SCOPED_TRACE(y);
            EXPECT_LT(strays(y), 0.02f);
        }
    }
}

TEST_F(TaPostDofGLTest, AnEffectThatDoesNotBuildIsSaid)
{
    writeFile("broken.hlsl", "float4 ps_main() : COLOR0 { return float4(1, 0, 0 1); }\n");
    const std::string broken = m_dir + "/broken.hlsl";
    const struct {
        const char* what;
        std::string artist, physical, blur;
    } cases[] = {
        {"artist", broken, shader("DofCocPhysical.hlsl"), shader("Dof.hlsl")},
        {"physical", shader("DofCocArtist.hlsl"), broken, shader("Dof.hlsl")},
        {"blur", shader("DofCocArtist.hlsl"), shader("DofCocPhysical.hlsl"), broken},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CTaPostDof stage(taEngine().device, taGetManager()->getRenderServices());
        TaLogCapture log;
        EXPECT_FALSE(stage.init(taGetManager()->getEffectManager(), c.artist.c_str(), c.physical.c_str(), c.blur.c_str()));
        EXPECT_TRUE(log.contains("CTaPostEffect failed to load " + broken));
        EXPECT_FALSE(stage.runPhysical(m_out, m_source, m_depth, m_work)); // nothing half made is used
    }
}

} // namespace
