#pragma once

#include <QProxyStyle>

// The application's style, except that the pictures of the tool bar and menu
// bar extension buttons are read the first time they are drawn. Every menu
// bar makes such a button and asks for its icon at once; reading it loads
// the image format plugins and decodes PNGs at start, for a button that shows
// only when the menus do not fit.
class LazyStyleIcons : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption* option = nullptr,
        const QWidget* widget = nullptr) const override;
};
