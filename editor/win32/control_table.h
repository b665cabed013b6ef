#pragma once

// The window's native controls, made from the layout table: one control per
// row, every one a child of the window itself (a frame is a group box drawn
// around its controls, not their parent), in the table's order, which is the
// tab order and the order a screen reader finds a label before its control.

#include "form_layout.h"

#include <windows.h>

#include <array>
#include <span>
#include <vector>

namespace win32 {

class ControlTable {
public:
    // Command ids: kFirstId + the control's row in the table.
    static constexpr int kFirstId = 100;

    // Makes the controls in place for the DPI, in the font.
    ControlTable(HWND window, HINSTANCE instance, UINT dpi, HFONT font);

    ~ControlTable();
    ControlTable(const ControlTable&) = delete;
    ControlTable& operator=(const ControlTable&) = delete;

    // Sizes and places every control (and the etched lines) for another DPI
    // and gives them the font for it.
    void place(UINT dpi, HFONT font);

    // The control named so in the table (the first of the level options).
    HWND find(const char* name) const;
    std::span<const HWND> levelOptions() const { return levelOptions_; }
    // The layout row of a command id; nullptr for none.
    const form_layout::Control* rowOf(int id) const;
    int idOf(HWND control) const;

private:
    // The font and what depends on it: a text box's margins; a list whose
    // entries are too wide for it gets a narrower cut of the font, and its
    // box at least the table's height.
    void dress(std::size_t row, UINT dpi, HFONT font);

    HWND window_;
    std::vector<HWND> controls_;  // by row of form_layout::controls()
    std::vector<HWND> lines_;     // by row of form_layout::lines()
    std::array<HWND, 4> levelOptions_{};
    std::vector<HFONT> narrowFonts_;
};

}  // namespace win32
