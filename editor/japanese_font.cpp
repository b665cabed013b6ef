#include "japanese_font.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

void preferJapaneseFont(QApplication& app)
{
    const QString japanese = "Noto Sans CJK JP";
    QFont font = app.font();
    if (QFontDatabase::hasFamily(japanese)) {
        font.setFamilies({japanese});
        // It holds every character Shift-JIS has, so no other font is ever
        // looked up; that lookup is a good part of the start-up time.
        font.setStyleStrategy(QFont::NoFontMerging);
    } else {
        font.setFamilies({japanese, font.family()});
    }
    app.setFont(font);
}
