#include "control_table.h"

#include "dpi_font.h"
#include "level_buffer.h"
#include "thin_edit_frame.h"
#include "system_path_windows.h"

#include <cstring>
#include <string>

namespace win32 {
namespace {

using form_layout::Kind;

constexpr int kListRows = 8;    // entries a dropped-down list shows at once
constexpr int kTextMargin = 2;  // pixels at 96 dpi between a text box's frame and its text

struct NativeKind {
    const wchar_t* windowClass;
    DWORD style;
    DWORD exStyle;
};

NativeKind nativeKind(Kind kind)
{
    switch (kind) {
    case Kind::Label: return {L"STATIC", SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE, 0};
    case Kind::TextBox: return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, 0};
    case Kind::Button: return {L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0};
    case Kind::Frame: return {L"BUTTON", BS_GROUPBOX, 0};
    case Kind::ComboBox: return {L"COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
    case Kind::Option: return {L"BUTTON", BS_AUTORADIOBUTTON, 0};
    }
    return {L"STATIC", 0, 0};
}

std::wstring wide(const char* utf8) { return profile::sys::widen(utf8); }

template <typename Entries> void fillList(HWND list, const Entries& entries)
{
    for (const auto& entry : entries)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(std::string(entry).c_str()).c_str()));
}

// The row of the table with that name; nullptr for "" (the window itself).
const form_layout::Control* rowNamed(const char* name)
{
    for (const auto& row : form_layout::controls())
        if (*name && std::strcmp(row.name, name) == 0)
            return &row;
    return nullptr;
}

// A list-only combo box is as high as its font makes its entry field; the
// entry field's height is set so the closed box has the table's height. Not
// every system gives back the height it was set to (Wine's is two pixels
// more): set, measure, correct what was set.
void fitComboHeight(HWND box, int height)
{
    const auto closedHeight = [box] {
        RECT r{};
        GetWindowRect(box, &r);
        return int(r.bottom - r.top);
    };
    const LRESULT field = SendMessageW(box, CB_GETITEMHEIGHT, WPARAM(-1), 0);
    if (field <= 0)
        return;
    int set = int(field) + height - closedHeight();
    for (int attempt = 0; attempt < 3 && closedHeight() != height; ++attempt) {
        SendMessageW(box, CB_SETITEMHEIGHT, WPARAM(-1), set);
        set += height - closedHeight();
    }
}

}  // namespace

ControlTable::ControlTable(HWND window, HINSTANCE instance)
    : window_(window)
{
    const auto rows = form_layout::controls();
    std::size_t options = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& c = rows[i];
        const NativeKind native = nativeKind(c.kind);
        DWORD style = WS_CHILD | WS_VISIBLE | native.style;
        // Every control is a group of its own, except that the level options
        // make one group: the arrow keys move within it, Tab stops once.
        const bool laterOption = c.kind == Kind::Option && options > 0;
        if (!laterOption)
            style |= WS_GROUP;
        HWND control = CreateWindowExW(native.exStyle, native.windowClass, wide(c.text).c_str(), style, 0, 0, 0, 0,
            window, reinterpret_cast<HMENU>(INT_PTR(kFirstId + int(i))), instance, nullptr);
        controls_.push_back(control);
        if (c.kind == Kind::Option && options < levelOptions_.size())
            levelOptions_[options++] = control;
        if (c.kind == Kind::TextBox) {
            SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // no limit but the system's
            giveThinFrame(control);
        }
    }
    for (const auto& line : form_layout::lines()) {
        const DWORD style = line.x1 == line.x2 ? SS_ETCHEDVERT : SS_ETCHEDHORZ;
        lines_.push_back(CreateWindowExW(
            0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window, nullptr, instance, nullptr));
    }
    fillList(find("cboSuperMode"), form_layout::superModeEntries());
    fillList(find("cboExWaza1"), form_layout::reachEntries());
    fillList(find("cboExtWaza2"), kEffectLetters);
    SendMessageW(levelOptions_[0], BM_SETCHECK, BST_CHECKED, 0);
}

ControlTable::~ControlTable()
{
    for (HFONT narrow : narrowFonts_)
        DeleteObject(narrow);
}

void ControlTable::place(UINT dpi, HFONT font)
{
    std::vector<HFONT> previousNarrowFonts = std::move(narrowFonts_);
    const auto px = [dpi](int twips) { return pixels(twips, dpi); };
    const auto rows = form_layout::controls();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& c = rows[i];
        HWND control = controls_[i];
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (c.kind == Kind::TextBox) {
            const int margin = MulDiv(kTextMargin, int(dpi), USER_DEFAULT_SCREEN_DPI);
            SendMessageW(control, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(margin, margin));
        }
        const form_layout::Control* frame = rowNamed(c.container);
        const int x = (frame ? px(frame->left) : 0) + px(c.left);
        const int y = (frame ? px(frame->top) : 0) + px(c.top);
        int height = px(c.height);
        if (c.kind == Kind::ComboBox) {
            fitComboHeight(control, height);
            // The height given is the dropped-down box's, list included.
            height += kListRows * int(SendMessageW(control, CB_GETITEMHEIGHT, 0, 0)) + 2;
        }
        SetWindowPos(control, nullptr, x, y, px(c.width), height, SWP_NOZORDER | SWP_NOACTIVATE);
        if (c.kind == Kind::ComboBox) {
            if (HFONT narrow = createFontToFitList(control, font)) {
                SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(narrow), FALSE);
                narrowFonts_.push_back(narrow);
            }
            fitComboHeight(control, px(c.height));
        }
    }
    for (HFONT narrow : previousNarrowFonts)
        DeleteObject(narrow);
    const auto lines = form_layout::lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& line = lines[i];
        const form_layout::Control* frame = rowNamed(line.container);
        const int x = (frame ? px(frame->left) : 0) + px(line.x1);
        const int y = (frame ? px(frame->top) : 0) + px(line.y1);
        // An etched line: shadow, then light, two pixels at any DPI.
        const int width = line.x1 == line.x2 ? 2 : px(line.x2) - px(line.x1);
        const int height = line.y1 == line.y2 ? 2 : px(line.y2) - px(line.y1);
        SetWindowPos(lines_[i], nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

HWND ControlTable::find(const char* name) const
{
    const auto rows = form_layout::controls();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (std::strcmp(rows[i].name, name) == 0)
            return controls_[i];
    return nullptr;
}

const form_layout::Control* ControlTable::rowOf(int id) const
{
    const auto rows = form_layout::controls();
    const int row = id - kFirstId;
    return row >= 0 && std::size_t(row) < rows.size() ? &rows[std::size_t(row)] : nullptr;
}

int ControlTable::idOf(HWND control) const { return GetDlgCtrlID(control); }

}  // namespace win32
