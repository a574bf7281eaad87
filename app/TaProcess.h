// Process paths and arguments, set once at start by taSysInit.
#pragma once

#include "core/TaLimits.h"

// Stores argc and argv and finds the executable's full path and directory. "-console" is accepted
// and ignored: the process already has its terminal. Always succeeds; when the executable path
// cannot be read or is longer than the path field, it stays empty and an error is logged.
void taSysInit(int argc, char** argv);

int taGetArgc();
char** taGetArgv();

// Full path of the executable ("" before taSysInit).
const char* taGetExePath();
// Directory of the executable, ending in "/".
const char* taGetExeDirectory();
