// Window operations on X11.
#include "platform/TaWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

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

void taPlatformSyncWindow(void* display)
{
    if (display)
        XSync(static_cast<Display*>(display), False);
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

bool taPlatformWindowPosition(void* display, unsigned long window, int* x, int* y)
{
    if (!display || !window)
        return false;
    Display* d = static_cast<Display*>(display);
    Window child;
    return XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, x, y, &child) != 0;
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

namespace {
void (*g_reportWindowError)(const char*) = nullptr;

int onWindowError(Display* display, XErrorEvent* error)
{
    char description[256] = {};
    XGetErrorText(display, error->error_code, description, sizeof(description));
    char line[400];
    snprintf(line, sizeof(line), "X error: %s (request %d.%d)", description, error->request_code, error->minor_code);
    if (g_reportWindowError)
        g_reportWindowError(line);
    return 0;
}
} // namespace

void taPlatformInstallWindowErrorHandler(void (*report)(const char* text))
{
    g_reportWindowError = report;
    XSetErrorHandler(onWindowError);
}

bool taPlatformDisplayModes(std::vector<STaDisplayMode>& modes, STaDisplayMode& desktop)
{
    modes.clear();
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const int screen = DefaultScreen(display);
    const int depth = DefaultDepth(display, screen);
    desktop = {DisplayWidth(display, screen), DisplayHeight(display, screen), depth, 0};
    int eventBase = 0, errorBase = 0;
    if (XRRQueryExtension(display, &eventBase, &errorBase)) {
        int sizeCount = 0;
        XRRScreenSize* sizes = XRRSizes(display, screen, &sizeCount);
        for (int i = 0; i < sizeCount; ++i) {
            int rateCount = 0;
            short* rates = XRRRates(display, screen, i, &rateCount);
            if (rateCount == 0)
                modes.push_back({sizes[i].width, sizes[i].height, depth, 0});
            for (int r = 0; r < rateCount; ++r)
                modes.push_back({sizes[i].width, sizes[i].height, depth, rates[r]});
        }
    }
    // Without RandR the current mode is the only one known.
    if (modes.empty())
        modes.push_back(desktop);
    XCloseDisplay(display);
    return true;
}

void* taPlatformOpenDisplay()
{
    Display* display = XOpenDisplay(nullptr);
    const char* name = getenv("DISPLAY");
    for (int attempt = 0; !display && name && *name && attempt < 20; ++attempt) {
        usleep(50000);
        display = XOpenDisplay(nullptr);
    }
    return display;
}

void taPlatformCloseDisplay(void* display)
{
    if (display)
        XCloseDisplay(static_cast<Display*>(display));
}

unsigned long taPlatformFindWindow(void* display, const char* title)
{
    if (!display || !title)
        return 0;
    Display* d = static_cast<Display*>(display);
    Window root, parent;
    Window* children = nullptr;
    unsigned count = 0;
    unsigned long found = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(d, children[i], &name) && name) {
            if (strcmp(name, title) == 0)
                found = children[i];
            XFree(name);
        }
    }
    if (children)
        XFree(children);
    return found;
}

bool taPlatformSendKey(void* display, unsigned long window, unsigned long keysym)
{
    if (!display || !window)
        return false;
    Display* d = static_cast<Display*>(display);
    XEvent event = {};
    event.xkey.display = d;
    event.xkey.window = window;
    event.xkey.root = DefaultRootWindow(d);
    event.xkey.same_screen = True;
    event.xkey.keycode = XKeysymToKeycode(d, keysym);
    event.type = KeyPress;
    bool sent = XSendEvent(d, window, True, KeyPressMask, &event) != 0;
    event.type = KeyRelease;
    sent = XSendEvent(d, window, True, KeyReleaseMask, &event) != 0 && sent;
    XSync(d, False);
    return sent;
}

bool taPlatformReadWindow(void* display, unsigned long window, std::vector<unsigned>& pixels, int* width, int* height)
{
    if (!display || !window)
        return false;
    Display* d = static_cast<Display*>(display);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    XImage* image = XGetImage(d, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image)
        return false;
    *width = attributes.width;
    *height = attributes.height;
    pixels.resize(static_cast<size_t>(attributes.width) * attributes.height);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x)
            pixels[static_cast<size_t>(y) * attributes.width + x] = XGetPixel(image, x, y) & 0xFFFFFF;
    XDestroyImage(image);
    return true;
}
