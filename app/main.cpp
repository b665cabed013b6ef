#include "application_setup.h"
#include "file_io.h"
#include "main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    profile::ignoreFileSizeSignal();  // a file-size limit fails a Save with a message instead
    QApplication app(argc, argv);
    setUpApplication(app);
    frmVelmar window;
    window.show();
    return app.exec();
}
