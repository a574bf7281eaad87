// The sample city block drawn on the OpenGL device (run under Xvfb) by the light pre-pass renderer from its
// own camera at the start, middle and end of its animation, each frame compared with its golden
// picture.
#include "TaGolden.h"
#include "TaTestSupport.h"

#include "engine/TaEngine.h"
#include "scene/TaObjects.h"
#include "scene/TaSceneManager.h"
#include "scene/TaScenes.h"

#include <unistd.h>

namespace {

using namespace irr;

class TaScenesGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_TRUE(taTestUseSampleCity(m_dir, TARV_SAMPLES_DIR));
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", 160, 120, true)), 0) << "no OpenGL device: run under xvfb-run";
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    video::IImage* frame()
    {
        EXPECT_TRUE(Sync());
        EXPECT_EQ(taScreenshot("frame.png"), 0);
        return taEngine().videoDriver->createImageFromFile("frame.png");
    }
};

TEST_F(TaScenesGLTest, SampleCityAtThreeFrames)
{
    ASSERT_EQ(LoadScene("city.tscn", 0, 1, 1, 1, 1, 1, 1, 1, false, "city"), 0);
    ASSERT_EQ(SceneAnimTimeEnd(0), 4000);
    // Loaded hidden: nothing of the scene is drawn until it is shown.
    EXPECT_FALSE(ObjectVisible(1));
    ShowScene(0);
    EXPECT_TRUE(ObjectVisible(1));
    const struct {
        int timeMs;
        const char* golden;
    } frames[] = {{0, "city-frame-0"}, {2000, "city-frame-60"}, {4000, "city-frame-120"}};
    video::IImage* previous = nullptr;
    for (const auto& f : frames) {
        ASSERT_EQ(AnimateScene(0, f.timeMs), 0);
        video::IImage* shot = frame();
        ASSERT_NE(shot, nullptr);
        EXPECT_TRUE(taMatchesGolden(shot, f.golden, 8));
        // The camera moves: every frame differs from the one before.
        if (previous) {
            int differing = 0;
            for (u32 y = 0; y < shot->getDimension().Height; y += 2)
                for (u32 x = 0; x < shot->getDimension().Width; x += 2)
                    differing += shot->getPixel(x, y) != previous->getPixel(x, y) ? 1 : 0;
            EXPECT_GT(differing, 500) << f.golden;
            previous->drop();
        }
        previous = shot;
    }
    if (previous)
        previous->drop();
    DeleteScene(0);
    EXPECT_FALSE(ObjectExist(1));
    EXPECT_FALSE(SceneExist(0));
}

// The same frames through the whole post chain: bloom into the glow with light streaks, depth of field
// focused on the street, gamma, SMAA and temporal antialiasing over four jittered frames at each time.
TEST_F(TaScenesGLTest, SampleCityThroughTheWholePostChain)
{
    ASSERT_EQ(LoadScene("city.tscn", 0, 1, 1, 1, 1, 1, 1, 1, false, "city"), 0);
    ShowScene(0);
    const struct {
        int timeMs;
        const char* golden;
    } frames[] = {{0, "city-chain-0"}, {2000, "city-chain-60"}, {4000, "city-chain-120"}};
    for (const auto& f : frames) {
        video::IImage* shot = nullptr;
        for (int sample = 0; sample < 4; ++sample) {
            ASSERT_EQ(AnimateScene(0, f.timeMs), 0);
            STaRenderSettings& r = taEngine().renderSettings;
            r.glowEnabled = true;
            r.glowIntensity = 1;
            r.glowRadius = 24;
            r.glowStreaks = true;
            r.bloomEnabled = true;
            r.bloomCompose = 0.4f;
            r.dofEnabled = true;
            r.dofAdvanced = 0;
            r.focalDistance = 6;
            r.fStop = 1.4f;
            r.gammaCorrect = true;
            r.antialiasMode = 1;
            r.antialiasJitter = 2;
            r.antialiasBlending = 1;
            r.antialiasBlendingWeight = 0;
            r.antialiasLocation = 1;
            if (shot)
                shot->drop();
            shot = frame();
            ASSERT_NE(shot, nullptr);
        }
        EXPECT_TRUE(taMatchesGolden(shot, f.golden, 8));
        shot->drop();
    }
}

} // namespace
