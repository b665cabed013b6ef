#pragma once

// The File menu, its shortcuts, and the keyboard of the message loop.

#include <windows.h>

namespace win32 {

// Command ids of the menu items; their shortcuts send the same.
enum MenuCommand : WORD {
    mnuFileSave = 40001,
    mnuFileLoad,
    mnuFileClear,
};

// The menu bar: "&File" with "&Save" (Ctrl+S), "&Load" (Ctrl+O) and "&Clear"
// (Shift+Del). The caller gives it to a window, which destroys it.
HMENU createMenuBar();

// Ctrl+S, Ctrl+O and Shift+Del as the menu's commands. The caller destroys it.
HACCEL createShortcuts();

// Runs the thread's messages until WM_QUIT and returns its exit code. For
// `window`: the shortcuts, except that Shift+Del in a text box stays the
// box's Cut; Ctrl+A selects a text box's whole text; Tab, the arrow keys
// and the buttons' mnemonics as in a dialog box (IsDialogMessage).
int runMessageLoop(HWND window, HACCEL shortcuts);

}  // namespace win32
