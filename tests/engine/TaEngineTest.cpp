// The engine context on the null device: start-up, restart, shut-down, the frame and its overlay
// queue, input, and the services that need no pixels.
#include "TaTestSupport.h"

#include "engine/Ta2D.h"
#include "engine/TaCamera.h"
#include "engine/TaDialogs.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "core/TaLog.h"
#include "engine/TaLoadingScreen.h"
#include "engine/TaManager.h"
#include "app/TaObjectViewer.h"
#include "engine/TaOverlay.h"
#include "engine/TaSceneNodeAnimatorCamera.h"
#include "effects/TaGPUProgrammingServices.h"
#include "files/TaFile.h"
#include "render/TaRendererManager.h"
#include "driver/gl/TaGLCapabilities.h"
#include "scene/TaObjects.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

STaSetupParams nullSetup()
{
    return taTestSetup(ETADRIVER_NULL);
}

class TaEngineTest : public TaScratchTest
{
protected:
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
};

TEST_F(TaEngineTest, StartRestartAndShutDown)
{
    ASSERT_EQ(taSetup(nullSetup()), 0);
    STaEngineContext& engine = taEngine();
    ASSERT_TRUE(taIsStarted());
    ASSERT_NE(engine.device, nullptr);
    EXPECT_NE(engine.font, nullptr);
    EXPECT_EQ(engine.width, 640);
    EXPECT_EQ(engine.height, 480);
    EXPECT_EQ(taGetBackgroundColor(), 0u);

    // The camera looks down +z with the viewer's animator attached.
    ASSERT_NE(engine.camera, nullptr);
    EXPECT_EQ(engine.sceneManager->getActiveCamera(), engine.camera);
    EXPECT_EQ(engine.camera->getTarget(), irr::core::vector3df(0, 0, 100));
    ASSERT_NE(engine.cameraAnimator, nullptr);
    EXPECT_EQ(engine.camera->getAnimators().getSize(), 1u);
    EXPECT_EQ(*engine.camera->getAnimators().begin(), engine.cameraAnimator);
    EXPECT_EQ(engine.cameraAnimator->getMode(), 2);
    EXPECT_FLOAT_EQ(engine.cameraAnimator->getRotateSpeed(), 100.0f);
    EXPECT_FLOAT_EQ(engine.cameraAnimator->getMoveSpeed(), 0.01f);
    EXPECT_TRUE(engine.sceneManager->getParameters()->getAttributeAsBool("Allow_ZWrite_On_Transparent"));

    // The manager and its members; the cache below the data directory, read-write-check outside
    // archive mode.
    CTaManager* manager = taGetManager();
    ASSERT_NE(manager, nullptr);
    EXPECT_NE(manager->getEffectManager(), nullptr);
    EXPECT_NE(manager->getVideoDriverExt(), nullptr);
    EXPECT_NE(manager->getResourceManager(), nullptr);
    EXPECT_EQ(manager->getGPUProgrammingServices()->getShaderCacheFlags(), 7);
    EXPECT_NE(manager->getGPUProgrammingServices()->getShaderCacheDirectory().find("shadersCache"), std::string::npos);
    EXPECT_NE(taGetCurrentRenderer(), nullptr);

    // Eight ID tables of 1000 entries.
    STaIdTable* tables[] = {engine.images.get(), engine.objects.get(), engine.lights.get(), engine.fxEmitters.get(),
                            engine.cameraShaders.get(), engine.effects.get(), engine.cubeMaps.get(),
                            engine.renderers.get()};
    int marker = 0;
    for (STaIdTable* table : tables) {
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->capacity, TA_ID_TABLE_CAPACITY);
        EXPECT_EQ(idInsert(table, 999, &marker), 0);
        EXPECT_EQ(idInsert(table, 1000, &marker), -1);
        EXPECT_EQ(idRemove(table, 999), 0);
    }
    taSetBackgroundColor(0x123456);
    ASSERT_EQ(MakeLight(999), 0);

    // A second start is a fresh engine: empty tables, black background.
    ASSERT_EQ(taSetup(nullSetup()), 0);
    EXPECT_FALSE(LightExist(999));
    EXPECT_EQ(idHighest(taEngine().lights.get()), 0);
    EXPECT_EQ(taGetBackgroundColor(), 0u);

    taShutdown();
    EXPECT_FALSE(taIsStarted());
    EXPECT_EQ(taEngine().device, nullptr);
    EXPECT_EQ(taEngine().objects, nullptr);
    EXPECT_EQ(taGetManager(), nullptr);
    taShutdown(); // stopping a stopped engine does nothing
    EXPECT_FALSE(Sync());
}

