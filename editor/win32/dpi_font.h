#pragma once

// The window's measures at its DPI: twips to pixels, and its font.

#include <windows.h>

namespace win32 {

// Twips (1/1440 inch) to pixels at `dpi` dots per inch, to the nearest pixel.
int pixels(int twips, UINT dpi);

// The system's Japanese UI font at 9 points for `dpi`: Yu Gothic UI, else
// Meiryo UI, else MS UI Gothic; without any of them, whatever Japanese font
// the system maps to, so Japanese never shows as boxes. The caller deletes it.
HFONT createWindowFont(UINT dpi);

// A narrower cut of `font` (the font mapper draws it narrower when the face
// has no condensed style) in which the widest of a list-only combo box's
// entries fits its entry field; nullptr when they fit already. The caller
// deletes it.
HFONT createFontToFitList(HWND comboBox, HFONT font);

// The face createWindowFont asks for ("" when none of the three exists).
const wchar_t* japaneseUiFace();

}  // namespace win32
