#include "japanese_font.h"

#include "advance_table.h"

#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QFontDatabase>
#include <QStyleOptionComboBox>

namespace {
constexpr int kPointSize = 9;
constexpr int kNarrowestStretch = 75;  // narrower than this is hard to read
}  // namespace

void preferJapaneseFont(QApplication& app)
{
    const QString japanese = "Noto Sans CJK JP";
    QFont font = app.font();
    font.setPointSize(kPointSize);
    if (QFontDatabase::hasFamily(japanese)) {
        font.setFamilies({japanese});
        // The fallback look-up is a good part of the start-up time.
        font.setStyleStrategy(QFont::NoFontMerging);
    } else {
        font.setFamilies({japanese, font.family()});
    }
    app.setFont(font);
}

void condenseToFit(QComboBox* box)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.rect = QRect(QPoint(), box->size());
    // Styles draw the entry one pixel inside the edit field on either side.
    const int room
        = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box).width() - 2;
    // The widest entry, from the font's advance table; measured for real,
    // every entry's glyphs would be loaded only to be compared.
    QString widest;
    int natural = 0;
    const AdvanceTable table(box->font());
    for (int i = 0; i < box->count(); ++i) {
        const std::optional<qreal> width = table.width(box->itemText(i));
        if (!width) {  // a character from another font, or no table: measure them all
            widest.clear();
            break;
        }
        if (qRound(*width) > natural) {
            natural = qRound(*width);
            widest = box->itemText(i);
        }
    }
    // Shaped, a text may come out wider than its advances add up to.
    if (widest.isEmpty() || natural <= room) {
        natural = 0;
        for (int i = 0; i < box->count(); ++i) {
            if (const int width = box->fontMetrics().horizontalAdvance(box->itemText(i)); width > natural) {
                natural = width;
                widest = box->itemText(i);
            }
        }
    }
    if (natural <= room)
        return;
    // Start from the proportion; advances round to whole pixels, so narrow on
    // until the widest entry fits.
    QFont font = box->font();
    int stretch = std::max(kNarrowestStretch, room * 100 / natural);
    for (font.setStretch(stretch); stretch > kNarrowestStretch && QFontMetrics(font).horizontalAdvance(widest) > room;)
        font.setStretch(--stretch);
    box->setFont(font);
}
