#include "japanese_font.h"

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
    const int room = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box)
                         .width() - 2;
    const auto widest = [box](const QFont& font) {
        const QFontMetrics metrics(font);
        int width = 0;
        for (int i = 0; i < box->count(); ++i)
            width = std::max(width, metrics.horizontalAdvance(box->itemText(i)));
        return width;
    };
    QFont font = box->font();
    const int natural = widest(font);
    if (natural <= room)
        return;
    // Advances round to whole pixels: start from the proportion, narrow on.
    int stretch = std::max(kNarrowestStretch, room * 100 / natural);
    for (font.setStretch(stretch); stretch > kNarrowestStretch && widest(font) > room;)
        font.setStretch(--stretch);
    box->setFont(font);
}
