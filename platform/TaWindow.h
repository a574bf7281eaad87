// Window operations the device library lacks (X11 here), on a window given by its native handles.
#pragma once

#include <vector>

// `display` is the connection (an X11 Display*), `window` the native window.
bool taPlatformMoveWindow(void* display, unsigned long window, int x, int y);
bool taPlatformHideWindow(void* display, unsigned long window);
bool taPlatformShowWindow(void* display, unsigned long window);
// Waits until the window system has handled every request sent to it so far.
void taPlatformSyncWindow(void* display);
// The window's client-area size in pixels; false when it cannot be read.
bool taPlatformWindowSize(void* display, unsigned long window, int* width, int* height);
// Where the window's client area sits on the screen; false when it cannot be read.
bool taPlatformWindowPosition(void* display, unsigned long window, int* x, int* y);
// Sends the window a client message whose first two data words are `first` and `second` (what a
// companion program such as a modeller's plug-in does to talk to the viewer): false when the window
// does not exist or the message cannot be sent. The device library reads any client message whose
// type's name does not start with "W" as a user event (it tells its close request apart by that
// letter alone), so the message goes as type "TARV_FRAME".
bool taPlatformSendClientMessage(void* display, unsigned long window, long first, long second);
// Marks the window as this process's, as window managers and companion programs look for it:
// _NET_WM_PID with WM_CLIENT_MACHINE (the host name) and WM_CLASS "tarv", "Tarv". The device library
// sets none of them on the window it makes.
bool taPlatformSetWindowProcess(void* display, unsigned long window);
// Asks the window manager to keep the window above other windows: a _NET_WM_STATE message (add
// _NET_WM_STATE_ABOVE) to the root window, and the state property itself while the window is not
// mapped yet (a window manager reads it when the window maps). False without a window.
bool taPlatformKeepWindowAbove(void* display, unsigned long window);
// True when the window exists on the display.
bool taPlatformWindowExists(void* display, unsigned long window);
// The windows of process `pid` on this machine: every window in the tree below the root whose
// _NET_WM_PID is `pid` (and whose WM_CLIENT_MACHINE, when it has one, is this host), not looking
// below a window that matches. Under a reparenting window manager these are the client windows
// inside the frames.
std::vector<unsigned long> taPlatformProcessWindows(void* display, long pid);

// A display mode: size, bits per pixel as the system counts them, refresh rate in Hz (0 unknown).
struct STaDisplayMode {
    int width, height, bpp, refresh;
};
// The modes the default display offers (through RandR) and its current one; false without a
// display.
bool taPlatformDisplayModes(std::vector<STaDisplayMode>& modes, STaDisplayMode& desktop);

// True when a display can be opened (a window system is there to show windows on).
bool taPlatformHasDisplay();

// Replaces the window system's default error handler, which ends the process on any protocol
// error (drivers raise harmless ones, such as a refused swap interval under a virtual display):
// errors go to `report` as one line each instead.
void taPlatformInstallWindowErrorHandler(void (*report)(const char* text));

// A connection to the default display (nullptr without one). A virtual display can refuse a
// connection for a moment right after another client went: it is tried again for up to a second.
// For tools and tests that watch the engine from another process: the first top-level window named `title`
// (and, with `pid` above 0, of that process) or 0 when there is none, a key pressed and released on it
// (an X keysym), and its pixels as 0xRRGGBB rows. A window that goes meanwhile is a failure, never the
// end of the watching process.
void* taPlatformOpenDisplay();
void taPlatformCloseDisplay(void* display);
unsigned long taPlatformFindWindow(void* display, const char* title, long pid = 0);
bool taPlatformSendKey(void* display, unsigned long window, unsigned long keysym);
bool taPlatformReadWindow(void* display, unsigned long window, std::vector<unsigned>& pixels, int* width, int* height);
