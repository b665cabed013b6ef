#include "application_setup.h"

#include "japanese_font.h"
#include "lazy_style_icons.h"
#include "velmar_icon.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>

namespace {

// Reading and converting the icon's pictures for the window manager (the
// 256-pixel one among them) costs about a seventh of the start-up under X,
// so the icon follows the window's first picture instead of holding it up.
class IconAfterFirstExpose : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose) {
            auto* window = qobject_cast<QWindow*>(watched);
            if (window && window->isExposed()) {
                qApp->removeEventFilter(this);
                // Queued: after this expose has been handled and painted.
                QTimer::singleShot(0, qApp, [this] {
                    QApplication::setWindowIcon(velmarIcon());
                    deleteLater();
                });
            }
        }
        return false;
    }
};

}  // namespace

void setUpApplication(QApplication& app)
{
    preferJapaneseFont(app);
    QApplication::setStyle(new LazyStyleIcons(QApplication::style()));
    // Owned by the application, so it goes with it when no window is ever shown.
    app.installEventFilter(new IconAfterFirstExpose(&app));
}