TEST_F(TaEngineTest, MultisamplingRule)
{
    struct { int antialias, lightPrePass, samples; } cases[] = {
        {1, 0, 4}, {1, 1, 0}, {0, 1, 0}, {0, 0, 0}, {-1, -1, 0}, {-1, 0, 4},
    };
    for (const auto& c : cases) {
        STaSetupParams params = nullSetup();
        params.antialias = c.antialias;
        params.lightPrePass = c.lightPrePass;
        ASSERT_EQ(taSetup(params), 0);
        EXPECT_EQ(taEngine().multisamples, c.samples) << c.antialias << " " << c.lightPrePass;
    }
}

TEST_F(TaEngineTest, SetupFailureIsReportedAndLeavesTheEngineStopped)
{
    // The OpenGL driver with no display to open a window on.
    TaLogCapture log;
    {
        TaNoDisplay noDisplay;
        EXPECT_EQ(taSetup(taTestSetup(ETADRIVER_OPENGL)), -1);
    }
    EXPECT_FALSE(taIsStarted());
    EXPECT_EQ(taEngine().device, nullptr);
    int code = 0;
    ASSERT_NE(taGetLastError(&code), nullptr);
    // The step's text, then how to get a device on a line of its own.
    EXPECT_STREQ(taGetLastError(&code),
                 "Setup failed: fails to createDevice\nno X display: run under xvfb-run, or use -driver null");
    EXPECT_EQ(code, -1);
    EXPECT_EQ(log.boxes.size(), 1u);
}

TEST_F(TaEngineTest, OverlayQueueCapacity)
{
    ASSERT_EQ(taSetup(nullSetup()), 0);
    TaLogCapture log;
    for (int i = 0; i < TA_OVERLAY_MAX_DRAWS - TA_OVERLAY_MAX_TEXTS; ++i)
        ASSERT_EQ(taOverlayBox(0, 0, 1, 1, 0xFFFFFFFF), 0);
    for (int i = 0; i < TA_OVERLAY_MAX_TEXTS; ++i)
        ASSERT_EQ(taOverlayText(taEngine().font, 0, 0, 0xFFFFFFFF, std::string(600, 'x').c_str()), 0);
    EXPECT_EQ(taOverlayCount(), TA_OVERLAY_MAX_DRAWS);
    EXPECT_TRUE(log.lines.empty());
    // The 1025th draw, and a 65th text even when draws are left.
    EXPECT_EQ(taOverlayLine(0, 0, 1, 1, 0xFFFFFFFF), -1);
    EXPECT_TRUE(log.contains("too many 2D draws in one frame"));
    int code = 0;
    EXPECT_STREQ(taGetLastError(&code), "too many 2D draws in one frame\na frame holds at most 1024 draws");
    EXPECT_TRUE(Sync());
    EXPECT_EQ(taOverlayCount(), 0);
    for (int i = 0; i < TA_OVERLAY_MAX_TEXTS; ++i)
        ASSERT_EQ(taOverlayText(taEngine().font, 0, 0, 0xFFFFFFFF, "t"), 0);
    EXPECT_EQ(taOverlayText(taEngine().font, 0, 0, 0xFFFFFFFF, "one too many"), -1);
    EXPECT_STREQ(taGetLastError(&code),
                 "too many 2D draws in one frame\na frame holds at most 64 texts (of 1024 draws in all)");
    EXPECT_EQ(taOverlayBox(0, 0, 1, 1, 0xFFFFFFFF), 0);
}

