// The scene viewer on the null driver, driven frame by frame with chosen times and keys: playing,
// pausing, the end of the scene with and without the loop, scrubbing, the start frame, the paused
// start, -binary, the live update of a re-exported file and the frame the modeller sends.
#include "TaTestSupport.h"

#include "app/TaSceneViewer.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "files/TaWatch.h"
#include "scene/TaObjects.h"
#include "scene/TaSceneManager.h"
#include "scene/TaScenes.h"

#include <string>
#include <thread>

namespace {

// A scene of 50 frames at 25 frames per second (2 s) whose object moves 1 unit per frame along x.
std::string scene(float offset)
{
    return "{ Scene\n  { SceneInfo\n    frameStart I4 0\n    frameEnd I4 50\n    frameStep I4 50\n"
           "    framesPerSecond FP 25\n  }\n  { Cameras\n    { Camera\n    }\n  }\n  { Objects\n    { Q\n"
           "      name STR Q\n      xfilename STR quad.obj\n      position FP_C [\n        DAT 2 " +
           std::to_string(offset) + " " + std::to_string(offset + 50) + "\n        RUN 2 0\n        RUN 2 0\n      ]\n"
           "    }\n  }\n}\n";
}

class TaSceneViewerTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        writeFile("quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n");
        writeFile("s.tscn", scene(0));
        taRegisterSceneTable();
        ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL, m_dir + "/")), 0);
    }
    void TearDown() override
    {
        m_viewer.end();
        taFreeWatches();
        taShutdown();
        TaScratchTest::TearDown();
    }
    int start(unsigned flags, int frameStart = 0)
    {
        STaViewerOptions options{};
        options.flags = flags;
        options.frameStart = frameStart;
        return m_viewer.start((m_dir + "/s.tscn").c_str(), options, 1000);
    }
    // One frame at `now` with `keys`; the object's x position afterwards.
    float frame(int now, STaViewerKeys keys = STaViewerKeys())
    {
        m_viewer.frame(now, keys);
        return taGetObject(1) ? taGetObject(1)->getPosition().X : -1.0f;
    }
    static STaViewerKeys space()
    {
        STaViewerKeys k;
        k.space = true;
        return k;
    }
    CTaSceneViewer m_viewer;
};

TEST_F(TaSceneViewerTest, PlaysPausesLoopsAndScrubs)
{
    ASSERT_EQ(start(0), 0);
    EXPECT_TRUE(ObjectVisible(1));
    EXPECT_NEAR(frame(1000), 0.0f, 1e-3f);
    EXPECT_NEAR(frame(1400), 10.0f, 1e-3f); // 0.4 s at 25 frames per second
    // Space pauses; the time stays while the clock runs; Space again goes on from there.
    EXPECT_NEAR(frame(1500, space()), 12.5f, 1e-3f);
    EXPECT_TRUE(m_viewer.paused());
    EXPECT_NEAR(frame(1900), 12.5f, 1e-3f);
    EXPECT_NEAR(frame(2000, space()), 12.5f, 1e-3f);
    EXPECT_FALSE(m_viewer.paused());
    EXPECT_NEAR(frame(2100), 15.0f, 1e-3f);
    // Scrubbing while playing moves 10 ms per frame, 100 ms with Shift.
    STaViewerKeys right;
    right.right = true;
    frame(2100, right);
    EXPECT_EQ(m_viewer.sceneTime(), 610);
    right.shift = true;
    frame(2100, right);
    EXPECT_EQ(m_viewer.sceneTime(), 710);
    // The end without the loop: paused at the end; Space starts again from 0.
    frame(9000);
    EXPECT_TRUE(m_viewer.paused());
    EXPECT_EQ(m_viewer.sceneTime(), 2000);
    frame(9100, space());
    EXPECT_EQ(m_viewer.sceneTime(), 0);
    // With the loop (Return), the end starts the scene again.
    STaViewerKeys loop;
    loop.returnKey = true;
    frame(9200, loop);
    EXPECT_TRUE(m_viewer.looping());
    frame(11300);
    EXPECT_FALSE(m_viewer.paused());
    EXPECT_EQ(m_viewer.sceneTime(), 200);
    // Scrubbing while paused moves 5 ms, kept within the scene.
    frame(11400, space());
    STaViewerKeys left;
    left.left = true;
    left.shift = true;
    frame(11500, left);
    EXPECT_EQ(m_viewer.sceneTime(), 250);
    for (int i = 0; i < 10; ++i)
        frame(11600 + i, left);
    EXPECT_EQ(m_viewer.sceneTime(), 0);
}

TEST_F(TaSceneViewerTest, StartFramePausedAndBinary)
{
    const struct {
        unsigned flags;
        int frameStart;
        int time;    // shown on the first frame
        bool paused; // after it
    } cases[] = {
        {ETAVIEWER_FRAMESTART, 25, 1000, false}, {ETAVIEWER_FRAMESTART, -10, 0, false},
        {ETAVIEWER_FRAMESTART, 900, 2000, true}, {ETAVIEWER_PAUSED, 0, 0, true},
        {ETAVIEWER_PAUSED | ETAVIEWER_FRAMESTART, 10, 400, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frameStart);
        ASSERT_EQ(start(c.flags, c.frameStart), 0);
        frame(1000);
        EXPECT_EQ(m_viewer.sceneTime(), c.time);
        EXPECT_EQ(m_viewer.paused(), c.paused);
        frame(1500);
        if (c.paused) {
            EXPECT_EQ(m_viewer.sceneTime(), c.time); // nothing moves until Space
        }
        m_viewer.end();
    }
    // -binary only loads the scene and deletes it again.
    EXPECT_EQ(start(ETAVIEWER_BINARY), 1);
    EXPECT_FALSE(SceneExist(1));
    EXPECT_FALSE(ObjectExist(1));
    // A file that is not a scene fails the viewer.
    writeFile("s.tscn", "not a scene\n");
    EXPECT_EQ(start(0), -1);
}

TEST_F(TaSceneViewerTest, LiveUpdateAndTheModellersFrame)
{
    ASSERT_EQ(start(ETAVIEWER_SYNCUPDATE | ETAVIEWER_PAUSED), 0);
    EXPECT_NEAR(frame(1000), 0.0f, 1e-3f);
    // The modeller sends frame 10: 400 ms.
    irr::SEvent user{};
    user.EventType = irr::EET_USER_EVENT;
    user.UserEvent.UserData1 = TA_USER_EVENT_FRAME;
    user.UserEvent.UserData2 = 10;
    taGetEventReceiver().OnEvent(user);
    EXPECT_NEAR(frame(1100), 10.0f, 1e-3f);
    irr::scene::ISceneNode* node = taGetObject(1);
    // The file is exported again with the object moved: the same node, at its new place, same time.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    writeFile("s.tscn", scene(100));
    bool updated = false;
    for (int i = 0; i < 200 && !updated; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        updated = frame(1200 + i) > 100.0f;
    }
    EXPECT_TRUE(updated);
    EXPECT_EQ(taGetObject(1), node);
    EXPECT_NEAR(frame(1500), 110.0f, 1e-3f);
    EXPECT_EQ(m_viewer.updateStatus(), 0);
    // A broken export keeps the scene and says so until a good one comes.
    writeFile("s.tscn", "this is no scene document\n");
    bool failed = false;
    for (int i = 0; i < 200 && !failed; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        frame(1600 + i);
        failed = m_viewer.updateStatus() == -1;
    }
    EXPECT_TRUE(failed);
    EXPECT_NEAR(frame(1900), 110.0f, 1e-3f);
}

} // namespace
