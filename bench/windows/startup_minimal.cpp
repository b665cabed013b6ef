// The baseline of the Windows start-up benchmark: a window with one Japanese
// label in the editor's own font (the same search for the Japanese UI font),
// with velmar.exe's manifest, closed with its window.
#include "dpi_font.h"

#include <commctrl.h>
#include <windows.h>

namespace {

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    const INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&common);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"startup_minimal";
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"startup_minimal", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
        CW_USEDEFAULT, 354, 340, nullptr, nullptr, instance, nullptr);
    const UINT dpi = GetDpiForWindow(window);
    HWND label = CreateWindowExW(0, L"STATIC", L"このカードはスーパー化しない", WS_CHILD | WS_VISIBLE, 8, 8,
        win32::pixels(3255, dpi), win32::pixels(255, dpi), window, nullptr, instance, nullptr);
    HFONT font = win32::createWindowFont(dpi);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    DeleteObject(font);
    return int(msg.wParam);
}
