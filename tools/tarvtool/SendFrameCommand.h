// "tarvtool sendframe ...": the modeller's frame message sent to a running scene viewer.
#pragma once

// argv[0] is "sendframe". Returns the exit status: 0 sent, 1 not sent (no display, no such window;
// the reason on standard error), 2 usage or a bad argument.
int sendFrameCommand(int argc, char** argv);
