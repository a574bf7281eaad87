// The Lua host: running scripts, the module "ta" with the 256 functions of the script API, and the
// conventions every function follows (setup guard, argument readers, errors as argument errors).
#pragma once

#include "engine/TaSetupParams.h"

#include <string>

// Runs a script file: its directory becomes the current directory, the log is silenced and message
// boxes are off while it runs (errors reach the script), the engine is shut down afterwards. With
// `fromArchive` the file is read through the engine's file system and run as the chunk "mem".
// Load and run errors go to standard error. 0, or the load or call status.
int taRunScript(const char* path, bool fromArchive);

// What a script's Setup starts from before its own arguments apply: the entry hands over the
// driver and audio output of the command line (a plain script's Setup reads no setup file), or,
// in a packed executable, the setup file it read. The default parameters until set.
void taSetScriptSetupBase(const STaSetupParams& base);
const STaSetupParams& taGetScriptSetupBase();

// Runs Lua text the same way, in a fresh state, without changing directory; the load or run error
// goes to `error` instead of standard error. 0 or the status.
int taRunScriptText(const char* text, std::string* error);

// Families of the script API.
enum ETaScriptFamily {
    ETASCRIPT_ENGINE,
    ETASCRIPT_FILES,
    ETASCRIPT_2D,
    ETASCRIPT_IMAGES,
    ETASCRIPT_INPUT,
    ETASCRIPT_CAMERA,
    ETASCRIPT_CAMERA_EFFECTS,
    ETASCRIPT_EFFECTS,
    ETASCRIPT_OBJECTS,
    ETASCRIPT_OBJECT_SURFACES,
    ETASCRIPT_LIGHTS,
    ETASCRIPT_EMITTERS,
    ETASCRIPT_MUSIC,
    ETASCRIPT_SCENES,
    ETASCRIPT_FAMILY_COUNT,
};
const char* taScriptFamilyName(int family);

// One function of the API as the table describes it.
struct STaScriptFunctionInfo {
    const char* name;
    int family;
    const char* arguments;
    const char* result;
    const char* effect;
    bool built; // false: calling it raises "... is not part of this build yet"
};
// The whole API in table order; `count` receives its size (256).
const STaScriptFunctionInfo* taScriptFunctions(int* count);
// Names of bindings that the table does not list (must be none).
std::string taScriptOrphanBindings();
// The reference page of the API (Markdown), made from the table.
std::string taScriptApiReference();

// Scene loading calls this with its progress (0, then i * 100 / n before each object): the
// script's load-scene callback runs, protected; its results and errors are ignored.
void taScriptLoadSceneProgress(int percent);
