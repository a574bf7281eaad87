// The start-up dialogs: the screen-mode dialog and the file requester, shown by whatever handler
// the engine context installs once it can open a window. Without one both count as cancelled.
#pragma once

#include "engine/TaSetupParams.h"
#include "platform/TaWindow.h"

#include <string>
#include <vector>

// Shows the screen-mode dialog: 0 and the mode when the user pressed Start, -1 otherwise.
typedef int (*TaScreenModeDialogHandler)(STaScreenMode* mode, void* user);
// Shows an open-file dialog with a filter list (name, pattern list pairs ending with nullptr, the
// first selected); the chosen path or nullptr when cancelled.
typedef const char* (*TaFileRequesterHandler)(const char* title, const char* const* filters, void* user);

void taSetScreenModeDialogHandler(TaScreenModeDialogHandler handler, void* user);
void taSetFileRequesterHandler(TaFileRequesterHandler handler, void* user);

// 0 when Start was pressed (the mode is also kept for taScreenModeOption), -1 otherwise.
int taScreenModeDialog(STaScreenMode* mode);
// The last dialog result by its field name ("width" ... "centered"); -1 for an unknown name or
// when the dialog never ran.
int taScreenModeOption(const char* name);

// The chosen path (at most 259 characters, in a process-wide buffer) or nullptr when cancelled.
// `filters`: name, pattern list pairs ending with nullptr (nullptr: every file).
const char* taFileRequester(const char* title, const char* const* filters);

// Filters of the start-up requester: name, then pattern list, ending with two nullptrs.
extern const char* const taFileRequesterFilters[];

// True when a file name matches one of the ";"-separated wildcard patterns of a filter, without
// regard to case ("*.*" matches every name, with or without a dot).
bool taFileMatchesFilter(const char* name, const char* patterns);

// A display mode as the system reports it.
using STaVideoModeEntry = STaDisplayMode;
// The dialog's list: modes of 32 bits per pixel (X reports 24 for them), one per width, height and
// depth, at most 200, sorted by width, then height, depth and refresh rate.
std::vector<STaVideoModeEntry> taScreenModeList(const std::vector<STaVideoModeEntry>& reported);
// "%4d x %4d", with " (recommended)" for 1280 x 720 x 32.
std::string taScreenModeLabel(const STaVideoModeEntry& mode);
// The entry selected at first: the recommended one, else the desktop's mode, else 1920 x 1080 x 32;
// -1 when none of them is listed.
int taScreenModeInitialSelection(const std::vector<STaVideoModeEntry>& list, const STaVideoModeEntry& desktop);
