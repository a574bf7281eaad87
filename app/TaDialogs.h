// The start-up dialogs: the screen-mode dialog and the file requester, shown by whatever handler
// the engine context installs once it can open a window. Without one both count as cancelled.
#pragma once

#include "app/TaSetup.h"

// Shows the screen-mode dialog: 0 and the mode when the user pressed Start, -1 otherwise.
typedef int (*TaScreenModeDialogHandler)(STaScreenMode* mode, void* user);
// Shows an open-file dialog; the chosen path or nullptr when cancelled.
typedef const char* (*TaFileRequesterHandler)(const char* title, const char* filter, void* user);

void taSetScreenModeDialogHandler(TaScreenModeDialogHandler handler, void* user);
void taSetFileRequesterHandler(TaFileRequesterHandler handler, void* user);

// 0 when Start was pressed (the mode is also kept for taScreenModeOption), -1 otherwise.
int taScreenModeDialog(STaScreenMode* mode);
// The last dialog result by its field name ("width" ... "centered"); -1 for an unknown name or
// when the dialog never ran.
int taScreenModeOption(const char* name);

// The chosen path (at most 259 characters, in a process-wide buffer) or nullptr when cancelled.
const char* taFileRequester(const char* title, const char* filter);

// Filters of the requester: name, then pattern list, ending with two nullptrs.
extern const char* const taFileRequesterFilters[];
