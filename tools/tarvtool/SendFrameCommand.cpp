// tarvtool sendframe WINDOW-OR-PID FRAME: what a modeller-side script runs to make a scene viewer in
// synchronised-update mode (-syncupdate) show a frame. The viewer gets the frame message (first data
// word 0x7000, the frame in the second) as a client message on its window.
//
// WINDOW-OR-PID is a window id, in hexadecimal with "0x" (as X tools print them) or in decimal, or
// the viewer's process id: the engine marks its window with _NET_WM_PID, and the windows of that
// process on this machine all get the message. A decimal number is taken as a process id first and
// as a window id when no window carries that process id. Each window sent to is printed as
// "frame F sent to window 0x...".
#include "tools/tarvtool/SendFrameCommand.h"

#include "engine/TaInput.h"
#include "platform/TaWindow.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

int usage()
{
    fprintf(stderr, "usage: tarvtool sendframe WINDOW-OR-PID FRAME\n");
    return 2;
}

// A whole number in `base` that fits in [minimum, maximum], with nothing after it.
bool parseNumber(const char* text, int base, long long minimum, long long maximum, long long* value)
{
    if (!text || !*text)
        return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = strtoll(text, &end, base);
    if (errno != 0 || *end != 0 || parsed < minimum || parsed > maximum)
        return false;
    *value = parsed;
    return true;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

int sendFrameCommand(int argc, char** argv)
{
    if (argc != 3)
        return usage();
    const char* target = argv[1];
    long long frame = 0;
    // The viewer reads the frame as a 32-bit number; the sign lets a frame lie before the scene's start.
    if (!parseNumber(argv[2], 10, INT_MIN, INT_MAX, &frame) || !(isDigit(argv[2][0]) || argv[2][0] == '-')) {
        fprintf(stderr, "tarvtool: '%s' is not a frame number\n", argv[2]);
        return 2;
    }
    const bool hexadecimal = target[0] == '0' && (target[1] == 'x' || target[1] == 'X');
    long long number = 0;
    // X window ids have 29 bits; process ids fit in 22 (the kernel's limit).
    if (!isDigit(target[0]) || !parseNumber(target, hexadecimal ? 16 : 10, 1, 0x1FFFFFFF, &number)) {
        fprintf(stderr, "tarvtool: '%s' is neither a window id nor a process id\n", target);
        return 2;
    }

    void* display = taPlatformOpenDisplay();
    if (!display) {
        const char* name = getenv("DISPLAY");
        if (name && *name)
            fprintf(stderr, "tarvtool: cannot open the X display '%s'\n", name);
        else
            fprintf(stderr, "tarvtool: cannot open the X display: DISPLAY is not set\n");
        return 1;
    }
    std::vector<unsigned long> windows;
    if (!hexadecimal)
        windows = taPlatformProcessWindows(display, long(number));
    if (windows.empty() && taPlatformWindowExists(display, static_cast<unsigned long>(number)))
        windows.push_back(static_cast<unsigned long>(number));
    if (windows.empty()) {
        if (hexadecimal)
            fprintf(stderr, "tarvtool: no window %s on the display\n", target);
        else
            fprintf(stderr, "tarvtool: no window of process %s and no window %s on the display\n", target, target);
        taPlatformCloseDisplay(display);
        return 1;
    }
    int status = 0;
    for (unsigned long window : windows) {
        if (taPlatformSendClientMessage(display, window, TA_USER_EVENT_FRAME, long(frame))) {
            printf("frame %lld sent to window 0x%lx\n", frame, window);
        } else {
            fprintf(stderr, "tarvtool: the frame message did not reach window 0x%lx\n", window);
            status = 1;
        }
    }
    taPlatformCloseDisplay(display);
    return status;
}
