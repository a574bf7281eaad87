// The temporal antialiasing stage on the OpenGL device (run under Xvfb), without SMAA, read back as
// floats: the history blend converges on the average of alternating jittered frames, plain and
// reprojected on a still camera; the reprojection follows a camera turn, its offset held by the
// velocity limit; a camera cut and a weight of 1 give the current frame and still fill the history;
// nothing to do is said; a blend file that does not build is said.
#include "TaTestSupport.h"
#include "render/TaPostTestSupport.h"

#include "effects/TaEffectBind.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "render/TaPostAntialias.h"
#include "render/TaRenderServices.h"
#include "render/TaRendererManager.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace irr;

constexpr u32 kSize = 64;

class TaPostAntialiasGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", kSize, kSize)), 0) << "no OpenGL device: run under xvfb-run";
        m_driver = taEngine().videoDriver;
        m_services = taGetManager()->getRenderServices();
        // The engine's targets, DepthRTT among them (read by the reprojected blend), before the effects.
        ASSERT_TRUE(taGetManager()->getRendererManager()->createRenderTargets(video::ECF_A16B16G16R16F, nullptr));
        fill(m_driver->findTexture("DepthRTT"), 1e8f, 1e8f); // nothing drawn: the far plane
        for (const char* name : {"source", "destination", "work", "history"})
            m_targets.push_back(taTestFloatTarget(m_driver, name, kSize, kSize));
        m_stage.reset(new CTaPostAntialias(taEngine().device, m_services));
        ASSERT_TRUE(m_stage->init(taGetManager()->getEffectManager(),
                                  (std::string(TARV_DATA_DIR) + "/shaders/BlendAntialias.hlsl").c_str(), nullptr));
        m_stage->mode = 0; // no SMAA stage here
    }
    void TearDown() override
    {
        m_stage.reset();
        taForgetEffectLastFrame();
        taShutdown();
        TaScratchTest::TearDown();
    }

    video::ITexture* source() const { return m_targets[0]; }
    video::ITexture* destination() const { return m_targets[1]; }
    video::ITexture* work() const { return m_targets[2]; }
    video::ITexture* history() const { return m_targets[3]; }

    // Fills a target with (red, green, 0, 1) by a raw clear (no 8-bit colour on the way).
    void fill(video::ITexture* target, float red, float green)
    {
        ASSERT_TRUE(m_driver->setRenderTarget(target, false, false));
        glClearColor(red, green, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        m_driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    }
    // Draws kSize x kSize texels from `texel(x, y)` (8 bits a channel; y counts rows from the first in
    // memory, the bottom one: a picture's top row lands at the top of the target) into a target.
    void paint(video::ITexture* target, const std::function<video::SColor(u32, u32)>& texel)
    {
        const std::string name = "picture" + std::to_string(m_pictures++);
        ASSERT_TRUE(taTestPaint(m_driver, m_services, target, name.c_str(), texel));
    }
    std::vector<float> texels(video::ITexture* texture) { return taTestTexels(m_driver, texture); }
    // A camera at the origin looking along +Z through a 90 degree frustum, made active.
    scene::ICameraSceneNode* camera()
    {
        scene::ISceneManager* scene = taEngine().sceneManager;
        scene::ICameraSceneNode* made = scene->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0), core::vector3df(0, 0, 1));
        made->setFOV(core::HALF_PI);
        made->setAspectRatio(1);
        made->setNearValue(0.1f);
        made->setFarValue(100);
        scene->setActiveCamera(made);
        made->OnAnimate(0);
        made->render(); // its frustum and the driver's view and projection
        return made;
    }

    video::IVideoDriver* m_driver = nullptr;
    CTaRenderServices* m_services = nullptr;
    std::vector<video::ITexture*> m_targets;
    std::unique_ptr<CTaPostAntialias> m_stage;
    int m_pictures = 0;
};

// An edge between black and white at column 32 or, jittered by a pixel, 33.
video::SColor edgeAt32(u32 x, u32) { return x >= 32 ? video::SColor(255, 255, 255, 255) : video::SColor(255, 0, 0, 0); }
video::SColor edgeAt33(u32 x, u32) { return x >= 33 ? video::SColor(255, 255, 255, 255) : video::SColor(255, 0, 0, 0); }

