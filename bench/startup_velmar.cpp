// The editor's start-up as app/main.cpp does it, plus the start-up probe:
// shows the window, prints when it is exposed and quits.

#include "application_setup.h"
#include "main_window.h"
#include "startup_probe.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    startup_probe::install(app);
    setUpApplication(app);
    frmVelmar window;
    window.show();
    return app.exec();
}
