// The camera animator on a null device of its own, driven through the device's events and explicit
// animation times: the placed camera, and the ride's look, movement, damping, steps and jump.
#include "engine/TaSceneNodeAnimatorCamera.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

namespace {

using irr::core::position2df;
using irr::core::vector3df;

// A window whose focus and cursor the test sets.
class CFakeWindow : public ITaCameraWindow
{
public:
    bool hasFocus() override { return focus; }
    position2df cursor() override { return at; }
    void setCursor(const position2df& relative) override { at = relative; }

    bool focus = true;
    position2df at{0.5f, 0.5f};
};

void expectNear(const vector3df& actual, const vector3df& expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.X, expected.X, tolerance);
    EXPECT_NEAR(actual.Y, expected.Y, tolerance);
    EXPECT_NEAR(actual.Z, expected.Z, tolerance);
}

class TaCameraAnimatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_device = irr::createDevice(irr::video::EDT_NULL, irr::core::dimension2du(640, 480));
        ASSERT_NE(m_device, nullptr);
        irr::scene::ISceneManager* scene = m_device->getSceneManager();
        m_camera = scene->addCameraSceneNode(nullptr, vector3df(0, 0, 0), vector3df(0, 0, 100));
        scene->setActiveCamera(m_camera);
        // As the engine makes it: rotate speed 100, move speed 0.01.
        m_animator = new CTaSceneNodeAnimatorCamera(100.0f, 0.01f);
        m_animator->setWindow(&m_window);
        m_camera->addAnimator(m_animator);
    }
    void TearDown() override
    {
        m_animator->drop();
        m_device->drop();
    }
    void key(irr::EKEY_CODE code, bool down)
    {
        irr::SEvent event{};
        event.EventType = irr::EET_KEY_INPUT_EVENT;
        event.KeyInput.Key = code;
        event.KeyInput.PressedDown = down;
        m_device->postEventFromUser(event);
    }
    void leftButton(bool down)
    {
        irr::SEvent event{};
        event.EventType = irr::EET_MOUSE_INPUT_EVENT;
        event.MouseInput.Event = down ? irr::EMIE_LMOUSE_PRESSED_DOWN : irr::EMIE_LMOUSE_LEFT_UP;
        m_device->postEventFromUser(event);
    }
    void animate(irr::u32 timeMs) { m_animator->animateNode(m_camera, timeMs); }
    // Animates every 50 ms (three whole steps each) from `from` up to `to`.
    void animateEvery50(irr::u32 from, irr::u32 to)
    {
        for (irr::u32 t = from; t <= to; t += 50)
            animate(t);
    }
    // A ride in `mode` that starts at `timeMs` looking along `rotation` (placed first).
    void ride(int mode, irr::u32 timeMs, const vector3df& rotation = vector3df(0, 0, 0))
    {
        m_animator->setMode(ETACAMERA_PLACED);
        m_animator->setPlacedPosition(vector3df(0, 0, 0));
        m_animator->setPlacedRotation(rotation);
        animate(timeMs);
        m_animator->setMode(mode);
        animate(timeMs);
    }
    vector3df position() const { return m_camera->getAbsolutePosition(); }
    vector3df look() const { return (m_camera->getTarget() - m_camera->getAbsolutePosition()).normalize(); }

    irr::IrrlichtDevice* m_device = nullptr;
    irr::scene::ICameraSceneNode* m_camera = nullptr;
    CTaSceneNodeAnimatorCamera* m_animator = nullptr;
    CFakeWindow m_window;
};

TEST_F(TaCameraAnimatorTest, PlacedCameraLooksAlongItsRotationWithUpRotatedToo)
{
    EXPECT_EQ(m_animator->getType(), irr::scene::ESCENE_NODE_ANIMATOR_TYPE(10001));
    // Nothing placed yet: the camera stays as it was made.
    animate(0);
    EXPECT_EQ(m_camera->getTarget(), vector3df(0, 0, 100));
    const float h = 0.70710678f;
    const struct {
        vector3df rotation, forward, up;
    } cases[] = {
        {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}},   {{0, 90, 0}, {1, 0, 0}, {0, 1, 0}},   {{0, 180, 0}, {0, 0, -1}, {0, 1, 0}},
        {{90, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {{0, 0, 90}, {0, 0, 1}, {-1, 0, 0}}, {{45, 90, 0}, {h, -h, 0}, {h, h, 0}},
    };
    const vector3df at(1, 2, 3);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rotation.X << " " << c.rotation.Y << " " << c.rotation.Z);
        m_animator->setPlacedPosition(at);
        m_animator->setPlacedRotation(c.rotation);
        animate(0);
        expectNear(position(), at);
        expectNear(m_camera->getTarget(), at + c.forward);
        expectNear(m_camera->getUpVector(), c.up);
        expectNear(m_camera->getRotation(), c.rotation); // children of the camera follow the bank too
    }
    // Placed again at every step, whoever moved the camera meanwhile.
    m_camera->setPosition(vector3df(9, 9, 9));
    animate(16);
    expectNear(position(), at);
}

