#pragma once

class QApplication;

// Prefers Japanese glyph shapes for the window's Japanese texts.
void preferJapaneseFont(QApplication& app);
