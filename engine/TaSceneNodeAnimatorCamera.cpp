// The engine's camera animator: the placed camera and the ride.
#include "engine/TaSceneNodeAnimatorCamera.h"

#include "engine/TaEngine.h"

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

const core::position2df kCentre(0.5f, 0.5f);
// A ride that was not animated for longer (a stalled frame, a debugger) catches up this much only:
// the time before is dropped rather than run as hundreds of steps.
constexpr double kMaxCatchUpMs = 1000.0;

// The engine's window: its focus (the null device keeps the state the window operations asked for)
// and the device's cursor.
class CTaEngineCameraWindow : public ITaCameraWindow
{
public:
    bool hasFocus() override { return taIsWindowActive(); }
    core::position2df cursor() override
    {
        gui::ICursorControl* control = cursorControl();
        if (!control)
            return kCentre;
        const core::position2df position = control->getRelativePosition();
        return std::isfinite(position.X) && std::isfinite(position.Y) ? position : kCentre;
    }
    void setCursor(const core::position2df& relative) override
    {
        if (gui::ICursorControl* control = cursorControl())
            control->setPosition(relative);
    }

private:
    static gui::ICursorControl* cursorControl()
    {
        IrrlichtDevice* device = taEngine().device;
        return device ? device->getCursorControl() : nullptr;
    }
};

// Degrees into (-180, 180].
float wrapDegrees(float degrees)
{
    degrees = std::fmod(degrees, 360.0f);
    if (degrees > 180.0f)
        degrees -= 360.0f;
    else if (degrees <= -180.0f)
        degrees += 360.0f;
    return degrees;
}

// R * v for R the rotation a scene node with rotation `degrees` has.
core::vector3df rotated(const core::vector3df& degrees, core::vector3df v)
{
    core::matrix4 rotation;
    rotation.setRotationDegrees(degrees);
    rotation.rotateVect(v);
    return v;
}

// The ride's view, built as the placed camera's from (pitch, heading, 0).
core::vector3df viewDirection(float pitch, float heading)
{
    return rotated(core::vector3df(pitch, heading, 0), core::vector3df(0, 0, 1));
}

} // namespace

CTaSceneNodeAnimatorCamera::CTaSceneNodeAnimatorCamera(float rotateSpeed, float moveSpeed)
    : m_rotateSpeed(rotateSpeed), m_moveSpeed(moveSpeed)
{
    m_keyMap[FORWARD] = KEY_UP;
    m_keyMap[BACKWARD] = KEY_DOWN;
    m_keyMap[STRAFE_LEFT] = KEY_LEFT;
    m_keyMap[STRAFE_RIGHT] = KEY_RIGHT;
    m_keyMap[JUMP] = KEY_RCONTROL;
}

scene::ISceneNodeAnimator* CTaSceneNodeAnimatorCamera::createClone(scene::ISceneNode*, scene::ISceneManager*)
{
    CTaSceneNodeAnimatorCamera* clone = new CTaSceneNodeAnimatorCamera(m_rotateSpeed, m_moveSpeed);
    clone->m_jumpSpeed = m_jumpSpeed;
    clone->m_maxVerticalAngle = m_maxVerticalAngle;
    clone->m_verticalMovement = m_verticalMovement;
    clone->m_invertMouse = m_invertMouse;
    clone->m_mode = m_mode;
    clone->m_window = m_window;
    clone->m_placedPosition = m_placedPosition;
    clone->m_placedRotation = m_placedRotation;
    clone->m_hasPlacedPosition = m_hasPlacedPosition;
    clone->m_hasPlacedRotation = m_hasPlacedRotation;
    return clone;
}

ITaCameraWindow& CTaSceneNodeAnimatorCamera::window()
{
    static CTaEngineCameraWindow engineWindow;
    return m_window ? *m_window : engineWindow;
}

void CTaSceneNodeAnimatorCamera::setMode(int mode)
{
    if (mode != m_mode)
        m_rideStarted = false;
    m_mode = mode;
}

