// The packing commands: a demo, a scene, a folder or a list of files, with the engine's own shader
// folders, packed into a copy of this executable (stamped in, or as a ".dat" file beside it).
#pragma once

#include "pack/TaPack.h"

// -demoexe (dataFile 0) and -demodat (1): a demo script, or a scene document when the name contains
// ".tscn". 0 or -1.
int taPackDemoExe(const char* output, const char* file, int dataFile);
// -direxe (0) and -dirdat (1): every file of a folder and its subfolders.
int taPackDirExe(const char* output, const char* directory, int dataFile);
// -dirlistexe: the files a list names, one "folder/pattern" per line.
int taPackDirListExe(const char* output, const char* listFile);
// -exersc: the shader folders alone, stamped as resource 501.
int taPackShadersExe(const char* output);

// The folders, shader and music folders a demo script names, for its packing: 0, or -1 when the
// script does not read ("Failed to load ini file %s") or names too many folders.
int taPackDemoSources(const char* script, STaPackDemoSources* sources);

// Carries out the packing command of a command line (`argv[1]` the command): 0 or -1.
int taRunPackingCommand(int argc, char** argv);
