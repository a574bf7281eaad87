// Bindings of the script API's built families.
#include "script/TaScriptBindings.h"

#include "engine/Ta2D.h"
#include "engine/TaCamera.h"
#include "engine/TaCameraEffects.h"
#include "engine/TaDialogs.h"
#include "engine/TaEffects.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "core/TaLog.h"
#include "files/TaFile.h"
#include "music/TaMusic.h"
#include "scene/TaObjects.h"
#include "scene/TaScenes.h"
#include "scene/TaSurfaces.h"
#include "script/TaScriptHost.h"

#include <chrono>
#include <climits>
#include <cstring>

using namespace irr;

namespace {

constexpr int kJoinedTextSize = 1024;
char g_joined[kJoinedTextSize];

// The load-scene callback: a registry reference in the running state, and whether it runs now.
lua_State* g_state = nullptr;
int g_loadSceneCallback = LUA_NOREF;
bool g_inLoadSceneCallback = false;

int typeError(lua_State* L, int position, const char* expected)
{
    return luaL_argerror(L, position, lua_pushfstring(L, "%s expected, got %s", expected, luaL_typename(L, position)));
}

int optInt(lua_State* L, int position, int value)
{
    return lua_isnoneornil(L, position) ? value : taArgInt(L, position);
}

bool optBool(lua_State* L, int position, bool value)
{
    return lua_isnoneornil(L, position) ? value : taArgBool(L, position);
}

int pushBool(lua_State* L, bool value)
{
    lua_pushboolean(L, value);
    return 1;
}

int pushInt(lua_State* L, long long value)
{
    lua_pushinteger(L, static_cast<lua_Integer>(value));
    return 1;
}

// The engine calls the load-scene callback must not interrupt: it may not start, stop or restart
// the engine while a scene is being loaded.
int refuseDuringLoad(lua_State* L, const char* name)
{
    if (g_inLoadSceneCallback)
        return luaL_error(L, "'%s' cannot be called from the load-scene callback", name);
    return 0;
}

// --- Engine, window and frame ---

int l_Setup(lua_State* L)
{
    refuseDuringLoad(L, "Setup");
    // The entry's choices (driver, audio output) hold for scripts too.
    STaSetupParams params = taGetScriptSetupBase();
    params.width = optInt(L, 1, params.width);
    params.height = optInt(L, 2, params.height);
    params.bpp = optInt(L, 3, params.bpp);
    if (!lua_isnoneornil(L, 4))
        params.windowed = taArgBool(L, 4) ? 1 : 0;
    params.stereo = 0;
    if (taSetup(params) != 0)
        return 0; // the last error becomes the argument error
    PositionCamera(0, 0, -5);
    MakeLight(0);
    SetDirectionalLight(0, 0, 0, 0);
    ColorAmbientLight(0x050505);
    ColorBackdrop(0x001122);
    return 0;
}

int l_Term(lua_State* L)
{
    refuseDuringLoad(L, "Term");
    taShutdown();
    return 0;
}

int l_RenderDummy(lua_State*)
{
    video::ITexture* target = taEngine().videoDriver->findTexture("DummyRenderTarget");
    if (!target)
        return 0;
    const bool began = !taEngine().inScene && taBeginScene();
    taRenderToTarget(target);
    if (began) {
        taEngine().inScene = false;
        taEngine().videoDriver->endScene();
    }
    return 0;
}

int l_RenderSetDebug(lua_State* L)
{
    const int on = taArgInt(L, 1);
    if (ITaRenderer* renderer = taGetCurrentRenderer())
        if (STaFrameOptions* options = renderer->getFrameOptions())
            options->showDebugBuffers = on != 0;
    return 0;
}

int l_ScreenDepth(lua_State* L)
{
    switch (taEngine().videoDriver->getColorFormat()) {
    case video::ECF_A1R5G5B5: case video::ECF_R5G6B5: case video::ECF_R16F: return pushInt(L, 16);
    case video::ECF_R8G8B8: return pushInt(L, 24);
    case video::ECF_A16B16G16R16F: case video::ECF_G32R32F: return pushInt(L, 64);
    default: return pushInt(L, 32);
    }
}

int l_Timer(lua_State* L)
{
    static const auto start = std::chrono::steady_clock::now();
    return pushInt(L, std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

int l_ScreenModeOption(lua_State* L)
{
    return pushInt(L, taScreenModeOption(taArgString(L, 1)));
}

int l_FileRequester(lua_State* L)
{
    const char* title = lua_isnoneornil(L, 1) ? "Open file" : taArgString(L, 1);
    const char* path = taFileRequester(title, taFileRequesterFilters);
    if (path)
        lua_pushstring(L, path);
    else
        lua_pushnil(L);
    return 1;
}

int l_MessageBox(lua_State* L)
{
    // Scripts run with the log's message boxes off; the one a script asks for shows all the same.
    const char* text = taArgText(L, 1);
    const bool enabled = taMessageBoxesEnabled();
    taEnableMessageBoxes();
    taMessageBox("%s", text);
    if (!enabled)
        taDisableMessageBoxes();
    return 0;
}

// --- Files and paths ---

int l_PathFilename(lua_State* L)
{
    const char* path = taArgString(L, 1);
    const bool withExtension = lua_isnoneornil(L, 2) ? true : taArgBool(L, 2);
    lua_pushstring(L, taGetFileName(path, withExtension ? 1 : 0));
    return 1;
}

// --- 2D ---

int l_PositionToScreen(lua_State* L)
{
    int x = 0, y = 0;
    PositionToScreen(taArgNumber(L, 1), taArgNumber(L, 2), taArgNumber(L, 3), &x, &y);
    lua_pushinteger(L, x);
    lua_pushinteger(L, y);
    return 2;
}

int l_TextFont(lua_State* L)
{
    const char* font = TextFont();
    if (font)
        lua_pushstring(L, font);
    else
        lua_pushnil(L);
    return 1;
}

// --- Joystick directions: the first joystick's axes past a third of their travel ---
constexpr int kJoystickDeadZone = 32767 / 3;

// --- The stub functions ---
int l_NotImplemented(lua_State* L)
{
    return luaL_argerror(L, -1, "the function is not implemented");
}

// Morph weights: the arrays are checked as the API defines them; the objects of this build load
// no morph meshes, so every object is one that is left unchanged.
constexpr int kMorphCapacity = 60;

int l_SetObjectMorph(lua_State* L)
{
    const int id = taArgInt(L, 1);
    int morphs[kMorphCapacity];
    float weights[kMorphCapacity];
    const int morphCount = taArgIntArray(L, 2, morphs, kMorphCapacity);
    const int weightCount = taArgNumberArray(L, 3, weights, kMorphCapacity);
    if (morphCount != weightCount)
        return luaL_argerror(L, 3, lua_pushfstring(L, "the number of morphs(%d) is not equals to the number of weights(%d)",
                                                   morphCount, weightCount));
    taGetObject(id);
    return 0;
}

int l_GetObjectMorphCount(lua_State* L)
{
    lua_pushinteger(L, 0);
    taGetObject(taArgInt(L, 1));
    return 1;
}

int l_SetLoadSceneCallback(lua_State* L)
{
    luaL_checkany(L, 1);
    if (!lua_isnil(L, 1))
        luaL_checktype(L, 1, LUA_TFUNCTION);
    // The previous callback is released: a script that sets callbacks in a loop does not grow.
    if (g_loadSceneCallback != LUA_NOREF && g_loadSceneCallback != LUA_REFNIL)
        luaL_unref(L, LUA_REGISTRYINDEX, g_loadSceneCallback);
    lua_pushvalue(L, 1);
    g_loadSceneCallback = luaL_ref(L, LUA_REGISTRYINDEX);
    // The engine's progress hook calls the script's function; it never cancels a load.
    if (lua_isnil(L, 1))
        taSetSceneLoadCallback(nullptr, nullptr);
    else
        taSetSceneLoadCallback(
            [](int percent, void*) -> int {
                taScriptLoadSceneProgress(percent);
                return 0;
            },
            nullptr);
    return 0;
}

int l_LoadScene(lua_State* L)
{
    const char* file = taArgString(L, 1);
    int arg[8];
    for (int i = 0; i < 8; ++i)
        arg[i] = taArgInt(L, 2 + i);
    const bool reuse = taArgAny(L, 10);
    const char* name = taArgString(L, 11);
    const int result = LoadScene(file, arg[0], arg[1], arg[2], arg[3], arg[4], arg[5], arg[6], arg[7], reuse, name);
    if (result != 0) {
        int code = 0;
        const char* why = taGetLastError(&code);
        const std::string reason = why ? why : "";
        taErrorCode(1, "Failed to load scene '%s'%s%s", file, reason.empty() ? "" : "\n", reason.c_str());
    }
    return 0;
}

} // namespace

// --- Argument readers ---

int taArgInt(lua_State* L, int position)
{
    int isNumber = 0;
    const lua_Number value = lua_tonumberx(L, position, &isNumber);
    if (!isNumber)
        typeError(L, position, "number");
    // Out-of-range values saturate instead of wrapping into another ID or size.
    if (!(value > static_cast<lua_Number>(INT_MIN)))
        return INT_MIN;
    if (!(value < static_cast<lua_Number>(INT_MAX)))
        return value != value ? 0 : INT_MAX;
    return static_cast<int>(value);
}

unsigned taArgUnsigned(lua_State* L, int position)
{
    return static_cast<unsigned>(luaL_checkunsigned(L, position));
}

float taArgNumber(lua_State* L, int position)
{
    return static_cast<float>(luaL_checknumber(L, position));
}

const char* taArgString(lua_State* L, int position)
{
    return luaL_checkstring(L, position);
}

bool taArgBool(lua_State* L, int position)
{
    if (!lua_isboolean(L, position))
        typeError(L, position, "boolean");
    return lua_toboolean(L, position) != 0;
}

bool taArgAny(lua_State* L, int position)
{
    return lua_toboolean(L, position) != 0;
}

const char* taArgText(lua_State* L, int first)
{
    const int last = lua_gettop(L);
    size_t used = 0;
    g_joined[0] = 0;
    lua_getglobal(L, "tostring");
    for (int i = first; i <= last; ++i) {
        lua_pushvalue(L, -1);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        size_t length = 0;
        const char* piece = lua_tolstring(L, -1, &length);
        if (!piece)
            luaL_error(L, "'tostring' must return a string to 'Text'");
        // Longer texts are cut, never written past the buffer.
        if (i > first && used < kJoinedTextSize - 1)
            g_joined[used++] = ' ';
        const size_t room = kJoinedTextSize - 1 - used;
        const size_t take = length < room ? length : room;
        memcpy(g_joined + used, piece, take);
        used += take;
        g_joined[used] = 0;
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return g_joined;
}

namespace {
template <typename Value, typename Read>
int readArray(lua_State* L, int position, Value* out, int capacity, Read read)
{
    luaL_checktype(L, position, LUA_TTABLE);
    const int length = static_cast<int>(lua_rawlen(L, position));
    if (length > capacity)
        luaL_error(L, "Exceed buffer capacity %d>%d", length, capacity);
    for (int i = 1; i <= length; ++i) {
        lua_rawgeti(L, position, i);
        if (!lua_isnumber(L, -1))
            luaL_error(L, "invalid entry #%d in array argument #%d (expected number, got %s)", i - 1, position,
                       luaL_typename(L, -1));
        out[i - 1] = read(lua_tonumber(L, -1));
        lua_pop(L, 1);
    }
    return length;
}
} // namespace

int taArgNumberArray(lua_State* L, int position, float* out, int capacity)
{
    return readArray(L, position, out, capacity, [](lua_Number v) { return static_cast<float>(v); });
}

int taArgIntArray(lua_State* L, int position, int* out, int capacity)
{
    return readArray(L, position, out, capacity, [](lua_Number v) {
        return v > INT_MIN && v < INT_MAX ? static_cast<int>(v) : 0;
    });
}

void taScriptStateOpened(lua_State* L)
{
    g_state = L;
    g_loadSceneCallback = LUA_NOREF;
    g_inLoadSceneCallback = false;
}

void taScriptStateClosing(lua_State* L)
{
    if (g_state == L) {
        g_state = nullptr;
        g_loadSceneCallback = LUA_NOREF;
        taSetSceneLoadCallback(nullptr, nullptr);
    }
}

void taScriptLoadSceneProgress(int percent)
{
    lua_State* L = g_state;
    if (!L || g_loadSceneCallback == LUA_NOREF || g_loadSceneCallback == LUA_REFNIL || g_inLoadSceneCallback)
        return;
    g_inLoadSceneCallback = true;
    lua_rawgeti(L, LUA_REGISTRYINDEX, g_loadSceneCallback);
    lua_pushinteger(L, percent);
    // Results and errors are ignored: loading always continues.
    if (lua_pcall(L, 1, 0, 0) != 0)
        lua_pop(L, 1);
    g_inLoadSceneCallback = false;
}

#define BIND(name, body) {#name, [](lua_State* L) -> int { (void)L; body }}

const std::map<std::string, lua_CFunction>& taScriptBindings()
{
    static const std::map<std::string, lua_CFunction> bindings = {
        // Engine, window and frame
        {"Setup", l_Setup},
        {"Term", l_Term},
        BIND(IsSetup, return pushBool(L, taIsStarted());),
        BIND(Run, return pushBool(L, taRun());),
        BIND(Sync, if (!Sync() && taIsDeviceLost()) return luaL_error(L, "Graphic Device lost, cannot re-create rendered textures, exiting"); return 0;),
        {"RenderDummy", l_RenderDummy},
        {"RenderSetDebug", l_RenderSetDebug},
        BIND(HasPrecalcRenderTargets, taArgBool(L, 1); taSetPrecalculatedRenderTargets(); return 0;),
        BIND(ScreenShot, taScreenshot(taArgString(L, 1)); return 0;),
        BIND(HideWindow, taHideWindow(); return 0;),
        BIND(ShowWindow, taShowWindow(); return 0;),
        BIND(MaximizeWindow, taMaximizeWindow(); return 0;),
        BIND(MinimizeWindow, taMinimizeWindow(); return 0;),
        BIND(RestoreWindow, taRestoreWindow(); return 0;),
        BIND(IsWindowActive, return pushBool(L, taIsWindowActive());),
        BIND(WindowMode, return pushBool(L, !taEngine().device->isFullscreen());),
        BIND(ScreenWidth, return pushInt(L, taEngine().videoDriver->getScreenSize().Width);),
        BIND(ScreenHeight, return pushInt(L, taEngine().videoDriver->getScreenSize().Height);),
        {"ScreenDepth", l_ScreenDepth},
        {"Timer", l_Timer},
        BIND(Sleep, taSleep(taArgInt(L, 1)); return 0;),
        BIND(ScreenModeDialog, return pushBool(L, taScreenModeDialog(nullptr) == 0);),
        {"ScreenModeOption", l_ScreenModeOption},
        {"FileRequester", l_FileRequester},
        {"MessageBox", l_MessageBox},
        // Files and paths
        BIND(SetDir, taSetDataDirectory(taArgString(L, 1)); return 0;),
        BIND(GetDir, lua_pushstring(L, taGetDataDirectory()); return 1;),
        BIND(FileExist, return pushBool(L, taFileExists(taArgString(L, 1)) != 0);),
        {"PathFilename", l_PathFilename},
        BIND(PathPath, lua_pushstring(L, taGetFileDir(taArgString(L, 1))); return 1;),
        BIND(PathFull, lua_pushstring(L, taGetAbsolutePath(taArgString(L, 1))); return 1;),
        // 2D drawing and text
        BIND(Ink, Ink(taArgUnsigned(L, 1)); return 0;),
        BIND(InkAlpha, InkAlpha(taArgInt(L, 1)); return 0;),
        BIND(Box, Box(taArgInt(L, 1), taArgInt(L, 2), taArgInt(L, 3), taArgInt(L, 4)); return 0;),
        BIND(BoxWithEffect,
             BoxWithEffect(taArgInt(L, 1), taArgInt(L, 2), taArgInt(L, 3), taArgInt(L, 4), taArgInt(L, 5)); return 0;),
        BIND(Line, Line(taArgInt(L, 1), taArgInt(L, 2), taArgInt(L, 3), taArgInt(L, 4)); return 0;),
        BIND(RGB, return pushInt(L, RGB(taArgInt(L, 1), taArgInt(L, 2), taArgInt(L, 3)));),
        BIND(RGBf, return pushInt(L, RGBf(taArgNumber(L, 1), taArgNumber(L, 2), taArgNumber(L, 3)));),
        BIND(Text, const int x = taArgInt(L, 1); const int y = taArgInt(L, 2); Text(x, y, taArgText(L, 3)); return 0;),
        BIND(SetTextFont, SetTextFont(taArgString(L, 1)); return 0;),
        BIND(SetTextColor, SetTextColor(taArgUnsigned(L, 1)); return 0;),
        BIND(SetTextAlpha, SetTextAlpha(taArgInt(L, 1)); return 0;),
        {"TextFont", l_TextFont},
        BIND(TextColor, return pushInt(L, TextColor());),
        BIND(TextAlpha, return pushInt(L, TextAlpha());),
        BIND(TextWidth, return pushInt(L, TextWidth(taArgText(L, 1)));),
        BIND(TextHeight, return pushInt(L, TextHeight(taArgText(L, 1)));),
        BIND(FadeIn, FadeIn(taArgInt(L, 1), taArgUnsigned(L, 2)); return 0;),
        BIND(FadeOut, FadeOut(taArgInt(L, 1), taArgUnsigned(L, 2)); return 0;),
        BIND(StopFade, StopFade(); return 0;),
        {"PositionToScreen", l_PositionToScreen},
        // Images
        BIND(LoadImage, LoadImage(taArgString(L, 1), taArgInt(L, 2)); return 0;),
        BIND(MakeImage, MakeImage(taArgInt(L, 1), taArgInt(L, 2), taArgInt(L, 3)); return 0;),
        BIND(RenderToImage, RenderToImage(taArgInt(L, 1), optBool(L, 2, true)); return 0;),
        BIND(SetImageColor, SetImageColor(taArgUnsigned(L, 1)); return 0;),
        BIND(SetImageAlpha, SetImageAlpha(taArgInt(L, 1)); return 0;),
        BIND(PasteImage, PasteImage(taArgInt(L, 1), taArgInt(L, 2), taArgInt(L, 3), optBool(L, 4, false)); return 0;),
        BIND(PasteImageStretch, PasteImageStretch(taArgInt(L, 1), taArgInt(L, 2), taArgInt(L, 3), taArgInt(L, 4),
                                                  taArgInt(L, 5), optBool(L, 6, false)); return 0;),
        BIND(PasteImageWithEffect, PasteImageWithEffect(taArgInt(L, 1), taArgInt(L, 2), taArgInt(L, 3), taArgInt(L, 4),
                                                        taArgInt(L, 5), taArgInt(L, 6)); return 0;),
        BIND(ImageExist, return pushBool(L, ImageExist(taArgInt(L, 1)));),
        BIND(DeleteImage, DeleteImage(taArgInt(L, 1)); return 0;),
        BIND(ImageWidth, return pushInt(L, ImageWidth(taArgInt(L, 1)));),
        BIND(ImageHeight, return pushInt(L, ImageHeight(taArgInt(L, 1)));),
        // Keyboard, mouse and joystick
        BIND(EscapeKey, return pushBool(L, taKeyState(27));),
        BIND(ReturnKey, return pushBool(L, taKeyState(13));),
        BIND(SpaceKey, return pushBool(L, taKeyState(32));),
        BIND(ShiftKey, return pushBool(L, taKeyState(16));),
        BIND(RightKey, return pushBool(L, taKeyState(39));),
        BIND(LeftKey, return pushBool(L, taKeyState(37));),
        BIND(UpKey, return pushBool(L, taKeyState(38));),
        BIND(DownKey, return pushBool(L, taKeyState(40));),
        BIND(MinusKey, return pushBool(L, taKeyState(189) || taKeyState(109));),
        BIND(PlusKey, return pushBool(L, taKeyState(187) || taKeyState(107));),
        BIND(KeyState, return pushBool(L, taKeyState(taArgInt(L, 1)));),
        BIND(EscapeKeyEverPressed, return pushBool(L, taEscapeKey());),
        BIND(MouseClick, return pushInt(L, (taMouseButtonLeft() ? 1 : 0) + (taMouseButtonRight() ? 2 : 0));),
        BIND(MouseX, return pushInt(L, taMouseX());),
        BIND(MouseY, return pushInt(L, taMouseY());),
        BIND(MouseZ, return pushInt(L, taMouseWheel());),
        BIND(ShowMouse, taShowMouse(true); return 0;),
        BIND(HideMouse, taShowMouse(false); return 0;),
        BIND(EnableJoystick, taEnableJoystick(); return 0;),
        BIND(DisableJoystick, taDisableJoystick(); return 0;),
        BIND(JoystickIsPresent, return pushBool(L, taJoystickPresent());),
        BIND(JoystickUp, return pushBool(L, taJoystickAxis(1) < -kJoystickDeadZone);),
        BIND(JoystickDown, return pushBool(L, taJoystickAxis(1) > kJoystickDeadZone);),
        BIND(JoystickLeft, return pushBool(L, taJoystickAxis(0) < -kJoystickDeadZone);),
        BIND(JoystickRight, return pushBool(L, taJoystickAxis(0) > kJoystickDeadZone);),
        BIND(JoystickX, return pushInt(L, taJoystickAxis(0));),
        BIND(JoystickY, return pushInt(L, taJoystickAxis(1));),
        BIND(JoystickZ, return pushInt(L, taJoystickAxis(2));),
        BIND(JoystickR, return pushInt(L, taJoystickAxis(3));),
        BIND(JoystickU, return pushInt(L, taJoystickAxis(4));),
        BIND(JoystickV, return pushInt(L, taJoystickAxis(5));),
        BIND(JoystickFireA, return pushBool(L, taJoystickButton(0));),
        BIND(JoystickFireB, return pushBool(L, taJoystickButton(1));),
        BIND(JoystickFireC, return pushBool(L, taJoystickButton(2));),
        BIND(JoystickFireD, return pushBool(L, taJoystickButton(3));),
        BIND(JoystickFireX, return pushBool(L, taJoystickButton(taArgInt(L, 1)));),
        // Camera
        BIND(PositionCamera, PositionCamera(taArgNumber(L, 1), taArgNumber(L, 2), taArgNumber(L, 3)); return 0;),
        BIND(RotateCamera, RotateCamera(taArgNumber(L, 1), taArgNumber(L, 2), taArgNumber(L, 3)); return 0;),
        BIND(SetCameraRange, SetCameraRange(taArgNumber(L, 1), taArgNumber(L, 2)); return 0;),
        BIND(SetCameraFOV, SetCameraFOV(taArgNumber(L, 1)); return 0;),
        BIND(SetCameraDOF, SetCameraDOF(taArgInt(L, 1), taArgNumber(L, 2), taArgNumber(L, 3)); return 0;),
        BIND(SetCameraAdvancedDOF, SetCameraAdvancedDOF(taArgInt(L, 1), taArgNumber(L, 2), taArgNumber(L, 3),
                                                        taArgNumber(L, 4), taArgNumber(L, 5)); return 0;),
        BIND(SetCameraStereo,
             SetCameraStereo(taArgInt(L, 1), taArgNumber(L, 2), taArgInt(L, 3), taArgNumber(L, 4)); return 0;),
        BIND(SetCameraMode, SetCameraMode(taArgInt(L, 1)); return 0;),
        BIND(SetCameraMoveSpeed, SetCameraMoveSpeed(taArgNumber(L, 1)); return 0;),
        BIND(SetCameraJumpSpeed, SetCameraJumpSpeed(taArgNumber(L, 1)); return 0;),
        BIND(SetCameraRotationXYZ, return 0;),
        BIND(SetCameraRotationZYX, return 0;),
        BIND(AutomaticCameraCollisionOn,
             AutomaticCameraCollisionOn(taArgNumber(L, 1), taArgNumber(L, 2), taArgNumber(L, 3)); return 0;),
        BIND(AutomaticCameraCollisionOff, AutomaticCameraCollisionOff(); return 0;),
        // Objects: what the object viewer needs
        BIND(LoadObject, LoadObject(taArgString(L, 1), taArgInt(L, 2)); return 0;),
        BIND(ObjectExist, return pushBool(L, ObjectExist(taArgInt(L, 1)));),
        BIND(ObjectVisible, return pushBool(L, ObjectVisible(taArgInt(L, 1)));),
        BIND(ShowObject, ShowObject(taArgInt(L, 1)); return 0;),
        BIND(HideObject, HideObject(taArgInt(L, 1)); return 0;),
        BIND(DeleteObject, DeleteObject(taArgInt(L, 1)); return 0;),
        BIND(PositionObject,
             PositionObject(taArgInt(L, 1), taArgNumber(L, 2), taArgNumber(L, 3), taArgNumber(L, 4)); return 0;),
        BIND(RotateObject, RotateObject(taArgInt(L, 1), taArgNumber(L, 2), taArgNumber(L, 3), taArgNumber(L, 4)); return 0;),
        BIND(ScaleObject, ScaleObject(taArgInt(L, 1), taArgNumber(L, 2), taArgNumber(L, 3), taArgNumber(L, 4)); return 0;),
        BIND(TotalObjectFrames, return pushInt(L, TotalObjectFrames(taArgInt(L, 1)));),
        BIND(SetObjectFrame, SetObjectFrame(taArgInt(L, 1), taArgNumber(L, 2)); return 0;),
        BIND(GetObjectRadius, const float r = GetObjectRadius(taArgInt(L, 1)); lua_pushnumber(L, r); return 1;),
        BIND(SetObjectRotationXYZ, taArgInt(L, 1); return 0;),
        BIND(SetObjectRotationZYX, taArgInt(L, 1); return 0;),
        BIND(CloneObject, CloneObject(taArgInt(L, 1), taArgInt(L, 2)); return 0;),
        BIND(InstanceObject, InstanceObject(taArgInt(L, 1), taArgInt(L, 2)); return 0;),
        BIND(LockObjectOn, LockObjectOn(taArgInt(L, 1)); return 0;),
        BIND(LockObjectOff, LockObjectOff(taArgInt(L, 1)); return 0;),
        BIND(GhostObjectOn, GhostObjectOn(taArgInt(L, 1)); return 0;),
        BIND(SetAlphaMappingOn, SetAlphaMappingOn(taArgInt(L, 1), taArgNumber(L, 2)); return 0;),
        BIND(SetObjectCollisionOn, SetObjectCollisionOn(taArgInt(L, 1)); return 0;),
        BIND(SetObjectCollisionOff, SetObjectCollisionOff(taArgInt(L, 1)); return 0;),
        // Object surfaces
        BIND(SetObjectSurfaceParamTex, SetObjectSurfaceParamTex(taArgInt(L, 1), taArgInt(L, 2), taArgString(L, 3),
                                                                taArgString(L, 4)); return 0;),
        BIND(SetObjectSurfaceParamTexImg, SetObjectSurfaceParamTexImg(taArgInt(L, 1), taArgInt(L, 2),
                                                                      taArgString(L, 3), taArgInt(L, 4)); return 0;),
        BIND(SetObjectSurfaceParamInt, SetObjectSurfaceParamInt(taArgInt(L, 1), taArgInt(L, 2), taArgString(L, 3),
                                                                taArgInt(L, 4)); return 0;),
        BIND(SetObjectSurfaceParamFloat, SetObjectSurfaceParamFloat(taArgInt(L, 1), taArgInt(L, 2),
                                                                    taArgString(L, 3), taArgNumber(L, 4)); return 0;),
        BIND(SetObjectSurfaceParamFloat3,
             SetObjectSurfaceParamFloat3(taArgInt(L, 1), taArgInt(L, 2), taArgString(L, 3), taArgNumber(L, 4),
                                         taArgNumber(L, 5), taArgNumber(L, 6)); return 0;),
        BIND(SetObjectSurfaceEffect, SetObjectSurfaceEffect(taArgInt(L, 1), taArgInt(L, 2), taArgInt(L, 3)); return 0;),
        BIND(SetObjectSurfaceEffectTechnique,
             SetObjectSurfaceEffectTechnique(taArgInt(L, 1), taArgInt(L, 2), taArgInt(L, 3)); return 0;),
        BIND(UpdateObjectFromSurfaces, UpdateObjectFromSurfaces(taArgInt(L, 1)); return 0;),
        BIND(LoadEffectForObjectSurface, LoadEffectForObjectSurface(taArgString(L, 1), taArgInt(L, 2),
                                                                    taArgInt(L, 3), taArgInt(L, 4)); return 0;),
        {"SetObjectSurfaces", l_NotImplemented},
        {"SetObjectMorph", l_SetObjectMorph},
        {"GetObjectMorphCount", l_GetObjectMorphCount},
        // Lights: the point, directional and spot lights of the scene graph
        BIND(MakeLight, MakeLight(taArgInt(L, 1)); return 0;),
        BIND(SetPointLight, SetPointLight(taArgInt(L, 1), taArgNumber(L, 2), taArgNumber(L, 3), taArgNumber(L, 4)); return 0;),
        BIND(SetDirectionalLight,
             SetDirectionalLight(taArgInt(L, 1), taArgNumber(L, 2), taArgNumber(L, 3), taArgNumber(L, 4)); return 0;),
        BIND(SetSpotLight, SetSpotLight(taArgInt(L, 1), taArgNumber(L, 2), taArgNumber(L, 3)); return 0;),
        BIND(LightExist, return pushBool(L, LightExist(taArgInt(L, 1)));),
        BIND(LightVisible, return pushBool(L, LightVisible(taArgInt(L, 1)));),
        BIND(ShowLight, ShowLight(taArgInt(L, 1)); return 0;),
        BIND(HideLight, HideLight(taArgInt(L, 1)); return 0;),
        BIND(DeleteLight, DeleteLight(taArgInt(L, 1)); return 0;),
        BIND(PositionLight, PositionLight(taArgInt(L, 1), taArgNumber(L, 2), taArgNumber(L, 3), taArgNumber(L, 4)); return 0;),
        BIND(RotateLight, RotateLight(taArgInt(L, 1), taArgNumber(L, 2), taArgNumber(L, 3), taArgNumber(L, 4)); return 0;),
        BIND(SetLightRange, SetLightRange(taArgInt(L, 1), taArgNumber(L, 2)); return 0;),
        BIND(ColorLight, ColorLight(taArgInt(L, 1), taArgUnsigned(L, 2)); return 0;),
        BIND(ColorAmbientLight, ColorAmbientLight(taArgUnsigned(L, 1)); return 0;),
        BIND(SetLightRawColor,
             SetLightRawColor(taArgInt(L, 1), taArgNumber(L, 2), taArgNumber(L, 3), taArgNumber(L, 4)); return 0;),
        BIND(SetLightIntensity, SetLightIntensity(taArgInt(L, 1), taArgNumber(L, 2)); return 0;),
        BIND(SetLightShadow, SetLightShadow(taArgInt(L, 1), taArgBool(L, 2)); return 0;),
        BIND(ColorLightShadow, ColorLightShadow(taArgInt(L, 1), taArgUnsigned(L, 2)); return 0;),
        BIND(SetShadowMapSize, SetShadowMapSize(taArgInt(L, 1), taArgInt(L, 2)); return 0;),
        BIND(SetShadowMapFuzz, SetShadowMapFuzz(taArgInt(L, 1), taArgNumber(L, 2)); return 0;),
        BIND(ColorBackdrop, ColorBackdrop(taArgUnsigned(L, 1)); return 0;),
        BIND(SetLightRotationXYZ, taArgInt(L, 1); return 0;),
        BIND(SetLightRotationZYX, taArgInt(L, 1); return 0;),
        // The other stub names
        {"SetCameraEffectParameters", l_NotImplemented},
        {"SetFxEmitterSizeGradient", l_NotImplemented},
        {"SetFxEmitterColorGradient", l_NotImplemented},
        {"SetFxEmitterEffectParameters", l_NotImplemented},
        // Camera effects
        BIND(MakeCameraEffect, MakeCameraEffect(taArgInt(L, 1), taArgInt(L, 2)); return 0;),
        BIND(MakeCameraEffectFromFile, MakeCameraEffectFromFile(taArgInt(L, 1), taArgString(L, 2)); return 0;),
        BIND(CameraEffectExist, return pushBool(L, CameraEffectExist(taArgInt(L, 1)));),
        BIND(DeleteCameraEffect, DeleteCameraEffect(taArgInt(L, 1)); return 0;),
        BIND(ShowCameraEffect, ShowCameraEffect(taArgInt(L, 1)); return 0;),
        BIND(HideCameraEffect, HideCameraEffect(taArgInt(L, 1)); return 0;),
        BIND(SetCameraEffectPriority, SetCameraEffectPriority(taArgInt(L, 1), taArgInt(L, 2)); return 0;),
        // Effects
        BIND(LoadEffect, LoadEffect(taArgString(L, 1), taArgInt(L, 2)); return 0;),
        BIND(EffectExist, return pushBool(L, EffectExist(taArgInt(L, 1)));),
        BIND(DeleteEffect, DeleteEffect(taArgInt(L, 1)); return 0;),
        BIND(SetEffectConstantBoolean,
             SetEffectConstantBoolean(taArgInt(L, 1), taArgString(L, 2), taArgAny(L, 3)); return 0;),
        BIND(SetEffectConstantInteger,
             SetEffectConstantInteger(taArgInt(L, 1), taArgString(L, 2), taArgInt(L, 3)); return 0;),
        BIND(SetEffectConstantFloat,
             SetEffectConstantFloat(taArgInt(L, 1), taArgString(L, 2), taArgNumber(L, 3)); return 0;),
        BIND(SetEffectConstantFloatN, {
            // Arguments 3 onward, non-numbers read as 0; more than 16 is refused before anything is set.
            const int id = taArgInt(L, 1);
            const char* name = taArgString(L, 2);
            const int count = lua_gettop(L) - 2;
            float values[16] = {};
            for (int i = 0; i < count && i < 16; ++i)
                values[i] = lua_isnumber(L, 3 + i) ? static_cast<float>(lua_tonumber(L, 3 + i)) : 0.0f;
            SetEffectConstantFloatN(id, name, values, count < 0 ? 0 : count);
            return 0;
        }),
        BIND(SetEffectTexture, SetEffectTexture(taArgInt(L, 1), taArgString(L, 2), taArgString(L, 3)); return 0;),
        BIND(SetEffectTextureImage,
             SetEffectTextureImage(taArgInt(L, 1), taArgString(L, 2), taArgInt(L, 3)); return 0;),
        // Music
        BIND(LoadMusic, LoadMusic(taArgString(L, 1), taArgInt(L, 2)); return 0;),
        BIND(MusicExist, return pushBool(L, MusicExist(taArgInt(L, 1)) != 0);),
        BIND(PlayMusic, PlayMusic(taArgInt(L, 1)); return 0;),
        BIND(PauseMusic, PauseMusic(taArgInt(L, 1)); return 0;),
        BIND(ResumeMusic, ResumeMusic(taArgInt(L, 1)); return 0;),
        BIND(StopMusic, StopMusic(taArgInt(L, 1)); return 0;),
        BIND(DeleteMusic, DeleteMusic(taArgInt(L, 1)); return 0;),
        BIND(SetMusicPosition, SetMusicPosition(taArgInt(L, 1), taArgInt(L, 2)); return 0;),
        BIND(GetMusicPosition, return pushInt(L, GetMusicPosition(taArgInt(L, 1)));),
        BIND(SetMusicVolume, SetMusicVolume(taArgInt(L, 1), taArgInt(L, 2)); return 0;),
        BIND(MusicVolume, MusicVolume(taArgInt(L, 1)); return 0;),
        // Scenes: the host's part
        {"SetLoadSceneCallback", l_SetLoadSceneCallback},
        {"LoadScene", l_LoadScene},
        BIND(SceneExist, return pushBool(L, SceneExist(taArgInt(L, 1)));),
        BIND(DeleteScene, DeleteScene(taArgInt(L, 1)); return 0;),
        BIND(ShowScene, ShowScene(taArgInt(L, 1)); return 0;),
        BIND(HideScene, HideScene(taArgInt(L, 1)); return 0;),
        BIND(SceneTotalObjects, return pushInt(L, SceneTotalObjects(taArgInt(L, 1)));),
        BIND(SceneTotalLights, return pushInt(L, SceneTotalLights(taArgInt(L, 1)));),
        BIND(SceneTotalFxEmitters, return pushInt(L, SceneTotalFxEmitters(taArgInt(L, 1)));),
        BIND(SceneTotalCubeMaps, return pushInt(L, SceneTotalCubeMaps(taArgInt(L, 1)));),
        BIND(SceneTotalCameraShaders, return pushInt(L, SceneTotalCameraShaders(taArgInt(L, 1)));),
        BIND(SceneTotalEffects, return pushInt(L, SceneTotalEffects(taArgInt(L, 1)));),
        BIND(AnimateScene, AnimateScene(taArgInt(L, 1), taArgInt(L, 2)); return 0;),
        BIND(AnimateSceneObject, AnimateSceneObject(taArgInt(L, 1), taArgInt(L, 3), taArgInt(L, 2)); return 0;),
        BIND(AnimateSceneProcessing, AnimateSceneProcessing(taArgInt(L, 1), taArgInt(L, 2)); return 0;),
        BIND(AnimateSceneCameraShaders, AnimateSceneCameraShaders(taArgInt(L, 1), taArgInt(L, 2)); return 0;),
        BIND(SceneAnimTimeEnd, return pushInt(L, SceneAnimTimeEnd(taArgInt(L, 1)));),
        BIND(SceneFps, return pushInt(L, SceneFps(taArgInt(L, 1)));),
        BIND(SceneFrameStart, return pushInt(L, SceneFrameStart(taArgInt(L, 1)));),
        BIND(PrepareSceneRender, PrepareSceneRender(taArgInt(L, 1)); return 0;),
    };
    return bindings;
}
