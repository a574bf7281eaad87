// Window operations on X11.
#include "platform/TaWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// Catches the protocol errors of the requests made while it lives (a window that is gone answers
// BadWindow) instead of handing them to the installed handler: the default one ends the process,
// the engine's logs them as failures of its own.
class ErrorTrap
{
public:
    explicit ErrorTrap(Display* display) : m_display(display)
    {
        XSync(display, False); // earlier requests' errors still go to the handler they belong to
        s_errors = 0;
        m_previous = XSetErrorHandler(onError);
    }
    ~ErrorTrap()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    // Waits for the answers to everything sent so far: true when one of them was an error.
    bool failed()
    {
        XSync(m_display, False);
        return s_errors != 0;
    }

private:
    static int onError(Display*, XErrorEvent*)
    {
        ++s_errors;
        return 0;
    }
    static int s_errors;
    Display* m_display;
    XErrorHandler m_previous;
};
int ErrorTrap::s_errors = 0;

std::string hostName()
{
    char name[256] = {};
    if (gethostname(name, sizeof(name) - 1) != 0)
        return std::string();
    return name;
}

} // namespace

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
    ErrorTrap trap(x);
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "TARV_FRAME", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = first;
    event.xclient.data.l[1] = second;
    const bool sent = XSendEvent(x, window, False, NoEventMask, &event) != 0;
    return !trap.failed() && sent;
}

bool taPlatformSetWindowProcess(void* display, unsigned long window)
{
    if (!display || !window)
        return false;
    Display* d = static_cast<Display*>(display);
    ErrorTrap trap(d);
    const long pid = getpid();
    XChangeProperty(d, window, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    // A process id means something only on its own machine: the two go together.
    std::string host = hostName();
    char* names[1] = {&host[0]};
    XTextProperty machine;
    if (!host.empty() && XStringListToTextProperty(names, 1, &machine)) {
        XSetWMClientMachine(d, window, &machine);
        XFree(machine.value);
    }
    char name[] = "tarv", className[] = "Tarv";
    XClassHint hint = {name, className};
    XSetClassHint(d, window, &hint);
    return !trap.failed();
}

bool taPlatformKeepWindowAbove(void* display, unsigned long window)
{
    if (!display || !window)
        return false;
    Display* d = static_cast<Display*>(display);
    ErrorTrap trap(d);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, window, &attributes) || trap.failed())
        return false;
    const Atom state = XInternAtom(d, "_NET_WM_STATE", False);
    const Atom above = XInternAtom(d, "_NET_WM_STATE_ABOVE", False);
    if (attributes.map_state == IsUnmapped) {
        // Before it maps, the window states its wishes in the property (once).
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool present = false;
        if (XGetWindowProperty(d, window, state, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) ==
                Success &&
            data) {
            const Atom* states = reinterpret_cast<const Atom*>(data);
            for (unsigned long i = 0; i < count && format == 32; ++i)
                present = present || states[i] == above;
            XFree(data);
        }
        if (!present)
            XChangeProperty(d, window, state, XA_ATOM, 32, PropModeAppend,
                            reinterpret_cast<const unsigned char*>(&above), 1);
    }
    // Once mapped, the window manager owns the property and takes requests on the root window.
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = state;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // _NET_WM_STATE_ADD
    event.xclient.data.l[1] = static_cast<long>(above);
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1; // asked by a normal application
    const bool sent =
        XSendEvent(d, attributes.root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event) != 0;
    return !trap.failed() && sent;
}

bool taPlatformWindowExists(void* display, unsigned long window)
{
    if (!display || !window)
        return false;
    Display* d = static_cast<Display*>(display);
    ErrorTrap trap(d);
    XWindowAttributes attributes;
    const bool found = XGetWindowAttributes(d, window, &attributes) != 0;
    return !trap.failed() && found;
}

namespace {

// The process id a window carries, or -1.
long windowProcess(Display* d, Window window, Atom pidAtom)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(d, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data) {
        if (type == XA_CARDINAL && format == 32 && count == 1)
            pid = *reinterpret_cast<const long*>(data);
        XFree(data);
    }
    return pid;
}

// True when the window names no machine or names this one.
bool onThisMachine(Display* d, Window window, const std::string& host)
{
    XTextProperty machine;
    if (!XGetWMClientMachine(d, window, &machine))
        return true;
    const bool same = machine.value && machine.format == 8 &&
                      host == std::string(reinterpret_cast<const char*>(machine.value), machine.nitems);
    XFree(machine.value);
    return same;
}

void collectProcessWindows(Display* d, Window parent, long pid, Atom pidAtom, const std::string& host,
                           std::vector<unsigned long>& found)
{
    Window root = 0, above = 0;
    Window* children = nullptr;
    unsigned count = 0;
    // A window that goes away meanwhile has no children to list.
    if (!XQueryTree(d, parent, &root, &above, &children, &count))
        return;
    for (unsigned i = 0; i < count; ++i) {
        if (windowProcess(d, children[i], pidAtom) == pid && onThisMachine(d, children[i], host))
            found.push_back(children[i]);
        else
            collectProcessWindows(d, children[i], pid, pidAtom, host, found);
    }
    if (children)
        XFree(children);
}

} // namespace

std::vector<unsigned long> taPlatformProcessWindows(void* display, long pid)
{
    std::vector<unsigned long> found;
    if (!display || pid <= 0)
        return found;
    Display* d = static_cast<Display*>(display);
    // No window carries the property when its name was never made.
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", True);
    if (pidAtom == None)
        return found;
    ErrorTrap trap(d); // windows closing during the walk answer BadWindow
    collectProcessWindows(d, DefaultRootWindow(d), pid, pidAtom, hostName(), found);
    return found;
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

unsigned long taPlatformFindWindow(void* display, const char* title, long pid)
{
    if (!display || !title)
        return 0;
    Display* d = static_cast<Display*>(display);
    ErrorTrap trap(d);
    Window root, parent;
    Window* children = nullptr;
    unsigned count = 0;
    unsigned long found = 0;
    if (!XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count))
        return 0;
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (!XFetchName(d, children[i], &name) || !name)
            continue;
        bool match = strcmp(name, title) == 0;
        XFree(name);
        if (match && pid > 0) {
            Atom type = None;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* data = nullptr;
            match = XGetWindowProperty(d, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                                       &after, &data) == Success &&
                    data && format == 32 && items == 1 && long(*reinterpret_cast<unsigned long*>(data)) == pid;
            if (data)
                XFree(data);
        }
        if (match)
            found = children[i];
    }
    if (children)
        XFree(children);
    return trap.failed() ? 0 : found;
}

bool taPlatformSendKey(void* display, unsigned long window, unsigned long keysym)
{
    if (!display || !window)
        return false;
    Display* d = static_cast<Display*>(display);
    ErrorTrap trap(d);
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
    return !trap.failed() && sent;
}

bool taPlatformReadWindow(void* display, unsigned long window, std::vector<unsigned>& pixels, int* width, int* height)
{
    if (!display || !window)
        return false;
    Display* d = static_cast<Display*>(display);
    ErrorTrap trap(d);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, window, &attributes) || trap.failed() || attributes.map_state != IsViewable)
        return false;
    XImage* image = XGetImage(d, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image || trap.failed()) {
        if (image)
            XDestroyImage(image);
        return false;
    }
    *width = attributes.width;
    *height = attributes.height;
    pixels.resize(static_cast<size_t>(attributes.width) * attributes.height);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x)
            pixels[static_cast<size_t>(y) * attributes.width + x] = XGetPixel(image, x, y) & 0xFFFFFF;
    XDestroyImage(image);
    return true;
}
