#include "application_setup.h"
#include "main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);
    frmVelmar window;
    window.show();
    return app.exec();
}
