// The menu bar's extension button, whose icon is read only when drawn, shows
// the same icon the style itself gives.

#include "application_setup.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QToolButton>
#include <QtTest>

class LazyStyleIconsTest : public QObject {
    Q_OBJECT

private slots:
    void extensionButtonShowsTheStylesIcon()
    {
        auto* proxy = qobject_cast<QProxyStyle*>(QApplication::style());
        QVERIFY2(proxy, "the application style is not wrapped");
        QMainWindow window;
        auto* extension = window.menuBar()->findChild<QToolButton*>("qt_menubar_ext_button");
        QVERIFY(extension);
        const QIcon late = extension->icon();
        const QIcon own = proxy->baseStyle()->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
        QVERIFY(!late.isNull());
        QCOMPARE(late.availableSizes(), own.availableSizes());
        for (const int side : {16, 32}) {
            QCOMPARE(late.actualSize(QSize(side, side)), own.actualSize(QSize(side, side)));
            QCOMPARE(late.pixmap(side).toImage(), own.pixmap(side).toImage());
            QCOMPARE(late.pixmap(QSize(side, side), 2.0).toImage(), own.pixmap(QSize(side, side), 2.0).toImage());
        }
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);
    LazyStyleIconsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "lazy_style_icons_test.moc"
