// The SMAA stage on the OpenGL device (run under Xvfb): staircase edges take the coverage of the line
// through the middles of their steps (shallow and steep, into a target or the back buffer, from a
// linear source through the gamma-encoded copy) while everything away from them stays as it was;
// straight edges across the picture stay as they are; the stencil marks this frame's edge pixels;
// init says each file that fails and keeps nothing, takes only one call and puts the driver's
// texture flags back.
#include "TaTestSupport.h"
#include "render/TaPostTestSupport.h"

#include "driver/TaMaterialExt.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "nodes/TaTextureManager.h"
#include "render/TaPostSMAA.h"
#include "render/TaRenderServices.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace irr;

constexpr u32 kSize = 64;

// The file list of init, in its order.
struct SFiles {
    std::string paths[6] = {std::string(TARV_DATA_DIR) + "/shaders/SMAA-1-LumaEdgeDetection.fx",
                            std::string(TARV_DATA_DIR) + "/shaders/SMAA-2-BlendingWeightCalculation.fx",
                            std::string(TARV_DATA_DIR) + "/shaders/SMAA-3-NeighborhoodBlending.fx",
                            std::string(TARV_DATA_DIR) + "/shaders/Gamma.hlsl",
                            std::string(TARV_DATA_DIR) + "/textures/AreaTexDX9.png",
                            std::string(TARV_DATA_DIR) + "/textures/SearchTex.png"};
    const char* list[6];
    SFiles()
    {
        for (int i = 0; i < 6; ++i)
            list[i] = paths[i].c_str();
    }
};

// A staircase one texel high every four texels: white above (rows before) the boundary. The ideal
// edge is the line through the middles of the steps, row 7.5 + x / 4.
bool staircaseWhite(u32 x, u32 y) { return y < x / 4 + 8; }
// The part of texel (x, y) above that line.
double staircaseCoverage(u32 x, u32 y)
{
    double sum = 0;
    const int samples = 400;
    for (int i = 0; i < samples; ++i) {
        const double t = x + (i + 0.5) / samples;
        sum += std::min(1.0, std::max(0.0, 7.5 + t / 4 - y));
    }
    return sum / samples;
}

// Checks a picture of the staircase (turned when `steep`, bright side `bright`) after SMAA: the
// coverage of the ideal line where `softened`, the staircase itself otherwise, except on the runs
// that reach the picture's sides (no step there ends them). The number of texels with a value
// between the two sides.
int expectStaircase(const std::vector<float>& out, bool steep, double bright, bool softened, double tolerance)
{
    int between = 0;
    for (u32 y = 0; y < kSize; ++y)
        for (u32 x = 0; x < kSize; ++x) {
            const u32 u = steep ? y : x, v = steep ? x : y;
            if (u < 4 || u >= kSize - 4)
                continue;
            const double expected = bright * (softened ? staircaseCoverage(u, v) : staircaseWhite(u, v) ? 1.0 : 0.0);
            const float got = out[y * kSize + x];
            EXPECT_NEAR(got, expected, tolerance) << "texel " << x << ", " << y;
            between += got > 0.02 * bright && got < 0.98 * bright;
        }
    return between;
}

class TaPostSMAAGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", kSize, kSize)), 0) << "no OpenGL device: run under xvfb-run";
        m_driver = taEngine().videoDriver;
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    std::unique_ptr<CTaPostSMAA> stage()
    {
        return std::make_unique<CTaPostSMAA>(taEngine().device, taGetManager()->getRenderServices(),
                                             taGetManager()->getVideoDriverExt(), taGetManager()->getTextureManager());
    }
    bool init(CTaPostSMAA& smaa, const SFiles& files = SFiles())
    {
        return smaa.init(taGetManager()->getEffectManager(), files.list);
    }
    // A picture of kSize x kSize texels of grey levels 0 to 255 (8 bits, no mip maps).
    video::ITexture* picture(const char* name, const std::function<u32(u32, u32)>& level)
    {
        return taTestPicture(m_driver, name, kSize, kSize, [&level](u32 x, u32 y) {
            const u32 v = level(x, y);
            return video::SColor(255, v, v, v);
        });
    }
    video::ITexture* target(const char* name) { return taTestFloatTarget(m_driver, name, kSize, kSize); }
    // The red channel of a target (nullptr: the back buffer), rows from the first one in memory.
    std::vector<float> reds(video::ITexture* texture)
    {
        if (texture)
            m_driver->setRenderTarget(texture, false, false);
        else
            m_driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        std::vector<float> out(size_t(kSize) * kSize);
        glReadPixels(0, 0, kSize, kSize, GL_RED, GL_FLOAT, out.data());
        m_driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        return out;
    }

    video::IVideoDriver* m_driver = nullptr;
};

