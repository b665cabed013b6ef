#include "main_window.h"

#include <QApplication>
#include <QFont>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // Prefer Japanese glyph shapes for the window's Japanese texts.
    QFont font = app.font();
    font.setFamilies({"Noto Sans CJK JP", font.family()});
    app.setFont(font);

    frmVelmar window;
    window.show();
    return app.exec();
}
