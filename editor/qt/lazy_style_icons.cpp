#include "lazy_style_icons.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>
#include <QWidget>

namespace {

// Stands for the style's own icon and asks the style for it when a picture or
// a size is first wanted.
class DeferredStandardIcon : public QIconEngine {
public:
    DeferredStandardIcon(const QStyle* style, QStyle::StandardPixmap which, bool rightToLeft)
        : style_(style)
        , which_(which)
        , rightToLeft_(rightToLeft)
    {
    }

    QIconEngine* clone() const override { return new DeferredStandardIcon(*this); }
    QString key() const override { return QStringLiteral("DeferredStandardIcon"); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, 1.0, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    // The styles give these icons; asking must not read them.
    bool isNull() override { return read_ && icon_.isNull(); }

private:
    const QIcon& icon()
    {
        if (!read_ && style_) {
            QStyleOption option;
            option.direction = rightToLeft_ ? Qt::RightToLeft : Qt::LeftToRight;
            icon_ = style_->standardIcon(which_, &option);
            read_ = true;
        }
        return icon_;
    }

    QPointer<const QStyle> style_;  // the style underneath the proxy
    QStyle::StandardPixmap which_;
    bool rightToLeft_;
    bool read_ = false;
    QIcon icon_;
};

}  // namespace

QIcon LazyStyleIcons::standardIcon(StandardPixmap standardIcon, const QStyleOption* option, const QWidget* widget) const
{
    if (standardIcon == SP_ToolBarHorizontalExtensionButton || standardIcon == SP_ToolBarVerticalExtensionButton) {
        const bool rightToLeft = option ? option->direction == Qt::RightToLeft
                                        : (widget ? widget->isRightToLeft() : QGuiApplication::isRightToLeft());
        return QIcon(new DeferredStandardIcon(baseStyle(), standardIcon, rightToLeft));
    }
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}