bool CTaSceneNodeAnimatorCamera::OnEvent(const SEvent& event)
{
    if (event.EventType == EET_KEY_INPUT_EVENT) {
        for (int action = 0; action < ACTIONS; ++action)
            if (event.KeyInput.Key == m_keyMap[action])
                m_keys[action] = event.KeyInput.PressedDown;
    } else if (event.EventType == EET_MOUSE_INPUT_EVENT) {
        if (event.MouseInput.Event == EMIE_LMOUSE_PRESSED_DOWN)
            m_leftButton = true;
        else if (event.MouseInput.Event == EMIE_LMOUSE_LEFT_UP)
            m_leftButton = false;
    }
    return false;
}

// --- Placed camera ------------------------------------------------------------------------------

void CTaSceneNodeAnimatorCamera::setPlacedPosition(const core::vector3df& position)
{
    m_placedPosition = position;
    m_hasPlacedPosition = true;
}

void CTaSceneNodeAnimatorCamera::setPlacedRotation(const core::vector3df& degrees)
{
    m_placedRotation = degrees;
    m_hasPlacedRotation = true;
}

void CTaSceneNodeAnimatorCamera::place(scene::ICameraSceneNode* camera)
{
    if (!camera)
        return;
    core::vector3df forward = camera->getTarget() - camera->getAbsolutePosition();
    core::vector3df up = camera->getUpVector();
    if (m_hasPlacedRotation) {
        forward = rotated(m_placedRotation, core::vector3df(0, 0, 1));
        up = rotated(m_placedRotation, core::vector3df(0, 1, 0));
    }
    if (m_hasPlacedPosition)
        camera->setPosition(m_placedPosition);
    camera->updateAbsolutePosition();
    camera->setTarget(camera->getAbsolutePosition() + forward);
    camera->setUpVector(up);
    // Bound to the target, setting the target has just turned the node to face it without its
    // bank; nodes parented to the camera follow the full rotation.
    if (m_hasPlacedRotation)
        camera->setRotation(m_placedRotation);
}

// --- Ride ---------------------------------------------------------------------------------------

void CTaSceneNodeAnimatorCamera::animateNode(scene::ISceneNode* node, u32 timeMs)
{
    if (!node || node->getType() != scene::ESNT_CAMERA)
        return;
    scene::ICameraSceneNode* camera = static_cast<scene::ICameraSceneNode*>(node);
    if (!riding()) {
        m_rideStarted = false;
        if (m_hasPlacedPosition || m_hasPlacedRotation)
            place(camera);
        return;
    }
    const double now = timeMs;
    if (!m_rideStarted) {
        startRide(camera, now);
        return;
    }
    if (now < m_lastStep) // the clock went back (another timer): start counting from here
        m_lastStep = now;
    if (now - m_lastStep <= 16.0)
        return;
    m_lastStep = std::max(m_lastStep, now - kMaxCatchUpMs);
    // The whole steps that fit before now, then one at now: that last one is between one and two
    // steps long, so the damping never sees a sliver of a step.
    const int whole = int(std::floor((now - m_lastStep) / kStepMs + 1e-6));
    for (int i = 1; i < whole; ++i)
        step(camera, m_lastStep + kStepMs);
    step(camera, now);
}

void CTaSceneNodeAnimatorCamera::startRide(scene::ICameraSceneNode* camera, double now)
{
    m_rideStarted = true;
    m_lastStep = now;
    camera->updateAbsolutePosition();
    const core::vector3df look = camera->getTarget() - camera->getAbsolutePosition();
    m_heading = 0;
    m_pitch = 0;
    if (!look.equals(core::vector3df(0, 0, 0))) {
        const core::vector3df angles = look.getHorizontalAngle();
        m_heading = wrapDegrees(angles.Y);
        m_pitch = core::clamp(wrapDegrees(angles.X), -m_maxVerticalAngle, m_maxVerticalAngle);
    }
    m_rotationVelocity.set(0, 0);
    m_moveVelocity.set(0, 0, 0);
    m_moveStart = -1;
    m_hadFocus = m_mode != ETACAMERA_RIDE_FIRST_PERSON || window().hasFocus();
    if (m_mode == ETACAMERA_RIDE_FIRST_PERSON && m_hadFocus)
        window().setCursor(kCentre);
    m_lastCursor = window().cursor();
    camera->setUpVector(core::vector3df(0, 1, 0));
    camera->setTarget(camera->getAbsolutePosition() + viewDirection(m_pitch, m_heading));
}