TEST_F(TaPostSMAAGLTest, StaircaseEdgesTakeTheCoverageOfTheLineThroughTheirSteps)
{
    const struct {
        const char* what;
        bool steep;       // the staircase turned on its side: runs down the columns
        u32 level;        // of the bright side
        bool linear;      // the source taken as linear values
        bool backBuffer;  // the output
        bool softened;    // whether the staircase is antialiased
    } cases[] = {
        {"shallow, into the destination", false, 255, false, false, true},
        {"steep, into the back buffer", true, 255, false, true, true},
        {"dark linear steps, found on the gamma-encoded copy", false, 5, true, false, true},
        {"the same steps as display values: below the threshold", true, 5, false, false, false},
    };
    auto smaa = stage();
    ASSERT_TRUE(init(*smaa));
    video::ITexture* destination = target("destination");
    video::ITexture* work = target("work");
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        video::ITexture* source = picture(("staircase" + std::to_string(index++)).c_str(), [&c](u32 x, u32 y) {
            return (c.steep ? staircaseWhite(y, x) : staircaseWhite(x, y)) ? c.level : 0u;
        });
        ASSERT_TRUE(taBeginScene());
        smaa->run(destination, source, work, c.backBuffer, c.linear);
        const std::vector<float> out = reds(c.backBuffer ? nullptr : destination);
        taEndScene();
        const double bright = c.level / 255.0;
        const double tolerance = bright * 2.0 / 255 + (c.backBuffer ? 1.0 / 255 : 1e-5);
        // Four texels of every step but the two at the sides take an intermediate value.
        EXPECT_EQ(expectStaircase(out, c.steep, bright, c.softened, tolerance), c.softened ? 4 * 14 : 0);
    }
}

TEST_F(TaPostSMAAGLTest, StraightEdgesAcrossThePictureStayAsTheyAre)
{
    // With no edge crossing them at their ends there is no step to re-draw.
    const struct {
        const char* what;
        std::function<u32(u32, u32)> level;
    } cases[] = {
        {"vertical", [](u32 x, u32) { return x < 29 ? 230u : 20u; }},
        {"horizontal", [](u32, u32 y) { return y < 40 ? 10u : 200u; }},
    };
    auto smaa = stage();
    ASSERT_TRUE(init(*smaa));
    video::ITexture* destination = target("destination");
    video::ITexture* work = target("work");
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        video::ITexture* source = picture(("straight" + std::to_string(index++)).c_str(), c.level);
        ASSERT_TRUE(taBeginScene());
        smaa->run(destination, source, work, false, false);
        const std::vector<float> out = reds(destination);
        taEndScene();
        for (u32 y = 0; y < kSize; ++y)
            for (u32 x = 0; x < kSize; ++x)
                EXPECT_NEAR(out[y * kSize + x], c.level(x, y) / 255.0f, 1.0f / 255) << "texel " << x << ", " << y;
    }
}

TEST_F(TaPostSMAAGLTest, TheStencilMarksThisFramesEdgePixelsOnly)
{
    auto smaa = stage();
    ASSERT_TRUE(init(*smaa));
    video::ITexture* destination = target("destination");
    video::ITexture* work = target("work");
    // The stage keeps its marks in the depth-stencil buffer its targets share. Irrlicht 1.8 shares a
    // depth buffer without stencil between the targets of a size (the stencil test then passes
    // everywhere: same picture, no saving), so the two are given one with a stencil here.
    GLuint shared = 0;
    glGenRenderbuffers(1, &shared);
    glBindRenderbuffer(GL_RENDERBUFFER, shared);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, kSize, kSize);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    for (video::ITexture* t : {destination, work}) {
        ASSERT_TRUE(m_driver->setRenderTarget(t, false, false));
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, 0, 0);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, shared);
        ASSERT_EQ(glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    }
    m_driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);

    // A frame of a checkerboard (edges everywhere) first, then the staircase.
    video::ITexture* checker = picture("checker", [](u32 x, u32 y) { return (x + y) % 2 ? 255u : 0u; });
    video::ITexture* staircase = picture("staircase", [](u32 x, u32 y) { return staircaseWhite(x, y) ? 255u : 0u; });
    std::vector<u8> stencil(size_t(kSize) * kSize);
    ASSERT_TRUE(taBeginScene());
    smaa->run(destination, checker, work, false, false);
    smaa->run(destination, staircase, work, false, false);
    // The weights found on the marked pixels alone still soften the staircase.
    EXPECT_EQ(expectStaircase(reds(destination), false, 1.0, true, 2.0 / 255), 4 * 14);
    m_driver->setRenderTarget(destination, false, false);
    glReadPixels(0, 0, kSize, kSize, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, stencil.data());
    m_driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    // Nothing of the stage's stencil states is left on.
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    taEndScene();
    for (u32 y = 0; y < kSize; ++y)
        for (u32 x = 0; x < kSize; ++x) {
            const bool edge = (x > 0 && staircaseWhite(x - 1, y) != staircaseWhite(x, y)) ||
                              (y > 0 && staircaseWhite(x, y - 1) != staircaseWhite(x, y));
            EXPECT_EQ(stencil[y * kSize + x], edge ? 1 : 0) << "texel " << x << ", " << y;
        }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glDeleteRenderbuffers(1, &shared);
}

