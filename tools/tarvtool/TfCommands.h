// "tarvtool tf ...": looking into and converting TF documents.
#pragma once

// argv[0] is "tf". Returns the process exit status: 0 done, 1 failed, 2 usage.
int tfCommand(int argc, char** argv);
