// CTaSceneNodeAnimatorCamera: the animator on the engine's camera that places it where the scene or
// a script puts it, or lets the viewer ride through the scene with the mouse and the arrow keys.
//
// Index
//   ITaCameraWindow ............ what the animator reads of the window (focus, cursor)
//   modes ...................... placed (2), first-person ride (3), drag ride (4)
//   CTaSceneNodeAnimatorCamera . the animator: placement, the ride step, input
//
// Threads: everything runs on the main thread, from the scene manager's animation pass
// (ISceneNode::OnAnimate) and from the device's event dispatch (the camera passes its events on to
// its animators while it is the active camera and takes input).
#pragma once

#include <irrlicht.h>

// What the animator reads of the window it looks through. The engine's window is used unless
// another one is set (tests set their own; the null device has no cursor of its own to move).
class ITaCameraWindow
{
public:
    virtual ~ITaCameraWindow() = default;
    // The window has the keyboard focus and is not minimised.
    virtual bool hasFocus() = 0;
    // The cursor relative to the client area: (0, 0) top left, (1, 1) bottom right.
    virtual irr::core::position2df cursor() = 0;
    virtual void setCursor(const irr::core::position2df& relative) = 0;
};

// The animator's modes; SetCameraMode maps 0, 1 and 2 onto them.
enum ETaCameraMode {
    // The camera sits where PositionCamera put it and looks along the rotation RotateCamera gave it.
    ETACAMERA_PLACED = 2,
    // Mouse look from the cursor's distance to the window centre, the cursor put back there; nothing
    // moves while the window has no focus.
    ETACAMERA_RIDE_FIRST_PERSON = 3,
    // Mouse look from the cursor's motion while the left button is held.
    ETACAMERA_RIDE_DRAG = 4,
};

// The ride (modes 3 and 4) runs in fixed steps of 1000/60 ms. Each step turns by the mouse look
// with a rotation velocity damped by 0.7 per step, and moves along the view direction (forward,
// backward: Up and Down arrows) and across it (strafing: Left and Right arrows) with a movement
// velocity damped by 0.85 per step; the key force ramps up over the first 100 ms of holding, so a
// held key settles at the move speed in scene units per ms. Pitch stays within 88 degrees of the
// horizon. Right Control makes the camera's collision-response animators jump. A ride starts from
// the camera's current position and view, and the values PositionCamera and RotateCamera store
// during a ride wait until it ends (the scene's camera animation never fights the rider).
class CTaSceneNodeAnimatorCamera : public irr::scene::ISceneNodeAnimator
{
public:
    static constexpr irr::scene::ESCENE_NODE_ANIMATOR_TYPE kType = irr::scene::ESCENE_NODE_ANIMATOR_TYPE(10001);
    static constexpr double kStepMs = 1000.0 / 60.0;
    static constexpr float kMoveDamping = 0.85f;
    static constexpr float kRotationDamping = 0.7f;
    static constexpr float kAccelerationMs = 100.0f;

    // Rotate speed: degrees per window width (or height) of mouse travel; move speed: scene units
    // per ms a held key settles at.
    CTaSceneNodeAnimatorCamera(float rotateSpeed, float moveSpeed);

    void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override { return kType; }
    // Keys and the left button, as the camera passes them on; never consumed.
    bool isEventReceiverEnabled() const override { return true; }
    bool OnEvent(const irr::SEvent& event) override;

    // Changing the mode starts a ride afresh (from the camera's current place) at the next step.
    void setMode(int mode);
    int getMode() const { return m_mode; }
    bool riding() const { return m_mode == ETACAMERA_RIDE_FIRST_PERSON || m_mode == ETACAMERA_RIDE_DRAG; }
    float getMoveSpeed() const { return m_moveSpeed; }
    float getRotateSpeed() const { return m_rotateSpeed; }
    void setMoveSpeed(float speed) { m_moveSpeed = speed; }
    float getJumpSpeed() const { return m_jumpSpeed; }
    void setJumpSpeed(float speed) { m_jumpSpeed = speed; }
    // Off: the ride moves in the horizontal plane whatever the pitch.
    void setVerticalMovement(bool on) { m_verticalMovement = on; }
    // On: moving the mouse down looks up.
    void setInvertMouse(bool on) { m_invertMouse = on; }
    // nullptr: the engine's window. Not owned.
    void setWindow(ITaCameraWindow* window) { m_window = window; }

    // The placed camera (mode 2): the values PositionCamera and RotateCamera store, and placing the
    // camera from them: at the position, target = position + R * (0, 0, 1), up = R * (0, 1, 0), the
    // node's rotation the stored one (R: the rotation in degrees composed as a scene node's).
    // Without a stored rotation the camera keeps its view direction and up.
    void setPlacedPosition(const irr::core::vector3df& position);
    void setPlacedRotation(const irr::core::vector3df& degrees);
    void place(irr::scene::ICameraSceneNode* camera);

    // The ride's view in degrees, in (-180, 180]: heading about y, pitch about x (down positive).
    float getHeading() const { return m_heading; }
    float getPitch() const { return m_pitch; }

private:
    enum { FORWARD, BACKWARD, STRAFE_LEFT, STRAFE_RIGHT, JUMP, ACTIONS };

    ITaCameraWindow& window();
    void startRide(irr::scene::ICameraSceneNode* camera, double now);
    void step(irr::scene::ICameraSceneNode* camera, double now);
    irr::core::vector2df mouseLook();

    float m_rotateSpeed, m_moveSpeed;
    float m_jumpSpeed = 0;
    float m_maxVerticalAngle = 88.0f;
    bool m_verticalMovement = true;
    bool m_invertMouse = false;
    int m_mode = ETACAMERA_PLACED;
    ITaCameraWindow* m_window = nullptr;

    // Input, as the events left it. The key for each action: Up, Down, Left, Right, right Control.
    irr::EKEY_CODE m_keyMap[ACTIONS];
    bool m_keys[ACTIONS] = {};
    bool m_leftButton = false;

    irr::core::vector3df m_placedPosition, m_placedRotation;
    bool m_hasPlacedPosition = false, m_hasPlacedRotation = false;

    // The ride.
    bool m_rideStarted = false;
    double m_lastStep = 0;
    double m_moveStart = -1; // the step after which a movement key was first seen held; -1: none held
    float m_heading = 0, m_pitch = 0;
    irr::core::vector2df m_rotationVelocity; // heading, pitch; degrees per step
    irr::core::vector3df m_moveVelocity;     // scene units per step
    irr::core::position2df m_lastCursor;
    bool m_hadFocus = true;
};
