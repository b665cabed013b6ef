#include "japanese_font.h"
#include "main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    preferJapaneseFont(app);
    frmVelmar window;
    window.show();
    return app.exec();
}
