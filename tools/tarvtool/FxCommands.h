// "tarvtool fx ...": how the engine reads an effect file.
#pragma once

// argv[0] is "fx". Returns the process exit status: 0 done, 1 the file does not load, 2 usage.
int fxCommand(int argc, char** argv);
