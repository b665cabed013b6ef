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
    case Kind::TextBox: return {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL | WS_BORDER, 0};
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

void fillList(HWND list, const char* name)
{
    if (std::strcmp(name, "cboSuperMode") == 0)
        fillList(list, form_layout::superModeEntries());
    else if (std::strcmp(name, "cboExWaza1") == 0)
        fillList(list, form_layout::reachEntries());
    else if (std::strcmp(name, "cboExtWaza2") == 0)
        fillList(list, kEffectLetters);
}

// The row of the table with that name; nullptr for "" (the window itself).
const form_layout::Control* rowNamed(const char* name)
{
    for (const auto& row : form_layout::controls())
        if (*name && std::strcmp(row.name, name) == 0)
            return &row;
    return nullptr;
}

// A control's place in the window's client area, in pixels at a DPI.
struct Box {
    int x, y, width, height;
};

Box boxOf(const form_layout::Control& c, UINT dpi)
{
    const form_layout::Control* frame = rowNamed(c.container);
    return {(frame ? pixels(frame->left, dpi) : 0) + pixels(c.left, dpi),
        (frame ? pixels(frame->top, dpi) : 0) + pixels(c.top, dpi), pixels(c.width, dpi), pixels(c.height, dpi)};
}

// An etched line: shadow, then light, two pixels at any DPI.
Box boxOf(const form_layout::Line& line, UINT dpi)
{
    const form_layout::Control* frame = rowNamed(line.container);
    const int x = (frame ? pixels(frame->left, dpi) : 0) + pixels(line.x1, dpi);
    const int y = (frame ? pixels(frame->top, dpi) : 0) + pixels(line.y1, dpi);
    return {x, y, line.x1 == line.x2 ? 2 : pixels(line.x2, dpi) - pixels(line.x1, dpi),
        line.y1 == line.y2 ? 2 : pixels(line.y2, dpi) - pixels(line.y1, dpi)};
}

// The height a control is made with: a list-only combo box is given its
// dropped-down height, room for its list below the box.
int windowHeight(Kind kind, const Box& box)
{
    return kind == Kind::ComboBox ? box.height * (1 + kListRows) : box.height;
}

// A list-only combo box is as high as its font needs: Windows works that
// out, as it did for the form this layout comes from (300 twips is a
// 9-point MS UI Gothic box). Lower, a Japanese UI font's entry is cut off.
// A box lower than the table's height is raised to it. Not every system
// gives back the height it was set to (Wine's is two pixels more): set,
// measure, correct what was set.
void raiseComboHeight(HWND box, int height)
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
    for (int attempt = 0; attempt < 3 && closedHeight() < height; ++attempt) {
        SendMessageW(box, CB_SETITEMHEIGHT, WPARAM(-1), set);
        set += height - closedHeight();
    }
}

}  // namespace

ControlTable::ControlTable(HWND window, HINSTANCE instance, UINT dpi, HFONT font)
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
        // Made where it belongs: placing it afterwards costs start-up time.
        const Box box = boxOf(c, dpi);
        HWND control = CreateWindowExW(native.exStyle, native.windowClass, wide(c.text).c_str(), style, box.x, box.y,
            box.width, windowHeight(c.kind, box), window, reinterpret_cast<HMENU>(INT_PTR(kFirstId + int(i))), instance,
            nullptr);
        controls_.push_back(control);
        if (c.kind == Kind::Option && options < levelOptions_.size())
            levelOptions_[options++] = control;
        if (c.kind == Kind::TextBox) {
            SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // no limit but the system's
            giveThinFrame(control);
        }
        if (c.kind == Kind::ComboBox)
            fillList(control, c.name);
        dress(i, dpi, font);
    }
    for (const auto& line : form_layout::lines()) {
        const DWORD style = line.x1 == line.x2 ? SS_ETCHEDVERT : SS_ETCHEDHORZ;
        const Box box = boxOf(line, dpi);
        lines_.push_back(CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | style, box.x, box.y, box.width,
            box.height, window, nullptr, instance, nullptr));
    }
    SendMessageW(levelOptions_[0], BM_SETCHECK, BST_CHECKED, 0);
}

ControlTable::~ControlTable()
{
    for (HFONT narrow : narrowFonts_)
        DeleteObject(narrow);
}

void ControlTable::dress(std::size_t row, UINT dpi, HFONT font)
{
    const auto& c = form_layout::controls()[row];
    HWND control = controls_[row];
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (c.kind == Kind::TextBox) {
        const int margin = MulDiv(kTextMargin, int(dpi), USER_DEFAULT_SCREEN_DPI);
        SendMessageW(control, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(margin, margin));
    } else if (c.kind == Kind::ComboBox) {
        if (HFONT narrow = createFontToFitList(control, font)) {
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(narrow), FALSE);
            narrowFonts_.push_back(narrow);
        }
        raiseComboHeight(control, pixels(c.height, dpi));
    }
}

void ControlTable::place(UINT dpi, HFONT font)
{
    std::vector<HFONT> previousNarrowFonts = std::move(narrowFonts_);
    const auto rows = form_layout::controls();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Box box = boxOf(rows[i], dpi);
        SetWindowPos(controls_[i], nullptr, box.x, box.y, box.width, windowHeight(rows[i].kind, box),
            SWP_NOZORDER | SWP_NOACTIVATE);
        dress(i, dpi, font);
    }
    for (HFONT narrow : previousNarrowFonts)
        DeleteObject(narrow);
    const auto lines = form_layout::lines();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Box box = boxOf(lines[i], dpi);
        SetWindowPos(lines_[i], nullptr, box.x, box.y, box.width, box.height, SWP_NOZORDER | SWP_NOACTIVATE);
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