TEST_F(TaPostSMAAGLTest, InitSaysEachFileThatFailsAndKeepsNothing)
{
    writeFile("broken.fx", "/*\n[TARV_BEGIN]\n[TARV_END]\n*/\nfloat4 ps_main() : COLOR0 { return float4(1, 0, 0 1); }\n");
    video::ITexture* images[2] = {taGetManager()->getTextureManager()->getTexture(SFiles().list[4], false),
                                  taGetManager()->getTextureManager()->getTexture(SFiles().list[5], false)};
    ASSERT_TRUE(images[0] && images[1]);
    video::ITexture* destination = target("destination");
    video::ITexture* work = target("work");
    video::ITexture* source = picture("source", [](u32 x, u32) { return x < 32 ? 255u : 0u; });
    // Irrlicht's texture units hold a reference to what they last bound (a new texture is bound to
    // upload it): the source is bound to every unit first.
    ASSERT_TRUE(taBeginScene());
    video::SMaterial material;
    for (u32 layer = 0; layer < video::MATERIAL_MAX_TEXTURES; ++layer)
        material.setTexture(layer, source);
    taGetManager()->getRenderServices()->drawScreenQuad(material);
    taEndScene();
    const s32 references[2] = {images[0]->getReferenceCount(), images[1]->getReferenceCount()};
    const size_t records = taMaterialExtCount();
    const struct {
        const char* what;
        int file;
        std::string path;
    } cases[] = {
        {"edge detection missing", 0, m_dir + "/missing-1.fx"},
        {"blending weights that do not build", 1, m_dir + "/broken.fx"},
        {"neighbourhood blending missing", 2, m_dir + "/missing-3.fx"},
        {"gamma missing", 3, m_dir + "/Gamma.hlsl"},
        {"area image missing", 4, m_dir + "/AreaTexDX9.png"},
        {"search image missing", 5, m_dir + "/SearchTex.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SFiles files;
        files.paths[c.file] = c.path;
        files.list[c.file] = files.paths[c.file].c_str();
        {
            auto smaa = stage();
            TaLogCapture log;
            EXPECT_FALSE(init(*smaa, files));
            EXPECT_TRUE(log.contains("CTaPostSMAA failed to load " + c.path));
            EXPECT_FALSE(smaa->isInitialised());
            // Not initialised: run draws nothing.
            ASSERT_TRUE(taBeginScene());
            ASSERT_TRUE(m_driver->setRenderTarget(destination, true, false, video::SColor(255, 51, 51, 51)));
            smaa->run(destination, source, work, false, false);
            const std::vector<float> out = reds(destination);
            taEndScene();
            EXPECT_NEAR(out[0], 0.2f, 1e-3f);
            EXPECT_NEAR(out[kSize - 1], 0.2f, 1e-3f);
        }
        EXPECT_EQ(images[0]->getReferenceCount(), references[0]);
        EXPECT_EQ(images[1]->getReferenceCount(), references[1]);
        EXPECT_EQ(taMaterialExtCount(), records);
    }
}

TEST_F(TaPostSMAAGLTest, InitTakesOnlyOneCallAndPutsTheTextureFlagsBack)
{
    auto smaa = stage();
    EXPECT_FALSE(smaa->isInitialised());
    m_driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, true);
    m_driver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, false);
    ASSERT_TRUE(init(*smaa));
    EXPECT_TRUE(smaa->isInitialised());
    EXPECT_TRUE(m_driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS));
    EXPECT_FALSE(m_driver->getTextureCreationFlag(video::ETCF_ALWAYS_32_BIT));
    // The lookup images were made without mip maps, whatever the flag said.
    video::ITexture* area = m_driver->findTexture((std::string(TARV_DATA_DIR) + "/textures/AreaTexDX9.png").c_str());
    ASSERT_NE(area, nullptr);
    EXPECT_FALSE(area->hasMipMaps());
    TaLogCapture log;
    EXPECT_FALSE(init(*smaa));
    EXPECT_TRUE(smaa->isInitialised());
    EXPECT_TRUE(log.lines.empty());
}

} // namespace
