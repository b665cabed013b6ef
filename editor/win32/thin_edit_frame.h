#pragma once

#include <windows.h>

namespace win32 {

// Draws a text box's one-pixel border (WS_BORDER, which it must have) in
// the button-shadow colour, as a flat edit box of Windows 10 looks, rather
// than black. A box is as high as the layout table says and the Japanese UI
// fonts' lines are nearly that high: inside the usual sunken two-pixel edge
// the bottom of "g", "j", "p" or "y" is cut off.
void giveThinFrame(HWND textBox);

}  // namespace win32
