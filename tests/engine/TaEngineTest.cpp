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
    EXPECT_FLOAT_EQ(engine.cameraAnimator->getMoveSpeed(), 100.0f);
    EXPECT_FLOAT_EQ(engine.cameraAnimator->getRotateSpeed(), 0.01f);
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
    EXPECT_STREQ(taGetLastError(&code), "Setup failed: fails to createDevice");
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
    EXPECT_STREQ(taGetLastError(&code), "too many 2D draws in one frame");
    EXPECT_TRUE(Sync());
    EXPECT_EQ(taOverlayCount(), 0);
    for (int i = 0; i < TA_OVERLAY_MAX_TEXTS; ++i)
        ASSERT_EQ(taOverlayText(taEngine().font, 0, 0, 0xFFFFFFFF, "t"), 0);
    EXPECT_EQ(taOverlayText(taEngine().font, 0, 0, 0xFFFFFFFF, "one too many"), -1);
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

TEST(TaLastFrameInfoTest, KeepsTheLastThirtyFrames)
{
    CTaLastFrameInfo info;
    irr::core::matrix4 identity;
    info.update(1000, identity, identity); // the first frame has no duration
    EXPECT_EQ(info.count(), 1);
    EXPECT_FLOAT_EQ(info.averageFrameTime(), 0.0f);
    for (int i = 1; i <= 40; ++i)
        info.update(1000 + i * 20, identity, identity);
    EXPECT_EQ(info.count(), 30);
    EXPECT_FLOAT_EQ(info.averageFrameTime(), 0.020f);
    EXPECT_FLOAT_EQ(info.framesPerSecond(), 50.0f);
}

TEST(TaGLCapabilityTest, MissingCapabilities)
{
    struct { const char* version; const char* glsl; const char* extensions; const char* missing; } cases[] = {
        {"4.5 (Compatibility Profile) Mesa 22.3.6", "4.50", "", ""},
        {"3.3.0 NVIDIA", "3.30 NVIDIA", "", ""},
        {"2.1 Mesa", "1.20", "GL_ARB_texture_float GL_ARB_framebuffer_object GL_ARB_instanced_arrays "
                             "GL_ARB_draw_instanced", "Missing GLSL 3.30 (OpenGL 3.3 shaders). Please install this library.\n"},
        {"2.1 Mesa", "3.30", "GL_ARB_framebuffer_object GL_ARB_instanced_arrays GL_ARB_draw_instanced",
         "Missing OpenGL float render targets (GL_ARB_texture_float). Please install this library.\n"},
        {"3.2", "1.50", "GL_ARB_instanced_arrays_x",
         "Missing OpenGL instancing (GL_ARB_instanced_arrays). Please install this library.\n"
         "Missing GLSL 3.30 (OpenGL 3.3 shaders). Please install this library.\n"},
        {nullptr, nullptr, nullptr, "Missing OpenGL. Please install this library.\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(taGLCapabilityText(c.version, c.glsl, c.extensions), c.missing) << (c.version ? c.version : "none");
}

TEST(TaDialogLogicTest, ScreenModeListLabelsAndSelection)
{
    // X reports 24 for 32-bit modes; 16-bit modes and duplicates go.
    const std::vector<STaVideoModeEntry> reported = {
        {1920, 1080, 24, 60}, {800, 600, 16, 60}, {1280, 720, 24, 60}, {1280, 720, 24, 75},
        {1024, 768, 32, 60}, {640, 480, 24, 60},
    };
    const std::vector<STaVideoModeEntry> list = taScreenModeList(reported);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].width, 640);
    EXPECT_EQ(list[1].width, 1024);
    EXPECT_EQ(list[2].width, 1280);
    EXPECT_EQ(list[3].width, 1920);
    EXPECT_EQ(list[3].bpp, 32);
    EXPECT_EQ(taScreenModeLabel(list[0]), " 640 x  480");
    EXPECT_EQ(taScreenModeLabel(list[2]), "1280 x  720 (recommended)");

    struct { std::vector<STaVideoModeEntry> list; STaVideoModeEntry desktop; int selected; } cases[] = {
        {list, {1024, 768, 24, 0}, 2},                                   // recommended first
        {{{640, 480, 32, 0}, {1024, 768, 32, 0}, {1920, 1080, 32, 0}}, {1024, 768, 24, 0}, 1}, // desktop
        {{{640, 480, 32, 0}, {1920, 1080, 32, 0}}, {800, 600, 32, 0}, 1},                  // 1920 x 1080
        {{{640, 480, 32, 0}}, {800, 600, 32, 0}, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(taScreenModeInitialSelection(c.list, c.desktop), c.selected);

    std::vector<STaVideoModeEntry> many;
    for (int i = 0; i < 300; ++i)
        many.push_back({100 + i, 100, 32, 60});
    EXPECT_EQ(taScreenModeList(many).size(), 200u);
}

TEST(TaDialogLogicTest, FileFiltersIgnoreCase)
{
    struct { const char* name; int filter; bool match; } cases[] = {
        {"city.TSCN", 1, true}, {"intro.demo.ini", 1, true}, {"main.TLua", 1, true}, {"a.x", 1, true},
        {"setup.ini", 1, false}, {"a.xx", 1, false}, {"intro.demo.ini", 5, true}, {"readme", 11, true},
        {"a.lua", 9, true}, {"a.tlua", 9, true}, {"a.tscn", 9, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(taFileMatchesFilter(c.name, taFileRequesterFilters[c.filter]), c.match) << c.name << " " << c.filter;
}

} // namespace

namespace {

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

namespace {

class TaCameraAndLightsTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL)), 0);
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
};

TEST_F(TaCameraAndLightsTest, CameraOperations)
{
    STaEngineContext& engine = taEngine();
    // The vertical field of view follows the horizontal one through the screen's aspect.
    struct { float degrees; int width, height; float vertical; } fields[] = {
        {90, 640, 480, 2 * std::atan(0.75f)}, {90, 480, 480, irr::core::HALF_PI}, {60, 0, 0, 60 * irr::core::DEGTORAD},
    };
    for (const auto& f : fields)
        EXPECT_NEAR(taVerticalFieldOfView(f.degrees, f.width, f.height), f.vertical, 1e-5f);
    SetCameraFOV(90);
    EXPECT_NEAR(engine.camera->getFOV(), 2 * std::atan(0.75f), 1e-5f);

    struct { int mode, animatorMode; } modes[] = {{1, 3}, {2, 4}, {0, 2}, {7, 2}};
    for (const auto& m : modes) {
        SetCameraMode(m.mode);
        EXPECT_EQ(engine.cameraAnimator->getMode(), m.animatorMode) << m.mode;
    }
    SetCameraMoveSpeed(5);
    SetCameraJumpSpeed(7);
    EXPECT_FLOAT_EQ(engine.cameraAnimator->getMoveSpeed(), 5);
    EXPECT_FLOAT_EQ(engine.cameraAnimator->getJumpSpeed(), 7);

    // A point straight ahead of the camera lands in the middle of the screen.
    PositionCamera(0, 0, -5);
    RotateCamera(0, 0, 0);
    engine.camera->OnAnimate(0);
    engine.camera->render(); // applies the view and projection
    int x = 0, y = 0;
    PositionToScreen(0, 0, 10, &x, &y);
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 240);
    // Turned 90 degrees about y, the camera looks along +x.
    RotateCamera(0, 90, 0);
    irr::core::vector3df look = engine.camera->getTarget() - engine.camera->getPosition();
    EXPECT_NEAR(look.normalize().X, 1.0f, 1e-4f);

    SetCameraDOF(1, 12, 2.8f);
    SetCameraAdvancedDOF(1, 1, 30, 10, 0.5f);
    EXPECT_TRUE(engine.renderSettings.dofEnabled);
    EXPECT_FLOAT_EQ(engine.renderSettings.focalDistance, 12);
    EXPECT_FLOAT_EQ(engine.renderSettings.dofAdvanced, 1);
    EXPECT_FLOAT_EQ(engine.renderSettings.dofFocalRangeMax, 30);
    SetCameraStereo(1, 0.06f, 2, 4);
    EXPECT_FLOAT_EQ(engine.stereo3D[1], 0.06f);

    const size_t animators = engine.camera->getAnimators().getSize();
    AutomaticCameraCollisionOn(1, 9.8f, 0.5f);
    EXPECT_EQ(engine.camera->getAnimators().getSize(), animators + 1);
    AutomaticCameraCollisionOn(2, 9.8f, 0.5f); // replaces, never stacks
    EXPECT_EQ(engine.camera->getAnimators().getSize(), animators + 1);
    AutomaticCameraCollisionOff();
    EXPECT_EQ(engine.camera->getAnimators().getSize(), animators);
}

