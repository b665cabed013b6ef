#include "classic_controls.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace {

// The caption starts where the frame's first column of controls does.
constexpr int kCaptionIndent = 8;
// Room left clear of the border on either side of the caption.
constexpr int kCaptionGap = 2;

int textFlags(const QWidget* widget, const QStyleOption& option)
{
    const bool underline = widget->style()->styleHint(QStyle::SH_UnderlineShortcut, &option, widget);
    return Qt::TextShowMnemonic | (underline ? 0 : Qt::TextHideMnemonic);
}

}  // namespace

void ClassicFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    // The caption's top at the frame's top: the border through its capitals.
    const int top = metrics.ascent() - (metrics.capHeight() + 1) / 2;
    const int right = width() - 1, bottom = height() - 1;
    const QString caption = title();
    const int captionWidth = caption.isEmpty() ? 0 : metrics.horizontalAdvance(QString(caption).remove('&'));
    const int gapLeft = kCaptionIndent - kCaptionGap, gapRight = kCaptionIndent + captionWidth + kCaptionGap;

    // An etched line: shadow, with a light line one pixel below and right.
    const auto rectangle = [&](int dx, const QColor& colour) {
        const int l = dx, t = top + dx, r = right - 1 + dx, b = bottom - 1 + dx;
        if (captionWidth) {
            painter.fillRect(QRect(QPoint(l, t), QPoint(gapLeft - 1, t)), colour);
            painter.fillRect(QRect(QPoint(gapRight, t), QPoint(r, t)), colour);
        } else {
            painter.fillRect(QRect(QPoint(l, t), QPoint(r, t)), colour);
        }
        painter.fillRect(QRect(QPoint(l, t), QPoint(l, b)), colour);
        painter.fillRect(QRect(QPoint(l, b), QPoint(r, b)), colour);
        painter.fillRect(QRect(QPoint(r, t), QPoint(r, b)), colour);
    };
    rectangle(1, palette().color(QPalette::Light));
    rectangle(0, palette().color(QPalette::Dark));

    if (captionWidth) {
        QStyleOption option;
        option.initFrom(this);
        const QRect captionBox(kCaptionIndent, 0, captionWidth, metrics.height());
        style()->drawItemText(&painter, captionBox, Qt::AlignLeft | Qt::AlignTop | textFlags(this, option), palette(),
            isEnabled(), caption, QPalette::WindowText);
    }
}

void ClassicButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    // Capitals centred in the button's contents; the underline below them
    // kept inside too.
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const QFontMetrics metrics(font());
    int baseline = contents.top() + (contents.height() + metrics.capHeight()) / 2;
    baseline = std::min(baseline, contents.bottom() - metrics.underlinePos() - metrics.lineWidth() + 1);
    const QRect line(contents.left(), baseline - metrics.ascent(), contents.width(), metrics.height());
    style()->drawItemText(&painter, line, Qt::AlignHCenter | Qt::AlignTop | Qt::TextDontClip | textFlags(this, option),
        option.palette, isEnabled(), text(), QPalette::ButtonText);

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}
