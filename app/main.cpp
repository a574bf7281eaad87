// The Tarv Engine executable.
#include "app/TaRunModes.h"

int main(int argc, char** argv)
{
    // -1 leaves the process as 255.
    return taMain(argc, argv);
}
