// Start-up dialogs through installed handlers.
#include "engine/TaDialogs.h"

#include "core/TaLog.h"

#include "platform/TaPlatform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <tuple>

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

const char* taFileRequester(const char* title, const char* const* filters)
{
    if (!g_requester) {
        taPrint(ETALOG_WARN, "No display to show the file requester on: cancelled");
        return nullptr;
    }
    const char* path = g_requester(title, filters, g_requesterUser);
    if (!path)
        return nullptr;
    if (strlen(path) >= sizeof(g_requesterPath)) {
        taPrint(ETALOG_ERROR, "The chosen path is longer than %d characters", TA_MAX_PATH - 1);
        return nullptr;
    }
    snprintf(g_requesterPath, sizeof(g_requesterPath), "%s", path);
    return g_requesterPath;
}

bool taFileMatchesFilter(const char* name, const char* patterns)
{
    if (!name || !patterns)
        return false;
    std::string lowerName(name);
    for (char& c : lowerName)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    std::string list(patterns);
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos)
            end = list.size();
        std::string pattern = list.substr(start, end - start);
        for (char& c : pattern)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        // On Windows "*.*" means every file, dot or not.
        if (pattern == "*.*")
            pattern = "*";
        if (!pattern.empty() && taPlatformMatchPattern(pattern.c_str(), lowerName.c_str()))
            return true;
        start = end + 1;
    }
    return false;
}

std::vector<STaVideoModeEntry> taScreenModeList(const std::vector<STaVideoModeEntry>& reported)
{
    std::vector<STaVideoModeEntry> list;
    for (STaVideoModeEntry mode : reported) {
        if (list.size() >= 200)
            break;
        // X counts the colour bits of a 32-bit mode: 24.
        if (mode.bpp == 24)
            mode.bpp = 32;
        if (mode.bpp < 32 || mode.width <= 0 || mode.height <= 0)
            continue;
        const bool seen = std::any_of(list.begin(), list.end(), [&](const STaVideoModeEntry& m) {
            return m.width == mode.width && m.height == mode.height && m.bpp == mode.bpp;
        });
        if (!seen)
            list.push_back(mode);
    }
    std::sort(list.begin(), list.end(), [](const STaVideoModeEntry& a, const STaVideoModeEntry& b) {
        return std::tie(a.width, a.height, a.bpp, a.refresh) < std::tie(b.width, b.height, b.bpp, b.refresh);
    });
    return list;
}

std::string taScreenModeLabel(const STaVideoModeEntry& mode)
{
    char text[64];
    snprintf(text, sizeof(text), "%4d x %4d%s", mode.width, mode.height,
             mode.width == 1280 && mode.height == 720 && mode.bpp == 32 ? " (recommended)" : "");
    return text;
}

int taScreenModeInitialSelection(const std::vector<STaVideoModeEntry>& list, const STaVideoModeEntry& desktop)
{
    const STaVideoModeEntry wanted[] = {{1280, 720, 32, 0}, {desktop.width, desktop.height, desktop.bpp == 24 ? 32 : desktop.bpp, 0},
                                        {1920, 1080, 32, 0}};
    for (const STaVideoModeEntry& w : wanted)
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].width == w.width && list[i].height == w.height && list[i].bpp == w.bpp)
                return static_cast<int>(i);
    return -1;
}
