#pragma once

class QApplication;
class QComboBox;

// Noto Sans CJK JP at 9 pt, the size of a classic Japanese window, for the
// window's Japanese texts. It holds every character of Shift-JIS, so the
// application font does without the fallback look-up; font_fallback.h puts
// it back where a text needs it.
void preferJapaneseFont(QApplication& app);

// Narrows the combo box's font (a condensed face, synthesised when the
// family has none) just enough for its widest entry to fit the text area.
// Leaves the font alone when every entry fits already. Measuring costs
// start-up time: use it on the lists with long entries.
void condenseToFit(QComboBox* box);
