#pragma once

#include "card_fields.h"

#include <array>
#include <span>

// The window's controls as one table, in twips (1/1440 inch). Positions are
// relative to the window's client area, or to the outer top-left corner of
// the containing frame.
namespace form_layout {

enum class Kind { Label, TextBox, Button, Frame, ComboBox, Option };

struct Control {
    const char* name;  // objectName; the four level options share "optLv"
    Kind kind;
    const char* container;  // "" for the window itself
    const char* text;
    int left, top, width, height;
    int tabIndex;
};

// A decorative one-pixel rule from (x1, y1) to (x2, y2).
struct Line {
    const char* name;
    const char* container;
    int x1, y1, x2, y2;
};

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidth = 5310;
inline constexpr int kClientHeight = 4815;
inline constexpr const char* kCaption = "Ostra VozoZO Velmar";

// Twips to logical pixels; Qt scales logical pixels for high-DPI screens.
constexpr int px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

std::span<const Control> controls();  // in tab order
std::span<const Line> lines();

// The control that shows a field of the card, and the label in front of it
// when that label names the field ("" where the label is only a sign).
struct FieldControl {
    const char* control;
    CardField field;
    const char* label;
};
std::span<const FieldControl> fieldControls();

std::span<const char* const> superModeEntries();
std::span<const char* const> reachEntries();

}  // namespace form_layout