TEST_F(TaEngineTest, MinimisedFrameDrawsNothingAndDropsTheQueue)
{
    ASSERT_EQ(taSetup(nullSetup()), 0);
    CTaLastFrameInfo* frames = taGetManager()->getRendererManager()->getLastFrameInfo();
    taMinimizeWindow();
    EXPECT_TRUE(taIsWindowMinimized());
    ASSERT_EQ(taOverlayBox(0, 0, 10, 10, 0xFFFF0000), 0);
    EXPECT_FALSE(Sync());
    EXPECT_EQ(taOverlayCount(), 0);
    EXPECT_EQ(frames->count(), 0);
    taRestoreWindow();
    EXPECT_FALSE(taIsWindowMinimized());
    // The first drawn frame starts the clock; the second is the first with a duration.
    EXPECT_TRUE(Sync());
    EXPECT_EQ(frames->count(), 0);
    EXPECT_TRUE(Sync());
    EXPECT_EQ(frames->count(), 1);
}

TEST_F(TaEngineTest, EndWithoutBeginWarns)
{
    ASSERT_EQ(taSetup(nullSetup()), 0);
    TaLogCapture log;
    EXPECT_FALSE(taEndScene());
    EXPECT_TRUE(log.contains("WARN : endRendering called while not in Rendering"));
}

TEST_F(TaEngineTest, CameraRange)
{
    ASSERT_EQ(taSetup(nullSetup()), 0);
    struct { float nearPlane, farPlane, wantNear, wantFar; } cases[] = {
        {1.0f, 500.0f, 1.0f, 500.0f}, {5.0f, 5.0f, 0.1f, 1000.0f}, {0.0f, 0.0f, 0.1f, 1000.0f},
    };
    for (const auto& c : cases) {
        taSetCameraRange(c.nearPlane, c.farPlane);
        EXPECT_FLOAT_EQ(taEngine().camera->getNearValue(), c.wantNear);
        EXPECT_FLOAT_EQ(taEngine().camera->getFarValue(), c.wantFar);
    }
    // Start-up applies the setup's range.
    STaSetupParams params = nullSetup();
    params.cameraNear = 2.0f;
    params.cameraFar = 20.0f;
    ASSERT_EQ(taSetup(params), 0);
    EXPECT_FLOAT_EQ(taEngine().camera->getFarValue(), 20.0f);
}

// Posts an event the way the device does.
void post(const irr::SEvent& event)
{
    taEngine().device->postEventFromUser(event);
}

irr::SEvent keyEvent(irr::EKEY_CODE key, bool down)
{
    irr::SEvent event;
    event.EventType = irr::EET_KEY_INPUT_EVENT;
    event.KeyInput.Key = key;
    event.KeyInput.PressedDown = down;
    event.KeyInput.Shift = false;
    event.KeyInput.Control = false;
    event.KeyInput.Char = 0;
    return event;
}

irr::SEvent mouseEvent(irr::EMOUSE_INPUT_EVENT kind, int x, int y, float wheel = 0)
{
    irr::SEvent event;
    event.EventType = irr::EET_MOUSE_INPUT_EVENT;
    event.MouseInput.Event = kind;
    event.MouseInput.X = x;
    event.MouseInput.Y = y;
    event.MouseInput.Wheel = wheel;
    event.MouseInput.ButtonStates = 0;
    event.MouseInput.Shift = event.MouseInput.Control = false;
    return event;
}

irr::SEvent userEvent(int first, int second)
{
    irr::SEvent event;
    event.EventType = irr::EET_USER_EVENT;
    event.UserEvent.UserData1 = first;
    event.UserEvent.UserData2 = second;
    return event;
}

