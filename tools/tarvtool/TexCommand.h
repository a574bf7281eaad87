// "tarvtool tex ...": what the texture manager makes of a file, without a display.
#pragma once

// argv[0] is "tex". Returns the exit status: 0 made, 1 refused (the reason on standard error),
// 2 usage.
int texCommand(int argc, char** argv);
