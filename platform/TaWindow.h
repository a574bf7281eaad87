// Window operations the device library lacks (X11 here), on a window given by its native handles.
#pragma once

// `display` is the connection (an X11 Display*), `window` the native window.
bool taPlatformMoveWindow(void* display, unsigned long window, int x, int y);
bool taPlatformHideWindow(void* display, unsigned long window);
bool taPlatformShowWindow(void* display, unsigned long window);
// The window's client-area size in pixels; false when it cannot be read.
bool taPlatformWindowSize(void* display, unsigned long window, int* width, int* height);
// Sends the window a client message whose first two data words are `first` and `second` (what a
// companion program such as a modeller's plug-in does to talk to the viewer).
bool taPlatformSendClientMessage(void* display, unsigned long window, long first, long second);

// True when a display can be opened (a window system is there to show windows on).
bool taPlatformHasDisplay();
