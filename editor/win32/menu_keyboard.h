#pragma once

// The File menu, its shortcuts, and the keyboard of the message loop.

#include <windows.h>

#include <functional>

namespace win32 {

// Command ids of the menu items; their shortcuts send the same.
enum MenuCommand : WORD {
    mnuFileSave = 40001,
    mnuFileLoad,
    mnuFileClear,
    mnuFileNext,
    mnuFilePrevious,
    mnuFileReport,
};

// The menu bar: "&File" with "&Save" (Ctrl+S), "&Load" (Ctrl+O) and "&Clear"
// (Shift+Del), a separator, then 次のカード(&N) (Ctrl+PgDn), 前のカード(&P)
// (Ctrl+PgUp) and カードセットのレポート(&R). The caller gives it to a window,
// which destroys it.
HMENU createMenuBar();

// The menu's shortcuts as its commands. The caller destroys it.
HACCEL createShortcuts();

// What the window adds to the message loop: a look at each key before the
// window's own keys (true when it took the key), and work for the moments
// when no message waits (true while there is more).
struct MessageLoopHooks {
    std::function<bool(const MSG&)> keyFirst;
    std::function<bool()> whenIdle;
};

// Runs the thread's messages until WM_QUIT and returns its exit code. For
// `window`: the shortcuts, except that Shift+Del in a text box stays the
// box's Cut; Ctrl+A selects a text box's whole text; Tab, the arrow keys
// and the buttons' mnemonics as in a dialog box (IsDialogMessage).
int runMessageLoop(HWND window, HACCEL shortcuts, const MessageLoopHooks& hooks = {});

}  // namespace win32
