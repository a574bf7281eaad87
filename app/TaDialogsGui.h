// The window-system forms of the message box, the file requester and the screen-mode dialog:
// small windows of their own, drawn by Irrlicht's software renderer so that they never touch the
// engine's OpenGL context.
#pragma once

#include <irrlicht.h>

// Installs the three when a display can be opened; true when it did. Without a display the
// defaults stay: messages go to standard error and the dialogs answer cancelled.
bool taInstallGuiDialogs();

// Element IDs in the dialogs, for the automation hook.
enum ETaDialogElement {
    ETADIALOG_OK = 101,          // message box OK, file requester OK, screen-mode "Start"
    ETADIALOG_CANCEL = 102,
    ETADIALOG_MODES = 103,       // the screen-mode list
    ETADIALOG_FULLSCREEN = 104,
    ETADIALOG_WINDOWED = 105,
    ETADIALOG_NOTICE = 106,
    ETADIALOG_FILTERS = 107,     // the file requester's filter list
    ETADIALOG_FILES = 108,       // the directory listing
    ETADIALOG_FILENAME = 109,
    ETADIALOG_TEXT = 110,        // the message box text
};

// Called once per drawn frame of a dialog with its device (tests drive the dialogs with it; a
// frame number starts at 0). nullptr removes it.
typedef void (*TaGuiDialogHook)(irr::IrrlichtDevice* device, int frame, void* user);
void taSetGuiDialogHook(TaGuiDialogHook hook, void* user);

// Presses a button of a running dialog, as a click would (for the hook).
void taGuiPressButton(irr::IrrlichtDevice* device, int id);