TEST_F(TaEngineTest, InputState)
{
    // Nothing is recorded while the engine is stopped.
    irr::SEvent escape = keyEvent(irr::KEY_ESCAPE, true);
    taGetEventReceiver().OnEvent(escape);
    EXPECT_FALSE(taEscapeKey());

    ASSERT_EQ(taSetup(nullSetup()), 0);
    using irr::EKEY_CODE;
    struct { irr::EKEY_CODE key; bool down; int code; bool want; } keys[] = {
        {irr::KEY_LSHIFT, true, TA_KEY_SHIFT, true},
        {irr::KEY_RSHIFT, true, TA_KEY_SHIFT, true},
        {irr::KEY_LSHIFT, false, TA_KEY_SHIFT, true}, // the right one is still held
        {irr::KEY_RSHIFT, false, TA_KEY_SHIFT, false},
        {irr::KEY_RCONTROL, true, TA_KEY_CONTROL, true},
        {irr::KEY_RCONTROL, false, TA_KEY_CONTROL, false},
        {irr::KEY_KEY_A, true, 'A', true},
        {irr::KEY_ESCAPE, true, TA_KEY_ESCAPE, true},
        {irr::KEY_ESCAPE, false, TA_KEY_ESCAPE, false},
    };
    for (const auto& k : keys) {
        post(keyEvent(k.key, k.down));
        EXPECT_EQ(taKeyState(k.code), k.want) << k.key << " " << k.down;
    }
    EXPECT_TRUE(taEscapeKey()); // the latch stays
    EXPECT_FALSE(taKeyState(-1));
    EXPECT_FALSE(taKeyState(256));

    post(mouseEvent(irr::EMIE_LMOUSE_PRESSED_DOWN, 10, 20));
    EXPECT_TRUE(taMouseButtonLeft());
    post(mouseEvent(irr::EMIE_LMOUSE_LEFT_UP, 10, 20));
    EXPECT_FALSE(taMouseButtonLeft());
    post(mouseEvent(irr::EMIE_MOUSE_WHEEL, 10, 20, 1.0f));
    post(mouseEvent(irr::EMIE_MOUSE_WHEEL, 10, 20, 1.0f));
    post(mouseEvent(irr::EMIE_MOUSE_WHEEL, 10, 20, -1.0f));
    EXPECT_EQ(taMouseWheel(), 1);
    post(mouseEvent(irr::EMIE_MOUSE_MOVED, 700, -5));
    EXPECT_EQ(taMouseX(), 641);
    EXPECT_EQ(taMouseY(), -1);
    post(mouseEvent(irr::EMIE_MOUSE_MOVED, 639, 479));
    EXPECT_EQ(taMouseX(), 639);
    EXPECT_EQ(taMouseY(), 479);

    post(userEvent(TA_USER_EVENT_FRAME, 42));
    post(userEvent(0x1234, 7)); // not the frame message
    EXPECT_EQ(taLastUserValue(), 42);

    irr::SEvent joystick;
    joystick.EventType = irr::EET_JOYSTICK_INPUT_EVENT;
    joystick.JoystickEvent = {};
    joystick.JoystickEvent.Joystick = 0;
    joystick.JoystickEvent.Axis[0] = -32767;
    joystick.JoystickEvent.ButtonStates = 5;
    joystick.JoystickEvent.POV = 9000;
    post(joystick);
    EXPECT_EQ(taJoystickState(0), -32767);
    EXPECT_EQ(taJoystickState(3), 5);
    EXPECT_EQ(taJoystickState(4), 9000);
    EXPECT_EQ(taJoystickState(5), 0);

    // A restart starts from a clean state.
    ASSERT_EQ(taSetup(nullSetup()), 0);
    EXPECT_FALSE(taEscapeKey());
    EXPECT_EQ(taMouseWheel(), 0);
}

