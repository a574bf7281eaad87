// Start-up dialogs through installed handlers.
#include "app/TaDialogs.h"

#include "app/TaLog.h"

#include <cstdio>
#include <cstring>

const char* const taFileRequesterFilters[] = {
    "All supported", "*.tscn;*.x;*.demo.ini;*.lua;*.tlua",
    "Tarv Scene (.tscn)", "*.tscn",
    "Tarv Demo (demo.ini)", "*.demo.ini",
    "DirectX Object(.x)", "*.x",
    "Lua script(.lua)", "*.lua;*.tlua",
    "All", "*.*",
    nullptr, nullptr,
};

namespace {
TaScreenModeDialogHandler g_dialog = nullptr;
void* g_dialogUser = nullptr;
TaFileRequesterHandler g_requester = nullptr;
void* g_requesterUser = nullptr;
bool g_hasDialogResult = false;
STaScreenMode g_dialogResult;
char g_requesterPath[TA_MAX_PATH];
} // namespace

void taSetScreenModeDialogHandler(TaScreenModeDialogHandler handler, void* user)
{
    g_dialog = handler;
    g_dialogUser = user;
}

void taSetFileRequesterHandler(TaFileRequesterHandler handler, void* user)
{
    g_requester = handler;
    g_requesterUser = user;
}

int taScreenModeDialog(STaScreenMode* mode)
{
    if (!g_dialog) {
        taPrint(ETALOG_WARN, "No display to show the screen-mode dialog on: cancelled");
        return -1;
    }
    STaScreenMode chosen = taEmptyScreenMode();
    if (g_dialog(&chosen, g_dialogUser) != 0)
        return -1;
    chosen.centered = 0;
    g_dialogResult = chosen;
    g_hasDialogResult = true;
    if (mode)
        *mode = chosen;
    return 0;
}

int taScreenModeOption(const char* name)
{
    if (!g_hasDialogResult || !name)
        return -1;
    const STaScreenMode& m = g_dialogResult;
    struct { const char* name; int value; } fields[] = {
        {"width", m.width}, {"height", m.height}, {"windowed", m.windowed}, {"windowx", m.windowX},
        {"windowy", m.windowY}, {"bpp", m.bpp}, {"vsync", m.vsync}, {"fps", m.fps},
        {"antialias", m.antialias}, {"shaders", m.shaders}, {"stereo", m.stereo}, {"centered", m.centered},
    };
    for (const auto& field : fields)
        if (strcmp(field.name, name) == 0)
            return field.value;
    return -1;
}

const char* taFileRequester(const char* title, const char* filter)
{
    if (!g_requester) {
        taPrint(ETALOG_WARN, "No display to show the file requester on: cancelled");
        return nullptr;
    }
    const char* path = g_requester(title, filter, g_requesterUser);
    if (!path)
        return nullptr;
    if (strlen(path) >= sizeof(g_requesterPath)) {
        taPrint(ETALOG_ERROR, "The chosen path is longer than %d characters", TA_MAX_PATH - 1);
        return nullptr;
    }
    snprintf(g_requesterPath, sizeof(g_requesterPath), "%s", path);
    return g_requesterPath;
}
