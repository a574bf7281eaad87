// Input state.
#include "engine/TaInput.h"

#include "engine/TaEngine.h"

#include <cstring>

using namespace irr;

MyEventReceiver::MyEventReceiver()
{
    reset();
}

void MyEventReceiver::reset()
{
    memset(&m_state, 0, sizeof(m_state));
}

bool MyEventReceiver::OnEvent(const SEvent& event)
{
    if (!m_enabled)
        return false;
    STaInputState& s = m_state;
    switch (event.EventType) {
    case EET_KEY_INPUT_EVENT: {
        const bool down = event.KeyInput.PressedDown;
        int code = event.KeyInput.Key;
        s.shift = event.KeyInput.Shift;
        switch (code) {
        case KEY_LSHIFT: s.leftShift = down; break;
        case KEY_RSHIFT: s.rightShift = down; break;
        case KEY_LCONTROL: s.leftControl = down; break;
        case KEY_RCONTROL: s.rightControl = down; break;
        default: break;
        }
        if (code == KEY_LSHIFT || code == KEY_RSHIFT || code == KEY_SHIFT) {
            code = TA_KEY_SHIFT;
            if (event.KeyInput.Key != KEY_SHIFT)
                s.keys[code] = s.leftShift || s.rightShift;
            else
                s.keys[code] = down;
        } else if (code == KEY_LCONTROL || code == KEY_RCONTROL || code == KEY_CONTROL) {
            code = TA_KEY_CONTROL;
            if (event.KeyInput.Key != KEY_CONTROL)
                s.keys[code] = s.leftControl || s.rightControl;
            else
                s.keys[code] = down;
        } else if (code >= 0 && code < 256) {
            s.keys[code] = down;
        }
        if (code == TA_KEY_ESCAPE && down)
            s.escapeLatch = true;
        break;
    }
    case EET_MOUSE_INPUT_EVENT:
        s.mouseX = event.MouseInput.X;
        s.mouseY = event.MouseInput.Y;
        switch (event.MouseInput.Event) {
        case EMIE_LMOUSE_PRESSED_DOWN: s.leftButton = true; break;
        case EMIE_LMOUSE_LEFT_UP: s.leftButton = false; break;
        case EMIE_RMOUSE_PRESSED_DOWN: s.rightButton = true; break;
        case EMIE_RMOUSE_LEFT_UP: s.rightButton = false; break;
        case EMIE_MOUSE_WHEEL: s.wheel += event.MouseInput.Wheel > 0 ? 1 : (event.MouseInput.Wheel < 0 ? -1 : 0); break;
        default: break;
        }
        break;
    case EET_JOYSTICK_INPUT_EVENT:
        if (event.JoystickEvent.Joystick == 0) {
            s.joystick[0] = event.JoystickEvent.Axis[SEvent::SJoystickEvent::AXIS_X];
            s.joystick[1] = event.JoystickEvent.Axis[SEvent::SJoystickEvent::AXIS_Y];
            s.joystick[2] = event.JoystickEvent.Axis[SEvent::SJoystickEvent::AXIS_Z];
            s.joystick[3] = static_cast<int>(event.JoystickEvent.ButtonStates);
            s.joystick[4] = event.JoystickEvent.POV;
            for (int axis = 0; axis < 6; ++axis)
                s.axes[axis] = event.JoystickEvent.Axis[axis];
        }
        break;
    case EET_USER_EVENT:
        if (event.UserEvent.UserData1 == TA_USER_EVENT_FRAME)
            s.userValue = event.UserEvent.UserData2;
        break;
    default:
        break;
    }
    return false;
}

MyEventReceiver& taGetEventReceiver()
{
    static MyEventReceiver receiver;
    return receiver;
}

bool taKeyState(int keyCode)
{
    return keyCode >= 0 && keyCode < 256 && taGetEventReceiver().state().keys[keyCode];
}

bool taShiftState() { return taGetEventReceiver().state().shift; }
bool taEscapeKey() { return taGetEventReceiver().state().escapeLatch; }
bool taMouseButtonLeft() { return taGetEventReceiver().state().leftButton; }
bool taMouseButtonRight() { return taGetEventReceiver().state().rightButton; }
int taMouseWheel() { return taGetEventReceiver().state().wheel; }
int taLastUserValue() { return taGetEventReceiver().state().userValue; }

int taJoystickState(int word)
{
    return word >= 0 && word < 5 ? taGetEventReceiver().state().joystick[word] : 0;
}

int taClampClientCoordinate(int value, int extent)
{
    if (value < 0)
        return -1;
    if (value >= extent)
        return extent + 1;
    return value;
}

namespace {
// The cursor as the window reports it now; the last mouse event's position without a window.
core::position2di cursorPosition()
{
    const STaEngineContext& engine = taEngine();
    if (engine.device && engine.device->getCursorControl() && engine.driver == ETADRIVER_OPENGL)
        return engine.device->getCursorControl()->getPosition();
    const STaInputState& s = taGetEventReceiver().state();
    return core::position2di(s.mouseX, s.mouseY);
}
} // namespace

int taMouseX()
{
    return taClampClientCoordinate(cursorPosition().X, taEngine().width);
}

int taMouseY()
{
    return taClampClientCoordinate(cursorPosition().Y, taEngine().height);
}

namespace {
bool g_joystickEnabled = false;
int g_joysticks = 0;
} // namespace

bool taEnableJoystick()
{
    const STaEngineContext& engine = taEngine();
    if (!engine.device)
        return false;
    core::array<SJoystickInfo> infos;
    g_joystickEnabled = engine.device->activateJoysticks(infos);
    g_joysticks = static_cast<int>(infos.size());
    return g_joystickEnabled;
}

void taDisableJoystick()
{
    g_joystickEnabled = false;
}

bool taJoystickPresent()
{
    return g_joystickEnabled && g_joysticks > 0;
}

int taJoystickAxis(int axis)
{
    return g_joystickEnabled && axis >= 0 && axis < 6 ? taGetEventReceiver().state().axes[axis] : 0;
}

bool taJoystickButton(int button)
{
    return g_joystickEnabled && button >= 0 && button < 32 &&
           (static_cast<unsigned>(taGetEventReceiver().state().joystick[3]) >> button) & 1u;
}

void taShowMouse(bool visible)
{
    const STaEngineContext& engine = taEngine();
    if (engine.device && engine.device->getCursorControl())
        engine.device->getCursorControl()->setVisible(visible);
}
