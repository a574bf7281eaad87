// The Lua host.
#include "script/TaScriptHost.h"

#include "engine/TaEngine.h"
#include "core/TaLog.h"
#include "files/TaFile.h"
#include "platform/TaPlatform.h"
#include "scene/TaSceneManager.h"
#include "script/TaScriptBindings.h"

#include <lua.hpp>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The rows of the table, with the binding of each built function.
struct SScriptFunction {
    STaScriptFunctionInfo info;
    lua_CFunction binding;
    bool guarded; // needs Setup first
};

#define TA_SCRIPT_FUNCTION(name, family, arguments, result, effect) {#name, family, arguments, result, effect, false},
const STaScriptFunctionInfo kTable[] = {
#include "script/TaScriptFunctions.inc"
};
#undef TA_SCRIPT_FUNCTION

// The functions that work before Setup.
bool unguarded(const char* name)
{
    static const char* const names[] = {"Setup", "Term", "IsSetup", "FileRequester", "MessageBox", "ScreenModeDialog",
                                        "ScreenModeOption"};
    for (const char* n : names)
        if (strcmp(n, name) == 0)
            return true;
    return false;
}

std::vector<SScriptFunction>& functions()
{
    static std::vector<SScriptFunction> list;
    if (list.empty()) {
        const std::map<std::string, lua_CFunction>& bindings = taScriptBindings();
        for (const STaScriptFunctionInfo& row : kTable) {
            auto found = bindings.find(row.name);
            SScriptFunction f{row, found != bindings.end() ? found->second : nullptr, !unguarded(row.name)};
            f.info.built = f.binding != nullptr;
            list.push_back(f);
        }
    }
    return list;
}

// Every API call goes through here: the setup guard, the family check, a clean last error, the
// binding, and the last error turned into an argument error. No C++ object lives in this frame, as
// Lua errors unwind it with a long jump.
int dispatch(lua_State* L)
{
    const SScriptFunction* function = static_cast<const SScriptFunction*>(lua_touserdata(L, lua_upvalueindex(1)));
    if (function->guarded && !taIsStarted()) {
        lua_Debug ar;
        const char* name = "?";
        if (lua_getstack(L, 0, &ar) && lua_getinfo(L, "n", &ar) && ar.name)
            name = ar.name;
        return luaL_error(L, "calling '%s' without Setup first", name);
    }
    if (!function->binding)
        return luaL_error(L, "'%s' is not part of this build yet: the %s functions come with their subsystem",
                          function->info.name, taScriptFamilyName(function->info.family));
    // An earlier error must never be raised by an unrelated call.
    taClearLastError();
    const int results = function->binding(L);
    int code = 0;
    const char* text = taGetLastError(&code);
    if (text) {
        static char message[TA_LOG_TEXT_SIZE];
        snprintf(message, sizeof(message), "%s", text);
        taClearLastError();
        return luaL_argerror(L, code, message);
    }
    return results;
}

// Registers the module "ta" (also the global of that name).
int openModule(lua_State* L)
{
    std::vector<SScriptFunction>& list = functions();
    lua_createtable(L, 0, static_cast<int>(list.size()));
    for (SScriptFunction& function : list) {
        lua_pushlightuserdata(L, &function);
        lua_pushcclosure(L, dispatch, 1);
        lua_setfield(L, -2, function.info.name);
    }
    return 1;
}

lua_State* newState()
{
    // A script's Setup starts the whole engine, scene table included.
    taRegisterSceneTable();
    lua_State* L = luaL_newstate();
    if (!L)
        return nullptr;
    luaL_openlibs(L);
    luaL_requiref(L, "ta", openModule, 1);
    lua_pop(L, 1);
    taScriptStateOpened(L);
    return L;
}

void closeState(lua_State* L)
{
    taScriptStateClosing(L);
    lua_close(L);
}

// Runs the chunk on top of the stack; the error message on failure.
int call(lua_State* L, std::string& error)
{
    const int status = lua_pcall(L, 0, LUA_MULTRET, 0);
    if (status != 0) {
        const char* message = lua_tostring(L, -1);
        error = message ? message : "(error object is not a string)";
    }
    return status;
}

// While a script runs, errors reach the script, not the log.
struct SLogSilence {
    int level;
    bool boxes;
};

SLogSilence silenceLog()
{
    SLogSilence previous{taGetLogLevel(), taMessageBoxesEnabled()};
    taSetLogLevel(ETALOG_NONE);
    taDisableMessageBoxes();
    return previous;
}

void restoreLog(const SLogSilence& previous)
{
    taSetLogLevel(previous.level);
    if (previous.boxes)
        taEnableMessageBoxes();
}

STaSetupParams& setupBase()
{
    static STaSetupParams base = taDefaultSetupParams();
    return base;
}

} // namespace

void taSetScriptSetupBase(const STaSetupParams& base)
{
    setupBase() = base;
}

const STaSetupParams& taGetScriptSetupBase()
{
    return setupBase();
}

