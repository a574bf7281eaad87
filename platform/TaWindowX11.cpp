// Window operations on X11.
#include "platform/TaWindow.h"

#include <X11/Xlib.h>

#include <cstdlib>

bool taPlatformMoveWindow(void* display, unsigned long window, int x, int y)
{
    if (!display || !window)
        return false;
    XMoveWindow(static_cast<Display*>(display), window, x, y);
    XSync(static_cast<Display*>(display), False);
    return true;
}

bool taPlatformHideWindow(void* display, unsigned long window)
{
    if (!display || !window)
        return false;
    XUnmapWindow(static_cast<Display*>(display), window);
    XSync(static_cast<Display*>(display), False);
    return true;
}

bool taPlatformShowWindow(void* display, unsigned long window)
{
    if (!display || !window)
        return false;
    XMapRaised(static_cast<Display*>(display), window);
    XSync(static_cast<Display*>(display), False);
    return true;
}

bool taPlatformWindowSize(void* display, unsigned long window, int* width, int* height)
{
    if (!display || !window)
        return false;
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(static_cast<Display*>(display), window, &attributes))
        return false;
    *width = attributes.width;
    *height = attributes.height;
    return true;
}

bool taPlatformSendClientMessage(void* display, unsigned long window, long first, long second)
{
    if (!display || !window)
        return false;
    Display* x = static_cast<Display*>(display);
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    // The device reads any client message that is not the window manager's as a user event.
    event.xclient.message_type = XInternAtom(x, "TARV_FRAME", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = second;
    const bool sent = XSendEvent(x, window, False, NoEventMask, &event) != 0;
    XSync(x, False);
    return sent;
}

bool taPlatformHasDisplay()
{
    const char* name = getenv("DISPLAY");
    if (!name || !*name)
        return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}
