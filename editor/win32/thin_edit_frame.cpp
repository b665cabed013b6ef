#include "thin_edit_frame.h"

#include <commctrl.h>

namespace win32 {
namespace {

constexpr UINT_PTR kThinFrameSubclass = 2;

void paintFrame(HWND box)
{
    RECT r{};
    GetWindowRect(box, &r);
    OffsetRect(&r, -r.left, -r.top);
    HDC dc = GetWindowDC(box);
    FrameRect(dc, &r, GetSysColorBrush(GetFocus() == box ? COLOR_HIGHLIGHT : COLOR_BTNSHADOW));
    ReleaseDC(box, dc);
}

LRESULT CALLBACK thinFrame(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    switch (message) {
    case WM_NCCALCSIZE: {
        RECT* client
            = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
        InflateRect(client, -1, -1);
        return 0;
    }
    case WM_NCPAINT: paintFrame(box); return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        const LRESULT result = DefSubclassProc(box, message, wParam, lParam);
        paintFrame(box);
        return result;
    }
    case WM_NCDESTROY: RemoveWindowSubclass(box, thinFrame, kThinFrameSubclass); break;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

}  // namespace

void giveThinFrame(HWND textBox)
{
    SetWindowSubclass(textBox, thinFrame, kThinFrameSubclass, 0);
    SetWindowPos(
        textBox, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace win32
