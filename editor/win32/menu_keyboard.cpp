#include "menu_keyboard.h"

#include <cwchar>
#include <iterator>

namespace win32 {
namespace {

bool isTextBox(HWND control)
{
    wchar_t windowClass[16] = {};
    return GetClassNameW(control, windowClass, 16) > 0 && _wcsicmp(windowClass, L"Edit") == 0;
}

bool down(int key) { return GetKeyState(key) < 0; }

// The window's own keys; true when the message has been dealt with.
bool handleKeys(HWND window, HACCEL shortcuts, MSG& msg)
{
    if (msg.hwnd != window && !IsChild(window, msg.hwnd))
        return false;
    bool cutInTextBox = false;
    if (msg.message == WM_KEYDOWN && isTextBox(msg.hwnd)) {
        const bool ctrl = down(VK_CONTROL), shift = down(VK_SHIFT), alt = down(VK_MENU);
        if (msg.wParam == 'A' && ctrl && !shift && !alt) {
            SendMessageW(msg.hwnd, EM_SETSEL, 0, -1);
            return true;
        }
        cutInTextBox = msg.wParam == VK_DELETE && shift && !ctrl && !alt;
    }
    if (!cutInTextBox && TranslateAcceleratorW(window, shortcuts, &msg))
        return true;
    return IsDialogMessageW(window, &msg);
}

}  // namespace

HMENU createMenuBar()
{
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, mnuFileSave, L"&Save\tCtrl+S");
    AppendMenuW(file, MF_STRING, mnuFileLoad, L"&Load\tCtrl+O");
    AppendMenuW(file, MF_STRING, mnuFileClear, L"&Clear\tShift+Del");
    AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, mnuFileNext, L"次のカード(&N)\tCtrl+PgDn");
    AppendMenuW(file, MF_STRING, mnuFilePrevious, L"前のカード(&P)\tCtrl+PgUp");
    AppendMenuW(file, MF_STRING, mnuFileReport, L"カードセットのレポート(&R)");
    HMENU bar = CreateMenu();
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    return bar;
}

HACCEL createShortcuts()
{
    ACCEL keys[] = {
        {FVIRTKEY | FCONTROL, 'S', mnuFileSave},
        {FVIRTKEY | FCONTROL, 'O', mnuFileLoad},
        {FVIRTKEY | FSHIFT, VK_DELETE, mnuFileClear},
        {FVIRTKEY | FCONTROL, VK_NEXT, mnuFileNext},
        {FVIRTKEY | FCONTROL, VK_PRIOR, mnuFilePrevious},
    };
    return CreateAcceleratorTableW(keys, int(std::size(keys)));
}

int runMessageLoop(HWND window, HACCEL shortcuts, const MessageLoopHooks& hooks)
{
    MSG msg{};
    for (;;) {
        // Idle work a piece at a time, only while no message waits.
        if (hooks.whenIdle && !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) && hooks.whenIdle())
            continue;
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0)
            break;
        if ((msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) && hooks.keyFirst && hooks.keyFirst(msg))
            continue;
        if (handleKeys(window, shortcuts, msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return int(msg.wParam);
}

}  // namespace win32