TEST_F(TaPostAntialiasGLTest, TheBlendConvergesOnTheAverageOfJitteredFrames)
{
    const struct {
        const char* what;
        int blending;
        bool vlimit;
    } cases[] = {{"plain", 1, false}, {"reprojected on a still camera", 2, false}, {"with the velocity limit", 2, true}};
    scene::ICameraSceneNode* still = camera();
    taSetEffectLastFrame(still->getViewMatrix(), still->getProjectionMatrix(), 60);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_stage->blending = c.blending;
        m_stage->vlimitEnable = c.vlimit;
        m_stage->vlimitValue = 4;
        m_stage->blendingWeight = 5; // 1/16 of the current frame
        ASSERT_TRUE(taBeginScene());
        for (int frame = 0; frame < 120; ++frame) {
            paint(source(), frame % 2 ? edgeAt33 : edgeAt32);
            video::ITexture* result = m_stage->run(destination(), source(), work(), history(), false, true, frame == 0);
            ASSERT_EQ(result, frame == 0 ? source() : destination()) << frame;
        }
        const std::vector<float> got = texels(destination()), kept = texels(history());
        taEndScene();
        for (u32 y = 0; y < kSize; y += 7)
            for (u32 x = 0; x < kSize; ++x) {
                const float average = x < 32 ? 0.0f : x == 32 ? 0.5f : 1.0f;
                const size_t i = (size_t(y) * kSize + x) * 4;
                ASSERT_NEAR(got[i], average, 0.03f) << x << ", " << y;
                ASSERT_NEAR(kept[i], got[i], 1e-4f) << x << ", " << y; // the history holds the result
            }
    }
}

TEST_F(TaPostAntialiasGLTest, ReprojectionFollowsACameraTurnAndTheVelocityLimitHoldsIt)
{
    // The camera looks along +Z; on the previous frame it looked a little to the left. The history
    // is a ramp whose red and green tell the place it is read at (texel value 4 x + 2 over 255 at
    // column x, so u = value x 255 / 256); the current frame a one-texel checker of 0 and 1, so that
    // the neighbourhood range holds back nothing. With a weight of 1/2 the result is the mean of the
    // two, which gives back the place the history was read at.
    scene::ICameraSceneNode* now = camera();
    core::matrix4 previousView;
    previousView.buildCameraLookAtMatrixLH(core::vector3df(0, 0, 0), core::vector3df(-0.25f, 0, 1), core::vector3df(0, 1, 0));
    const core::matrix4 previousViewProjection = now->getProjectionMatrix() * previousView;
    core::matrix4 currentToWorld;
    ASSERT_TRUE((now->getProjectionMatrix() * now->getViewMatrix()).getInverse(currentToWorld));
    const struct {
        const char* what;
        bool vlimit;
        float limit;
    } cases[] = {{"free", false, 0}, {"limited to 3 pixels", true, 3}, {"a generous limit", true, 50}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_stage->blending = 2;
        m_stage->blendingWeight = 2; // 1/2
        m_stage->vlimitEnable = c.vlimit;
        m_stage->vlimitValue = c.limit;
        paint(history(), [](u32 x, u32 y) { return video::SColor(255, 4 * x + 2, 4 * y + 2, 0); });
        paint(source(), [](u32 x, u32 y) { return (x + y) % 2 ? video::SColor(255, 255, 255, 0) : video::SColor(255, 0, 0, 0); });
        const std::vector<float> current = texels(source());
        taSetEffectLastFrame(previousView, now->getProjectionMatrix(), 60);
        ASSERT_TRUE(taBeginScene());
        ASSERT_EQ(m_stage->run(destination(), source(), work(), history(), false, true, false), destination());
        const std::vector<float> got = texels(destination());
        taEndScene();
        int offScreen = 0;
        for (u32 y = 0; y < kSize; ++y)
            for (u32 x = 0; x < kSize; ++x) {
                SCOPED_TRACE(testing::Message() << x << ", " << y);
                // Where the direction under the pixel's centre was on the previous screen (the camera
                // only turned, so any point along it will do).
                f32 point[4] = {(x + 0.5f) / kSize * 2 - 1, (y + 0.5f) / kSize * 2 - 1, 1, 1};
                currentToWorld.multiplyWith1x4Matrix(point);
                f32 clip[4] = {point[0] / point[3], point[1] / point[3], point[2] / point[3], 1};
                previousViewProjection.multiplyWith1x4Matrix(clip);
                core::vector2df previous((clip[0] / clip[3] * 0.5f + 0.5f) * kSize, (clip[1] / clip[3] * 0.5f + 0.5f) * kSize);
                const core::vector2df here(x + 0.5f, y + 0.5f);
                core::vector2df offset = previous - here;
                if (c.vlimit && offset.getLength() > c.limit)
                    offset *= c.limit / offset.getLength();
                previous = here + offset;
                const size_t i = (size_t(y) * kSize + x) * 4;
                if (previous.X < 0 || previous.X > kSize || previous.Y < 0 || previous.Y > kSize) {
                    ++offScreen;
                    EXPECT_EQ(got[i], current[i]); // nothing to blend with
                    continue;
                }
                if (previous.X < 1 || previous.X > kSize - 1 || previous.Y < 1 || previous.Y > kSize - 1)
                    continue; // read from the clamped border
                const float readU = (2 * got[i] - current[i]) * 255 / 256 * kSize;
                const float readV = (2 * got[i + 1] - current[i + 1]) * 255 / 256 * kSize;
                EXPECT_NEAR(readU, previous.X, 0.1f);
                EXPECT_NEAR(readV, previous.Y, 0.1f);
            }
        // The previous frame saw less on the right: its columns there were off its screen.
        EXPECT_GT(offScreen, 0);
    }
}

