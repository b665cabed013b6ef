// The editor's start-up as app/main.cpp does it, plus the start-up probe:
// shows the window, prints when it is exposed and quits.

#include "main_window.h"
#include "startup_probe.h"

#include <QApplication>
#include <QFont>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    startup_probe::install(app);
    // Prefer Japanese glyph shapes for the window's Japanese texts.
    QFont font = app.font();
    font.setFamilies({"Noto Sans CJK JP", font.family()});
    app.setFont(font);

    frmVelmar window;
    window.show();
    return app.exec();
}