TEST_F(TaEngineTest, ServicesWithoutPixels)
{
    ASSERT_EQ(taSetup(nullSetup()), 0);
    TaLogCapture log;
    int code = 0;
    EXPECT_EQ(taScreenshot("shot.png"), -1);
    EXPECT_STREQ(taGetLastError(&code), "failed to grab the screen\n");
    EXPECT_EQ(code, 1);

    const char* changed[] = {"shaders\\water.hlsl"};
    taReloadShaders(1, changed);
    EXPECT_TRUE(log.contains("INFO : detected file change shaders/water.hlsl"));
    EXPECT_TRUE(log.contains("INFO : updating shaders..."));
    EXPECT_TRUE(log.contains("INFO : updating shaders done"));

    taFireDeviceReset();
    EXPECT_TRUE(log.contains("taIrrlicht: D3D Device is about to RESET"));
    EXPECT_EQ(taGetManager()->deviceResetCount(), 1);
}


} // namespace

namespace {

// A loading screen left open (a load that failed half-way) is closed by shut-down: its image is
// released with the device, not dropped by the next start into a driver that is gone.
TEST_F(TaEngineTest, ShutDownReleasesAnOpenLoadingScreen)
{
    ASSERT_EQ(taSetup(nullSetup()), 0);
    irr::video::IVideoDriver* driver = taEngine().videoDriver;
    irr::video::IImage* picture = driver->createImage(irr::video::ECF_A8R8G8B8, irr::core::dimension2du(4, 4));
    picture->fill(irr::video::SColor(255, 10, 20, 30));
    ASSERT_TRUE(driver->writeImageToFile(picture, "loading.png"));
    picture->drop();
    taLoadingScreenBegin();
    irr::video::ITexture* image = driver->getTexture("loading.png"); // the one in the cache
    ASSERT_NE(image, nullptr);
    image->grab();
    const irr::s32 held = image->getReferenceCount(); // the driver's cache, the loading screen, ours
    taShutdown();
    EXPECT_EQ(image->getReferenceCount(), held - 2) << "the loading screen still holds its image";
    image->drop();
    ASSERT_EQ(taSetup(nullSetup()), 0);
    taLoadingScreenBegin();
    taLoadingScreenEnd();
}

TEST(TaLoadingScreenTest, BarGeometry)
{
    struct { int width, height, imageHeight, percent; irr::core::rect<irr::s32> frame, inside, bar; } cases[] = {
        // 320 x 240: a 160 x 24 frame moved down by 24, the inside 6 smaller, the bar 6 smaller again.
        {320, 240, 0, 50, {80, 132, 240, 156}, {83, 135, 237, 153}, {86, 138, 160, 150}},
        {320, 240, 0, 0, {80, 132, 240, 156}, {83, 135, 237, 153}, {86, 138, 86, 150}},
        {320, 240, 0, 150, {80, 132, 240, 156}, {83, 135, 237, 153}, {86, 138, 234, 150}},
        // An image 20 high moves everything down by 10 more.
        {320, 240, 20, 100, {80, 142, 240, 166}, {83, 145, 237, 163}, {86, 148, 234, 160}},
        // 1280 x 720: 640 x 72 at (320, 396); step 18.
        {1280, 720, 0, 33, {320, 396, 960, 468}, {329, 405, 951, 459}, {338, 414, 338 + 604 * 33 / 100, 450}},
    };
    for (const auto& c : cases) {
        const STaLoadingBar bar = taLoadingBarGeometry(c.width, c.height, c.imageHeight, c.percent);
        EXPECT_EQ(bar.frame, c.frame) << c.width << " " << c.percent;
        EXPECT_EQ(bar.inside, c.inside) << c.width << " " << c.percent;
        EXPECT_EQ(bar.bar, c.bar) << c.width << " " << c.percent;
    }
}

} // namespace
