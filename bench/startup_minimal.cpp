// The floor for a Qt Widgets program with Japanese text: one window holding
// one Japanese label, with the editor's own font settings, plus the start-up
// probe.

#include "japanese_font.h"
#include "startup_probe.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    startup_probe::install(app);
    preferJapaneseFont(app);

    QLabel label(QString::fromUtf8("カードエディター"));
    label.show();
    return app.exec();
}
