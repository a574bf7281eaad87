// "tarvtool shader ...": how an HLSL shader translates, without a display.
#pragma once

// argv[0] is "shader". Returns the exit status: 0 translated, 1 errors, 2 usage.
int shaderCommand(int argc, char** argv);
