#pragma once

#include <QByteArray>
#include <QRawFont>

#include <optional>

class QFont;
class QString;

// A font's advance widths read straight from its horizontal metrics table
// ('hmtx'). QFontMetrics loads (decodes) every glyph it measures, some 50,000
// instructions a glyph with a CFF font such as Noto Sans CJK; this reads the
// table once. The widths are unshaped (no kerning or ligatures): good for
// choosing among texts and estimating, not for placing text.
class AdvanceTable {
public:
    explicit AdvanceTable(const QFont& font);

    // The text's glyph advances added up, in pixels; nothing when the font has
    // no such table or lacks a character of the text.
    std::optional<qreal> width(const QString& text) const;

private:
    QRawFont font_;
    QByteArray advances_;   // 'hmtx': advance (uint16) and left side bearing per glyph
    int advanceCount_ = 0;  // the glyphs after these share the last advance
};