const char* taScriptFamilyName(int family)
{
    static const char* const names[ETASCRIPT_FAMILY_COUNT] = {
        "engine, window and frame", "files and paths", "2D drawing and text", "image", "keyboard, mouse and joystick",
        "camera", "camera effect", "effect", "object", "object surface", "light", "particle emitter", "music", "scene"};
    return family >= 0 && family < ETASCRIPT_FAMILY_COUNT ? names[family] : "?";
}

const STaScriptFunctionInfo* taScriptFunctions(int* count)
{
    static std::vector<STaScriptFunctionInfo> infos;
    if (infos.empty())
        for (const SScriptFunction& function : functions())
            infos.push_back(function.info);
    if (count)
        *count = static_cast<int>(infos.size());
    return infos.data();
}

std::string taScriptOrphanBindings()
{
    std::string orphans;
    for (const auto& binding : taScriptBindings()) {
        bool listed = false;
        for (const STaScriptFunctionInfo& row : kTable)
            listed |= binding.first == row.name;
        if (!listed)
            orphans += binding.first + " ";
    }
    return orphans;
}

std::string taScriptApiReference()
{
    std::string page = "# Script API\n\n"
                       "The functions of the module `ta` (also the global `ta`), by family, as the engine's own "
                       "table lists them (this page is made from it: `tarvtool scriptapi`). Argument kinds: int, "
                       "num (a 32-bit float), str, bool (must be a boolean), any (Lua truth), colour (0xAARRGGBB), "
                       "text (the remaining arguments joined with spaces), int[] and num[] (tables); [x = v] is "
                       "optional with its default. Every function but `Setup`, `Term`, `IsSetup`, `FileRequester`, "
                       "`MessageBox`, `ScreenModeDialog` and `ScreenModeOption` needs `Setup` first. Errors are Lua "
                       "argument errors whose number is the position of the argument at fault (-1 when none is).\n"
                       "Functions marked *not in this build* raise an error saying so.\n";
    int family = -1;
    for (const SScriptFunction& function : functions()) {
        const STaScriptFunctionInfo& f = function.info;
        if (f.family != family) {
            family = f.family;
            std::string title = taScriptFamilyName(family);
            title[0] = static_cast<char>(toupper(static_cast<unsigned char>(title[0])));
            page += "\n## " + title + "\n\n| function | arguments | result | effect |\n|---|---|---|---|\n";
        }
        std::string effect = f.effect;
        for (size_t at = 0; (at = effect.find('|', at)) != std::string::npos; at += 2)
            effect.replace(at, 1, "\\|");
        page += std::string("| `") + f.name + "` | " + f.arguments + " | " + f.result + " | " + effect +
                (f.built ? "" : " *(not in this build)*") + " |\n";
    }
    return page;
}

int taRunScript(const char* path, bool fromArchive)
{
    if (!path)
        return -1;
    // The script's directory becomes the current one; the file name is what is opened. A name
    // written on Windows ("Intro\\MAIN.LUA") is found as the file layer finds any file.
    const std::string resolved = fromArchive ? taNormalizeSlashes(path) : taResolveDiskPath(path);
    const std::string directory = taFileDirOf(resolved);
    const std::string name = taFileNameOf(resolved, true);
    if (!fromArchive && !directory.empty())
        taPlatformSetCurrentDirectory(directory.c_str());
    const SLogSilence previous = silenceLog();
    lua_State* L = newState();
    if (!L) {
        restoreLog(previous);
        fprintf(stderr, "cannot create a Lua state\n");
        return -1;
    }
    STaFileBlock block = taReadWholeFile(name.c_str());
    if (!block.data) {
        fprintf(stderr, "cannot open %s\n", path);
        closeState(L);
        restoreLog(previous);
        return LUA_ERRFILE;
    }
    int status;
    if (fromArchive) {
        status = luaL_loadbuffer(L, block.data.get(), block.size, "mem");
    } else {
        // As Lua's own file loader does: a byte-order mark and a first line starting with "#" are
        // skipped, the line kept so that error lines stay right.
        const char* text = block.data.get();
        size_t size = block.size;
        if (size >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
            text += 3;
            size -= 3;
        }
        if (size > 0 && text[0] == '#') {
            while (size > 0 && text[0] != '\n') {
                ++text;
                --size;
            }
        }
        status = luaL_loadbuffer(L, text, size, ("@" + name).c_str());
    }
    std::string error;
    if (status == 0)
        status = call(L, error);
    else
        error = lua_tostring(L, -1) ? lua_tostring(L, -1) : "";
    if (status != 0)
        fprintf(stderr, "%s\n", error.c_str());
    closeState(L);
    taShutdown();
    restoreLog(previous);
    return status;
}

int taRunScriptText(const char* text, std::string* error)
{
    const SLogSilence previous = silenceLog();
    lua_State* L = newState();
    if (!L) {
        restoreLog(previous);
        return -1;
    }
    std::string message;
    int status = luaL_loadstring(L, text ? text : "");
    if (status == 0)
        status = call(L, message);
    else
        message = lua_tostring(L, -1) ? lua_tostring(L, -1) : "";
    if (error)
        *error = message;
    closeState(L);
    taShutdown();
    restoreLog(previous);
    return status;
}
