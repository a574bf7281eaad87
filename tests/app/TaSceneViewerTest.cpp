// The scene viewer on the null driver, driven frame by frame with chosen times and keys: playing,
// pausing, the end of the scene with and without the loop, scrubbing, the start frame, the paused
// start, -binary, the live update of a re-exported file and the frame the modeller sends; riding
// with its options, speed keys and overlay, the debug display, the idle frames and a scene without
// a frame rate.
#include "TaTestSupport.h"

#include "app/TaSceneViewer.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "engine/TaOverlay.h"
#include "engine/TaSceneNodeAnimatorCamera.h"
#include "render/TaRenderer.h"
#include "files/TaWatch.h"
#include "scene/TaObjects.h"
#include "scene/TaSceneManager.h"
#include "scene/TaScenes.h"

#include <string>
#include <thread>

namespace {

// A scene of 50 frames at `fps` frames per second (2 s at 25; empty: no frame rate given) whose
// object moves 1 unit per frame along x, seen by a camera at (0, 1, -5) looking along +z.
std::string scene(float offset, const std::string& fps = "25")
{
    return "{ Scene\n  { SceneInfo\n    frameStart I4 0\n    frameEnd I4 50\n    frameStep I4 50\n" +
           (fps.empty() ? std::string() : "    framesPerSecond FP " + fps + "\n") +
           "  }\n  { Cameras\n    { Camera\n      position FP 0 1 -5\n    }\n  }\n  { Objects\n    { Q\n"
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
    int start(unsigned flags, int frameStart = 0, int rideOpts = 0, int rideSpeed = 0)
    {
        STaViewerOptions options{};
        options.flags = flags;
        options.frameStart = frameStart;
        options.rideOpts = rideOpts;
        options.rideSpeed = rideSpeed;
        return m_viewer.start((m_dir + "/s.tscn").c_str(), options, 1000);
    }
    // One frame at `now` with `keys`; the object's x position afterwards.
    float frame(int now, STaViewerKeys keys = STaViewerKeys())
    {
        m_viewer.frame(now, keys);
        taOverlayClear(); // as drawing it would
        return taGetObject(1) ? taGetObject(1)->getPosition().X : -1.0f;
    }
    static STaViewerKeys space()
    {
        STaViewerKeys k;
        k.space = true;
        return k;
    }
    static STaViewerKeys rightButton()
    {
        STaViewerKeys k;
        k.rightButton = true;
        return k;
    }
    // A key as the window sends it: to the engine's input state and the camera.
    static void post(irr::EKEY_CODE key, bool down)
    {
        irr::SEvent event{};
        event.EventType = irr::EET_KEY_INPUT_EVENT;
        event.KeyInput.Key = key;
        event.KeyInput.PressedDown = down;
        taEngine().device->postEventFromUser(event);
    }
    // The camera after the scene manager's animation pass at `timeMs`.
    static irr::core::vector3df cameraAt(irr::u32 timeMs)
    {
        taEngine().camera->OnAnimate(timeMs);
        return taEngine().camera->getAbsolutePosition();
    }
    static bool cursorVisible() { return taEngine().device->getCursorControl()->isVisible(); }
    // The overlay text queued at (x, y) in the last frame; "" when none.
    std::string textAt(int x, int y) const
    {
        for (const STaViewerText& t : m_viewer.overlayTexts())
            if (t.x == x && t.y == y)
                return t.text;
        return "";
    }
    bool showsText(const std::string& text) const
    {
        for (const STaViewerText& t : m_viewer.overlayTexts())
            if (t.text == text)
                return true;
        return false;
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

TEST_F(TaSceneViewerTest, RightButtonRidesWithTheChosenOptions)
{
    STaEngineContext& engine = taEngine();
    const struct {
        int rideOpts;
        int mode;          // the camera animator's while riding
        bool cursorHidden; // while riding
        float gravity, offset; // of the collision response; gravity -1: none
        const char* label;
    } cases[] = {
        {0, ETACAMERA_RIDE_DRAG, false, -1, 0, "Ride 1000cm/s"},
        {ETAVIEWER_RIDE_FIRST_PERSON, ETACAMERA_RIDE_FIRST_PERSON, true, -1, 0, "Ride FPS 1000cm/s"},
        {ETAVIEWER_RIDE_COLLISION, ETACAMERA_RIDE_DRAG, false, 0, 0, "Ride 1000cm/s"},
        {ETAVIEWER_RIDE_COLLISION | ETAVIEWER_RIDE_GRAVITY, ETACAMERA_RIDE_DRAG, false, 0.05f, 0.6f, "Ride 1000cm/s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rideOpts);
        ASSERT_EQ(start(ETAVIEWER_PAUSED, 0, c.rideOpts), 0);
        frame(1000);
        EXPECT_FALSE(m_viewer.riding());
        EXPECT_EQ(textAt(105, 15), "");
        frame(1100, rightButton());
        EXPECT_TRUE(m_viewer.riding());
        EXPECT_EQ(engine.cameraAnimator->getMode(), c.mode);
        EXPECT_FLOAT_EQ(engine.cameraAnimator->getMoveSpeed(), 0.01f); // 1000 cm/s
        EXPECT_EQ(cursorVisible(), !c.cursorHidden);
        if (c.gravity < 0) {
            EXPECT_EQ(engine.cameraCollision, nullptr);
        } else {
            ASSERT_NE(engine.cameraCollision, nullptr);
            auto* response = static_cast<irr::scene::ISceneNodeAnimatorCollisionResponse*>(engine.cameraCollision);
            EXPECT_EQ(response->getGravity(), irr::core::vector3df(0, -c.gravity, 0));
            EXPECT_EQ(response->getEllipsoidTranslation(), irr::core::vector3df(0, c.offset, 0));
            EXPECT_FLOAT_EQ(engine.cameraAnimator->getJumpSpeed(), 0.05f);
        }
        // The ride's overlay: speed, the camera's place and view.
        EXPECT_EQ(textAt(105, 15), c.label);
        const struct { int x, y; const char* text; } lines[] = {
            {0, 30, "X 0.000"}, {0, 40, "Y 1.000"}, {0, 50, "Z -5.000"},
            {50, 30, "H 0.0"},  {50, 40, "P 0.0"},  {50, 50, "B 0.0"},
        };
        for (const auto& line : lines)
            EXPECT_EQ(textAt(line.x, line.y), line.text) << line.x << "," << line.y;
        // Pressed again: back to the scene's camera.
        frame(1200);
        frame(1300, rightButton());
        EXPECT_FALSE(m_viewer.riding());
        EXPECT_EQ(engine.cameraAnimator->getMode(), ETACAMERA_PLACED);
        EXPECT_TRUE(cursorVisible());
        EXPECT_EQ(engine.cameraCollision, nullptr);
        EXPECT_EQ(textAt(105, 15), "");
        m_viewer.end();
    }
}

TEST_F(TaSceneViewerTest, RideFlagStartsRidingFromTheScenesCamera)
{
    ASSERT_EQ(start(ETAVIEWER_RIDE | ETAVIEWER_PAUSED, 0, ETAVIEWER_RIDE_FIRST_PERSON), 0);
    EXPECT_TRUE(m_viewer.riding());
    EXPECT_EQ(taEngine().cameraAnimator->getMode(), ETACAMERA_RIDE_FIRST_PERSON);
    EXPECT_FALSE(cursorVisible());
    // Riding on from where the scene's camera is, looking where it looks.
    for (irr::u32 t = 0; t <= 200; t += 50)
        EXPECT_EQ(cameraAt(t), irr::core::vector3df(0, 1, -5));
    const irr::core::vector3df look = taEngine().camera->getTarget() - taEngine().camera->getAbsolutePosition();
    EXPECT_NEAR(look.Z, 1.0f, 1e-5f);
    // A first-person ride shows the cursor while the window is not active.
    taMinimizeWindow();
    frame(1000);
    EXPECT_TRUE(cursorVisible());
    taRestoreWindow();
    frame(1100);
    EXPECT_FALSE(cursorVisible());
    // Leaving the viewer leaves the ride.
    m_viewer.end();
    EXPECT_EQ(taEngine().cameraAnimator->getMode(), ETACAMERA_PLACED);
    EXPECT_TRUE(cursorVisible());
}

TEST_F(TaSceneViewerTest, KeysOneAndTwoChangeTheRideSpeed)
{
    ASSERT_EQ(start(ETAVIEWER_PAUSED, 0, 0, 25), 0);
    STaViewerKeys one, two;
    one.one = true;
    two.two = true;
    frame(1000, two); // not riding: no change
    EXPECT_EQ(m_viewer.rideSpeed(), 25);
    frame(1100, rightButton());
    const struct {
        STaViewerKeys keys;
        int speed;
    } presses[] = {{two, 35}, {one, 25}, {one, 15}, {one, 5}, {one, 1}, {one, 1}, {two, 11}};
    int now = 1200;
    for (const auto& p : presses) {
        frame(now, p.keys);
        frame(now + 50); // released
        now += 100;
        EXPECT_EQ(m_viewer.rideSpeed(), p.speed);
        EXPECT_FLOAT_EQ(taEngine().cameraAnimator->getMoveSpeed(), float(p.speed) * 0.00001f);
        EXPECT_EQ(textAt(105, 15), "Ride " + std::to_string(p.speed) + "cm/s");
    }
}

TEST_F(TaSceneViewerTest, ArrowsStrafeWhileRidingAndTheScenesCameraWaits)
{
    ASSERT_EQ(start(ETAVIEWER_PAUSED), 0);
    frame(1000);
    STaViewerKeys right;
    right.right = true;
    frame(1100, right);
    EXPECT_EQ(m_viewer.sceneTime(), 5);
    frame(1150);
    frame(1200, rightButton());
    ASSERT_TRUE(m_viewer.riding());
    cameraAt(0);
    // Riding, the right arrow strafes the camera right (+x looking along +z) and leaves the time.
    post(irr::KEY_RIGHT, true);
    for (irr::u32 t = 50; t <= 1000; t += 50) {
        frame(int(1200 + t), right);
        cameraAt(t);
    }
    post(irr::KEY_RIGHT, false);
    EXPECT_EQ(m_viewer.sceneTime(), 5);
    EXPECT_GT(taEngine().camera->getAbsolutePosition().X, 1.0f);
    // + still scrubs.
    STaViewerKeys plus;
    plus.plus = true;
    frame(2300, plus);
    EXPECT_EQ(m_viewer.sceneTime(), 10);
    // The scene plays on and places its camera, but the ride keeps it.
    for (irr::u32 t = 1050; t <= 3000; t += 50)
        cameraAt(t);
    const irr::core::vector3df rode = taEngine().camera->getAbsolutePosition();
    frame(2400, space());
    frame(2500);
    frame(2600);
    EXPECT_FALSE(m_viewer.paused());
    EXPECT_EQ(cameraAt(3100), rode);
    // Leaving the ride puts the camera back at the scene's.
    frame(2700, rightButton());
    EXPECT_EQ(cameraAt(3200), irr::core::vector3df(0, 1, -5));
}

TEST_F(TaSceneViewerTest, F12TogglesTheDebugDisplay)
{
    ASSERT_EQ(start(ETAVIEWER_PAUSED), 0);
    STaFrameOptions* options = taGetCurrentRenderer()->getFrameOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_FALSE(options->showDebugBuffers);
    STaViewerKeys f12;
    f12.f12 = true;
    frame(1000, f12);
    EXPECT_TRUE(options->showDebugBuffers);
    frame(1100, f12); // still held: once per press
    EXPECT_TRUE(options->showDebugBuffers);
    frame(1200);
    frame(1300, f12);
    EXPECT_FALSE(options->showDebugBuffers);
}

TEST_F(TaSceneViewerTest, PausedBehindOtherWindowsDrawsOneFrameInTen)
{
    const struct {
        unsigned flags;
        bool inactive;
        int drawn; // of 20 frames
    } cases[] = {
        {ETAVIEWER_PAUSED, true, 2},
        {ETAVIEWER_PAUSED | ETAVIEWER_NOIDLEINACTIVE, true, 20},
        {ETAVIEWER_PAUSED, false, 20},
        {0, true, 20}, // playing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << (c.inactive ? " inactive" : " active"));
        ASSERT_EQ(start(c.flags), 0);
        EXPECT_TRUE(m_viewer.frame(1000, STaViewerKeys())); // the first frame always shows
        taOverlayClear();
        if (c.inactive)
            taMinimizeWindow();
        int drawn = 0;
        for (int i = 1; i <= 20; ++i) {
            drawn += m_viewer.frame(1000 + i, STaViewerKeys()) ? 1 : 0;
            taOverlayClear();
        }
        EXPECT_EQ(drawn, c.drawn);
        taRestoreWindow();
        m_viewer.end();
    }
}

TEST_F(TaSceneViewerTest, SceneWithoutFrameRateIsShownAtTimeZero)
{
    const std::string message = "Scene has no frame rate: shown at time 0";
    for (const char* fps : {"0", "0.5", "", "-25"}) {
        SCOPED_TRACE(fps);
        writeFile("s.tscn", scene(0, fps));
        ASSERT_EQ(start(ETAVIEWER_FRAMESTART | ETAVIEWER_SYNCUPDATE, 25), 0);
        frame(1000);
        EXPECT_EQ(m_viewer.sceneTime(), 0);
        EXPECT_TRUE(showsText(message));
        // The modeller's frame, scrubbing and playing on all stay at 0.
        irr::SEvent user{};
        user.EventType = irr::EET_USER_EVENT;
        user.UserEvent.UserData1 = TA_USER_EVENT_FRAME;
        user.UserEvent.UserData2 = 10;
        taGetEventReceiver().OnEvent(user);
        frame(1100);
        EXPECT_EQ(m_viewer.sceneTime(), 0);
        STaViewerKeys plus;
        plus.plus = true;
        frame(1200, plus);
        frame(1300, space());
        frame(1800);
        EXPECT_EQ(m_viewer.sceneTime(), 0);
        EXPECT_TRUE(showsText(message));
        m_viewer.end();
    }
    writeFile("s.tscn", scene(0));
    ASSERT_EQ(start(0), 0);
    frame(1000);
    EXPECT_FALSE(showsText(message));
}

} // namespace