TEST_F(TaCameraAndLightsTest, Lights)
{
    ASSERT_EQ(MakeLight(3), 0);
    auto* light = static_cast<irr::scene::ILightSceneNode*>(idGet(taEngine().lights.get(), 3));
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->getLightType(), irr::video::ELT_POINT);
    EXPECT_FLOAT_EQ(light->getRadius(), 10000000.0f);
    ASSERT_EQ(SetSpotLight(3, 20, 40), 0);
    EXPECT_EQ(light->getLightType(), irr::video::ELT_SPOT);
    EXPECT_FLOAT_EQ(light->getLightData().InnerCone, 20);
    EXPECT_FLOAT_EQ(light->getLightData().OuterCone, 40);
    ASSERT_EQ(SetDirectionalLight(3, 10, 20, 0), 0);
    EXPECT_EQ(light->getLightType(), irr::video::ELT_DIRECTIONAL);
    EXPECT_EQ(light->getRotation(), irr::core::vector3df(10, 20, 0));
    ASSERT_EQ(ColorLight(3, 0xFF8000), 0);
    EXPECT_FLOAT_EQ(light->getLightData().DiffuseColor.g, 128 / 255.0f);
    HideLight(3);
    EXPECT_FALSE(LightVisible(3));
    ColorAmbientLight(0x050505);
    EXPECT_FLOAT_EQ(taEngine().sceneManager->getAmbientLight().r, 5 / 255.0f);
    DeleteLight(3);
    EXPECT_FALSE(LightExist(3));
    TaLogCapture log;
    EXPECT_EQ(MakeLight(1000), -1);
    EXPECT_TRUE(log.contains("invalid Light ID 1000 : invalid ID 1000 greater or equals than 1000"));
}

TEST(TaObjectViewerTest, AnimationFrameAtThirtyFramesPerSecond)
{
    struct { unsigned elapsed; int frames, frame; } cases[] = {
        {0, 1, 0}, {5000, 1, 0}, {0, 10, 0}, {33, 10, 0}, {34, 10, 1}, {332, 10, 9}, {333, 10, 0}, {1000, 10, 0},
        {1100, 10, 3},
    };
    for (const auto& c : cases)
        EXPECT_EQ(taObjectViewerFrame(c.elapsed, c.frames), c.frame) << c.elapsed << " " << c.frames;
}

} // namespace