core::vector2df CTaSceneNodeAnimatorCamera::mouseLook()
{
    const core::position2df cursor = window().cursor();
    core::position2df offset(0, 0);
    if (m_mode == ETACAMERA_RIDE_FIRST_PERSON) {
        offset = cursor - kCentre;
        if (cursor != kCentre)
            window().setCursor(kCentre);
    } else {
        // Motion while the button is up is dropped, so pressing it never jumps the view.
        if (m_leftButton)
            offset = cursor - m_lastCursor;
        m_lastCursor = cursor;
    }
    return core::vector2df(offset.X * m_rotateSpeed, offset.Y * m_rotateSpeed * (m_invertMouse ? -1.0f : 1.0f));
}

void CTaSceneNodeAnimatorCamera::step(scene::ICameraSceneNode* camera, double now)
{
    const double previous = m_lastStep;
    const float dt = float(now - previous);
    m_lastStep = now;
    scene::ISceneManager* scene = camera->getSceneManager();
    if (!scene || scene->getActiveCamera() != camera || !camera->isInputReceiverEnabled()) {
        m_lastCursor = window().cursor();
        return;
    }
    if (m_mode == ETACAMERA_RIDE_FIRST_PERSON) {
        if (!window().hasFocus()) {
            // The key releases go to another window: forget what was held.
            for (bool& key : m_keys)
                key = false;
            m_hadFocus = false;
            return;
        }
        if (!m_hadFocus) {
            // The cursor went wherever it liked meanwhile: look from the centre again.
            m_hadFocus = true;
            window().setCursor(kCentre);
        }
    }
    const float f = dt / float(kStepMs);

    // Rotation: the mouse look plus what is left of the last step's turn.
    if (f > 0.5f)
        m_rotationVelocity *= kRotationDamping / f;
    else
        m_rotationVelocity.set(0, 0);
    const core::vector2df turn = mouseLook() + m_rotationVelocity * f;
    m_rotationVelocity = turn;
    m_heading = wrapDegrees(m_heading + turn.X * (1.0f - kRotationDamping));
    m_pitch = core::clamp(m_pitch + turn.Y * (1.0f - kRotationDamping), -m_maxVerticalAngle, m_maxVerticalAngle);

    // Movement along the view and across it.
    core::vector3df direction = viewDirection(m_verticalMovement ? m_pitch : 0.0f, m_heading);
    direction.normalize();
    core::vector3df side = direction.crossProduct(camera->getUpVector());
    if (!m_verticalMovement)
        side.Y = 0;
    side.normalize();
    if (f > 0.5f)
        m_moveVelocity *= kMoveDamping / f;
    else
        m_moveVelocity.set(0, 0, 0);
    core::vector3df move = m_moveVelocity * f;
    if (m_keys[FORWARD] || m_keys[BACKWARD] || m_keys[STRAFE_LEFT] || m_keys[STRAFE_RIGHT]) {
        if (m_moveStart < 0)
            m_moveStart = previous; // the key went down some time after the last step
        const float ramp = std::min(1.0f, float(now - m_moveStart) / kAccelerationMs);
        const float force = (1.0f - kMoveDamping) * ramp * m_moveSpeed * dt;
        if (m_keys[FORWARD])
            move += direction * force;
        if (m_keys[BACKWARD])
            move -= direction * force;
        if (m_keys[STRAFE_LEFT])
            move += side * force;
        if (m_keys[STRAFE_RIGHT])
            move -= side * force;
    } else {
        m_moveStart = -1;
    }
    m_moveVelocity = move;

    if (m_keys[JUMP])
        for (scene::ISceneNodeAnimator* animator : camera->getAnimators())
            if (animator->getType() == scene::ESNAT_COLLISION_RESPONSE) {
                auto* response = static_cast<scene::ISceneNodeAnimatorCollisionResponse*>(animator);
                if (!response->isFalling())
                    response->jump(m_jumpSpeed);
            }

    const core::vector3df position = camera->getPosition() + move;
    camera->setPosition(position);
    camera->updateAbsolutePosition();
    camera->setTarget(camera->getAbsolutePosition() + viewDirection(m_pitch, m_heading));
}