TEST_F(TaCameraAnimatorTest, RideStartsFromTheCurrentViewAndKeepsPlacedValuesForLater)
{
    ride(ETACAMERA_RIDE_DRAG, 0, vector3df(30, -135, 0));
    EXPECT_NEAR(m_animator->getHeading(), -135.0f, 1e-3f);
    EXPECT_NEAR(m_animator->getPitch(), 30.0f, 1e-3f);
    const vector3df view = look();
    animate(100);
    expectNear(look(), view);
    // What the scene places during a ride waits; it is where the camera goes once the ride ends.
    m_animator->setPlacedPosition(vector3df(5, 0, 0));
    animate(200);
    expectNear(position(), vector3df(0, 0, 0));
    m_animator->setMode(ETACAMERA_PLACED);
    animate(300);
    expectNear(position(), vector3df(5, 0, 0));
}

TEST_F(TaCameraAnimatorTest, HeldKeyRampsUpSettlesAtMoveSpeedAndCoasts)
{
    ride(ETACAMERA_RIDE_DRAG, 0);
    key(irr::KEY_UP, true);
    // One step of 17 ms with the ramp at 17 of its 100 ms: (1 - 0.85) * 0.17 * 0.01 * 17.
    animate(17);
    EXPECT_NEAR(position().Z, 0.15f * 0.17f * 0.01f * 17.0f, 1e-6f);
    // Settled: 0.01 units per ms, straight ahead.
    animateEvery50(67, 1967);
    const float before = position().Z;
    animate(2067);
    EXPECT_NEAR(position().Z - before, 1.0f, 1e-3f);
    EXPECT_NEAR(position().X, 0.0f, 1e-6f);
    EXPECT_NEAR(position().Y, 0.0f, 1e-6f);
    // One longer step (1.5 steps' time) keeps 0.85 of the velocity and adds a force for its length.
    const float settled = 0.01f * float(CTaSceneNodeAnimatorCamera::kStepMs);
    const float last = position().Z;
    animate(2092);
    EXPECT_NEAR(position().Z - last, 0.85f * settled + 0.15f * 0.01f * 25.0f, 1e-4f);
    // Released, the camera glides to a stop: 0.85 of the speed left after each step.
    key(irr::KEY_UP, false);
    const float released = position().Z;
    animateEvery50(2142, 4142);
    const float glide = position().Z - released;
    EXPECT_GT(glide, 0.5f);
    EXPECT_LT(glide, 1.5f);
    const float stopped = position().Z;
    animate(4242);
    EXPECT_NEAR(position().Z, stopped, 1e-5f);
}

TEST_F(TaCameraAnimatorTest, EachKeyMovesAlongOrAcrossTheView)
{
    const float h = 0.70710678f;
    // Looking along +x and 45 degrees down.
    const struct {
        irr::EKEY_CODE key;
        bool vertical;
        vector3df direction;
    } cases[] = {
        {irr::KEY_UP, true, {h, -h, 0}},   {irr::KEY_DOWN, true, {-h, h, 0}}, {irr::KEY_LEFT, true, {0, 0, 1}},
        {irr::KEY_RIGHT, true, {0, 0, -1}}, {irr::KEY_UP, false, {1, 0, 0}},  {irr::KEY_LEFT, false, {0, 0, 1}},
    };
    irr::u32 t = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.key << (c.vertical ? " vertical" : " horizontal"));
        m_animator->setVerticalMovement(c.vertical);
        ride(ETACAMERA_RIDE_DRAG, t, vector3df(45, 90, 0));
        key(c.key, true);
        animateEvery50(t + 50, t + 1000);
        key(c.key, false);
        expectNear(vector3df(position()).normalize(), c.direction, 1e-3f);
        t += 2000;
    }
}

TEST_F(TaCameraAnimatorTest, MissedStepsAreCaughtUpAtTheirOwnTimes)
{
    // One animation 100 ms after the start runs the six steps a 50 ms rhythm runs.
    ride(ETACAMERA_RIDE_DRAG, 0);
    key(irr::KEY_UP, true);
    animate(100);
    const float once = position().Z;
    key(irr::KEY_UP, false);

    ride(ETACAMERA_RIDE_DRAG, 1000);
    key(irr::KEY_UP, true);
    animate(1050);
    animate(1100);
    EXPECT_NEAR(position().Z, once, 1e-6f);
    EXPECT_GT(once, 0.0f);
    // Up to 16 ms after a step nothing happens yet.
    const float now = position().Z;
    animate(1116);
    EXPECT_EQ(position().Z, now);
    animate(1117);
    EXPECT_GT(position().Z, now);
}

