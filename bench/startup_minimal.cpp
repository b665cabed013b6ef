// The floor for a Qt Widgets program with Japanese text: one window holding
// one Japanese label, with the same application font as the editor, plus the
// start-up probe.

#include "startup_probe.h"

#include <QApplication>
#include <QFont>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    startup_probe::install(app);
    QFont font = app.font();
    font.setFamilies({"Noto Sans CJK JP", font.family()});
    app.setFont(font);

    QLabel label(QString::fromUtf8("カードエディター"));
    label.show();
    return app.exec();
}
