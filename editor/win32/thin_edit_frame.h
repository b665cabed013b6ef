#pragma once

#include <windows.h>

namespace win32 {

// Gives a text box a one-pixel frame of its own instead of the sunken
// two-pixel edge. A box is as high as the layout table says, and the
// Japanese UI fonts' lines are nearly that high: inside the sunken edge
// the bottom of "g", "j", "p" or "y" is cut off. The frame takes the
// highlight colour while the box has the focus.
void giveThinFrame(HWND textBox);

}  // namespace win32
