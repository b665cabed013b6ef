#pragma once

// The window's font does without fallback fonts, which start-up cannot
// afford. A widget whose text holds a character that font lacks gets the
// same font with fallback, for as long as its text needs it.

class QFont;
class QLineEdit;
class QString;
class QWidget;

// Whether the font, without fallback fonts, lacks a printable character of
// the text.
bool lacksCharacter(const QFont& font, const QString& text);

// Puts the widget on the font it inherits, or on that font with fallback when
// the text needs it.
void fallBackForText(QWidget* widget, const QString& text);

// Keeps the text box's font following its text, typed or set.
void fallBackAsTyped(QLineEdit* box);
