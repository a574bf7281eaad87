// The entry: start-up, packing and extraction commands, and dispatch to the run modes.
#pragma once

#include "app/TaCommandLine.h"

// What a run mode is started with.
struct STaRunRequest {
    int mode;                           // ETaRunMode
    const char* file;                   // the file to open; nullptr when none (the mode may ask)
    const STaCommandLine* commandLine;
    const STaSetupParams* setup;        // nullptr for the modes that start without reading setup
    STaViewerOptions viewer;
};

// A run mode's body: 0 when it ran to its end, anything else when it failed (a file that does not
// load, a script that stops with an error); the process then exits with 255.
typedef int (*TaRunModeFunction)(const STaRunRequest& request);

// Installs the body of a run mode (each subsystem that carries one installs it at start).
void taSetRunMode(int mode, TaRunModeFunction function);
bool taHasRunMode(int mode);

// The whole start-up and dispatch; returns the process result: 0 when a mode or command ran to its
// end, -1 when start-up or the mode failed (the process then exits with 255).
int taMain(int argc, char** argv);

// The packing commands, recognised by name: "-demoexe", "-demodat", "-direxe", "-dirdat",
// "-dirlistexe" (two operands) and "-exersc" (one).
bool taIsPackingCommand(const char* argument);
