#include "id_suggestion_list.h"

#include "system_path_windows.h"

#include <commctrl.h>

#include <algorithm>

namespace win32 {
namespace {

constexpr UINT_PTR kListSubclass = 1;
constexpr int kMostRowsShown = 10;

}  // namespace

IdSuggestionList::IdSuggestionList(HWND owner, HWND idBox, HFONT font, Calls calls)
    : owner_(owner)
    , idBox_(idBox)
    , font_(font)
    , calls_(std::move(calls))
{
}

void IdSuggestionList::make()
{
    list_ = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST, L"LISTBOX", L"IDの候補",
        WS_POPUP | WS_BORDER | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY, 0, 0, 0, 0, owner_, nullptr,
        reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner_, GWLP_HINSTANCE)), nullptr);
    SetWindowSubclass(list_, listProc, kListSubclass, reinterpret_cast<DWORD_PTR>(this));
    SendMessageW(list_, WM_SETFONT, WPARAM(font_), FALSE);
    calls_.made(list_);
}

IdSuggestionList::~IdSuggestionList()
{
    if (IsWindow(list_)) {
        RemoveWindowSubclass(list_, listProc, kListSubclass);
        DestroyWindow(list_);
    }
}

void IdSuggestionList::setFont(HFONT font)
{
    font_ = font;
    if (list_)
        SendMessageW(list_, WM_SETFONT, WPARAM(font), FALSE);
}

void IdSuggestionList::show(const std::vector<std::string>& entries)
{
    if (entries.empty()) {
        hide();
        return;
    }
    if (!list_)
        make();
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list_, LB_RESETCONTENT, 0, 0);
    // As wide as the widest entry, never narrower than the box.
    RECT box{};
    GetWindowRect(idBox_, &box);
    int width = box.right - box.left;
    HDC dc = GetDC(list_);
    HGDIOBJ oldFont = SelectObject(dc, font_);
    for (const std::string& entry : entries) {
        const std::wstring text = profile::sys::widen(entry);
        SendMessageW(list_, LB_ADDSTRING, 0, LPARAM(text.c_str()));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
        width = std::max(width, int(size.cx) + GetSystemMetrics(SM_CXVSCROLL) + 8);
    }
    SelectObject(dc, oldFont);
    ReleaseDC(list_, dc);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    // Nothing chosen until the user moves into the list: Enter alone picks nothing.
    SendMessageW(list_, LB_SETCURSEL, WPARAM(-1), 0);
    const int rowHeight = int(SendMessageW(list_, LB_GETITEMHEIGHT, 0, 0));
    const int rows = std::min(int(entries.size()), kMostRowsShown);
    SetWindowPos(list_, HWND_TOPMOST, box.left, box.bottom, width, rows * rowHeight + 2 * GetSystemMetrics(SM_CYBORDER),
        SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(list_, nullptr, TRUE);
}

void IdSuggestionList::hide()
{
    if (!isShown())
        return;
    ShowWindow(list_, SW_HIDE);
    calls_.closed();
}

bool IdSuggestionList::handleKey(WPARAM key)
{
    if (!isShown())
        return false;
    const int count = int(SendMessageW(list_, LB_GETCOUNT, 0, 0));
    const int current = int(SendMessageW(list_, LB_GETCURSEL, 0, 0));
    switch (key) {
    case VK_DOWN:
        SendMessageW(list_, LB_SETCURSEL, WPARAM(current < 0 ? 0 : std::min(current + 1, count - 1)), 0);
        return true;
    case VK_UP:
        SendMessageW(list_, LB_SETCURSEL, WPARAM(current <= 0 ? (current < 0 ? count - 1 : 0) : current - 1), 0);
        return true;
    case VK_RETURN:
        hide();
        if (current >= 0)
            pick(current);
        return true;
    case VK_ESCAPE: hide(); return true;
    }
    return false;
}

void IdSuggestionList::pick(int row)
{
    hide();
    calls_.picked(row);
}

// A click picks the entry under the mouse; the list never takes the
// activation or the focus, so the ID box keeps the keyboard.
LRESULT CALLBACK IdSuggestionList::listProc(
    HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self)
{
    auto* suggestions = reinterpret_cast<IdSuggestionList*>(self);
    switch (message) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_LBUTTONDOWN: {
        const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, lParam);
        if (HIWORD(hit) == 0)
            suggestions->pick(LOWORD(hit));
        return 0;
    }
    case WM_NCDESTROY: RemoveWindowSubclass(list, listProc, kListSubclass); break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

}  // namespace win32
