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
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    ReleaseDC(box, dc);
}

LRESULT CALLBACK thinFrame(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    switch (message) {
    case WM_NCPAINT: paintFrame(box); return 0;
    case WM_NCDESTROY: RemoveWindowSubclass(box, thinFrame, kThinFrameSubclass); break;
    }
    return DefSubclassProc(box, message, wParam, lParam);
}

}  // namespace

void giveThinFrame(HWND textBox) { SetWindowSubclass(textBox, thinFrame, kThinFrameSubclass, 0); }

}  // namespace win32