TEST_F(TaPostAntialiasGLTest, ACameraCutOrAWeightOfOneShowsTheCurrentFrameAndKeepsIt)
{
    const struct {
        const char* what;
        int blendingWeight;
        bool cameraCut;
    } cases[] = {{"camera cut", 5, true}, {"weight 1", 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        m_stage->blending = 1;
        m_stage->blendingWeight = c.blendingWeight;
        fill(history(), 0.25f, 0.25f);
        fill(destination(), 0.75f, 0.75f);
        paint(source(), edgeAt32);
        const std::vector<float> current = texels(source());
        ASSERT_TRUE(taBeginScene());
        // No SMAA and no blend: the source itself is the result, the destination is not drawn.
        EXPECT_EQ(m_stage->run(destination(), source(), work(), history(), false, true, c.cameraCut), source());
        const std::vector<float> kept = texels(history()), untouched = texels(destination());
        taEndScene();
        for (size_t i = 0; i < current.size(); i += 4) {
            ASSERT_EQ(kept[i], current[i]) << i / 4;
            ASSERT_EQ(untouched[i], 0.75f) << i / 4;
        }
    }
}

TEST_F(TaPostAntialiasGLTest, NothingToDoIsSaid)
{
    m_stage->mode = 0;
    m_stage->blending = 0;
    fill(history(), 0.25f, 0.25f);
    TaLogCapture log;
    ASSERT_TRUE(taBeginScene());
    EXPECT_EQ(m_stage->run(destination(), source(), work(), history(), false, true, false), source());
    const std::vector<float> kept = texels(history());
    taEndScene();
    EXPECT_TRUE(log.contains("CTaPostAntialias: nothing rendered"));
    EXPECT_EQ(kept[0], 0.25f); // no history without blending

    // SMAA on but no SMAA stage: the frame goes through as it is, and that is no failure.
    m_stage->mode = 1;
    TaLogCapture quiet;
    ASSERT_TRUE(taBeginScene());
    EXPECT_EQ(m_stage->run(destination(), source(), work(), history(), false, true, false), source());
    taEndScene();
    EXPECT_FALSE(quiet.contains("CTaPostAntialias: nothing rendered"));
}

TEST_F(TaPostAntialiasGLTest, ABlendFileThatDoesNotBuildIsSaid)
{
    writeFile("broken.hlsl", "float4 ps_main() : COLOR0 { return float4(1, 0, 0 1); }\n");
    CTaPostAntialias stage(taEngine().device, m_services);
    TaLogCapture log;
    EXPECT_FALSE(stage.init(taGetManager()->getEffectManager(), (m_dir + "/broken.hlsl").c_str(), nullptr));
    EXPECT_TRUE(log.contains("CTaPostAntialias failed to load " + m_dir + "/broken.hlsl"));
}

} // namespace
