// The input state the run modes poll: keys, mouse, joystick and the companion program's message.
#pragma once

#include <irrlicht.h>

// Key codes are Windows virtual-key codes (Irrlicht uses the same numbers); both Shift keys read as
// 16 and both Control keys as 17, as they did on Windows.
constexpr int TA_KEY_SHIFT = 16;
constexpr int TA_KEY_CONTROL = 17;
constexpr int TA_KEY_ESCAPE = 27;
// The first datum of the companion program's frame message.
constexpr int TA_USER_EVENT_FRAME = 0x7000;

struct STaInputState {
    bool keys[256];
    bool shift;
    bool escapeLatch;        // set the first time Escape is seen down, never cleared
    int mouseX, mouseY;      // from the last mouse event, client coordinates
    bool leftButton, rightButton;
    int wheel;               // wheel steps, added up
    int joystick[5];         // first joystick: X, Y and Z axes, button bits, point of view
    int userValue;           // second datum of the last user event whose first datum was 0x7000
    int axes[6];             // first joystick: X, Y, Z, R, U, V
    bool leftShift, rightShift, leftControl, rightControl;
};

// The device's event receiver. It records nothing while the engine is not started and never
// consumes an event, so the GUI still sees every one.
class MyEventReceiver : public irr::IEventReceiver
{
public:
    MyEventReceiver();
    bool OnEvent(const irr::SEvent& event) override;

    void setEnabled(bool enabled) { m_enabled = enabled; }
    void reset();
    const STaInputState& state() const { return m_state; }

private:
    bool m_enabled = false;
    STaInputState m_state;
};

// The engine's receiver (one per process).
MyEventReceiver& taGetEventReceiver();

// Queries over the input state. Out-of-range key codes read false.
bool taKeyState(int keyCode);
bool taShiftState();
bool taEscapeKey();
// The cursor in client coordinates: -1 left of or above the client area, width + 1 / height + 1
// right of or below it.
int taMouseX();
int taMouseY();
bool taMouseButtonLeft();
bool taMouseButtonRight();
int taMouseWheel();
// Word 0..4 of the first joystick's state; 0 for any other index.
int taJoystickState(int word);
int taLastUserValue();

// Joysticks: activated through the device on request; axis values and buttons read 0 / false
// while disabled.
bool taEnableJoystick();
void taDisableJoystick();
bool taJoystickPresent();
int taJoystickAxis(int axis);      // 0..5: X, Y, Z, R, U, V
bool taJoystickButton(int button); // 0..31
void taShowMouse(bool visible);

// The clamping rule on its own: a coordinate against the client extent.
int taClampClientCoordinate(int value, int extent);
