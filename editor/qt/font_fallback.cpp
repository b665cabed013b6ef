#include "font_fallback.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QWidget>

bool lacksCharacter(const QFont& font, const QString& text)
{
    const QFontMetrics metrics(font);
    for (const char32_t c : text.toUcs4())
        if (QChar::isPrint(c) && !metrics.inFontUcs4(c))
            return true;
    return false;
}

void fallBackForText(QWidget* widget, const QString& text)
{
    const QWidget* parent = widget->isWindow() ? nullptr : widget->parentWidget();
    const QFont inherited = parent ? parent->font() : QApplication::font(widget);
    if (!(inherited.styleStrategy() & QFont::NoFontMerging))
        return;  // it falls back already
    if (lacksCharacter(inherited, text)) {
        QFont font = inherited;
        font.setStyleStrategy(QFont::StyleStrategy(inherited.styleStrategy() & ~QFont::NoFontMerging));
        widget->setFont(font);
    } else if (widget->testAttribute(Qt::WA_SetFont)) {
        widget->setFont(QFont());  // back to the inherited font
    }
}

void fallBackAsTyped(QLineEdit* box)
{
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString& text) { fallBackForText(box, text); });
}