TEST_F(TaCameraAnimatorTest, FirstPersonLooksFromTheCentreAndWaitsForTheFocus)
{
    ride(ETACAMERA_RIDE_FIRST_PERSON, 0);
    // A tenth of the window to the right: 10 degrees in all, 30 % of it in the first step.
    m_window.at = position2df(0.6f, 0.5f);
    animate(17);
    EXPECT_NEAR(m_animator->getHeading(), 3.0f, 1e-3f);
    EXPECT_EQ(m_window.at, position2df(0.5f, 0.5f));
    animateEvery50(67, 2017);
    EXPECT_NEAR(m_animator->getHeading(), 10.0f, 1e-3f);
    // Pitch stops 88 degrees below and above the horizon.
    for (irr::u32 t = 2067; t < 3000; t += 50) {
        m_window.at = position2df(0.5f, 1.0f);
        animate(t);
    }
    EXPECT_NEAR(m_animator->getPitch(), 88.0f, 1e-3f);
    for (irr::u32 t = 3017; t < 4000; t += 50) {
        m_window.at = position2df(0.5f, 0.0f);
        animate(t);
    }
    EXPECT_NEAR(m_animator->getPitch(), -88.0f, 1e-3f);
    // Inverted, moving the mouse down looks up.
    ride(ETACAMERA_RIDE_FIRST_PERSON, 5000);
    m_animator->setInvertMouse(true);
    m_window.at = position2df(0.5f, 0.6f);
    animate(5017);
    EXPECT_NEAR(m_animator->getPitch(), -3.0f, 1e-3f);
    m_animator->setInvertMouse(false);

    // Without the focus nothing moves and the cursor is left alone; keys held then are forgotten,
    // and the cursor's wanderings meanwhile do not turn the view when the focus comes back.
    ride(ETACAMERA_RIDE_FIRST_PERSON, 6000);
    key(irr::KEY_UP, true);
    m_window.focus = false;
    m_window.at = position2df(0.9f, 0.9f);
    animateEvery50(6050, 6500);
    expectNear(position(), vector3df(0, 0, 0));
    EXPECT_EQ(m_window.at, position2df(0.9f, 0.9f));
    m_window.focus = true;
    animateEvery50(6550, 7000);
    expectNear(position(), vector3df(0, 0, 0));
    EXPECT_NEAR(m_animator->getHeading(), 0.0f, 1e-3f);
    EXPECT_NEAR(m_animator->getPitch(), 0.0f, 1e-3f);
    key(irr::KEY_UP, false);
}

TEST_F(TaCameraAnimatorTest, DragRideLooksOnlyWhileTheLeftButtonIsHeld)
{
    ride(ETACAMERA_RIDE_DRAG, 0);
    m_window.at = position2df(0.6f, 0.5f);
    animate(17);
    EXPECT_EQ(m_animator->getHeading(), 0.0f);
    leftButton(true);
    m_window.at = position2df(0.7f, 0.55f);
    animate(34);
    EXPECT_NEAR(m_animator->getHeading(), 3.0f, 1e-3f);
    EXPECT_NEAR(m_animator->getPitch(), 1.5f, 1e-3f);
    EXPECT_EQ(m_window.at, position2df(0.7f, 0.55f)); // the cursor stays where it is dragged
    leftButton(false);
    m_window.at = position2df(0.2f, 0.2f);
    animateEvery50(84, 2034);
    EXPECT_NEAR(m_animator->getHeading(), 10.0f, 1e-3f);
    EXPECT_NEAR(m_animator->getPitch(), 5.0f, 1e-3f);
}

TEST_F(TaCameraAnimatorTest, NothingMovesUnlessTheActiveCameraTakesInput)
{
    irr::scene::ISceneManager* scene = m_device->getSceneManager();
    ride(ETACAMERA_RIDE_DRAG, 0);
    key(irr::KEY_UP, true);
    m_camera->setInputReceiverEnabled(false);
    animateEvery50(50, 500);
    expectNear(position(), vector3df(0, 0, 0));
    m_camera->setInputReceiverEnabled(true);
    irr::scene::ICameraSceneNode* other = scene->addCameraSceneNode();
    scene->setActiveCamera(other);
    animateEvery50(550, 1000);
    expectNear(position(), vector3df(0, 0, 0));
    scene->setActiveCamera(m_camera);
    animateEvery50(1050, 1500);
    EXPECT_GT(position().Z, 0.1f);
    key(irr::KEY_UP, false);
}

TEST_F(TaCameraAnimatorTest, RightControlJumpsTheCollisionResponse)
{
    irr::scene::ISceneManager* scene = m_device->getSceneManager();
    irr::scene::IMetaTriangleSelector* world = scene->createMetaTriangleSelector();
    irr::scene::ISceneNodeAnimatorCollisionResponse* response = scene->createCollisionResponseAnimator(
        world, m_camera, vector3df(1, 1, 1), vector3df(0, -1, 0), vector3df(0, 0, 0));
    world->drop();
    m_camera->addAnimator(response);
    m_animator->setJumpSpeed(0.05f);
    ride(ETACAMERA_RIDE_DRAG, 0);
    animate(17);
    EXPECT_FALSE(response->isFalling());
    key(irr::KEY_RCONTROL, true);
    animate(34);
    EXPECT_TRUE(response->isFalling());
    key(irr::KEY_RCONTROL, false);
    m_camera->removeAnimator(response);
    response->drop();
}

} // namespace
