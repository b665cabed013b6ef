#include "application_setup.h"

#include "japanese_font.h"
#include "velmar_icon.h"

#include <QApplication>

void setUpApplication(QApplication& app)
{
    preferJapaneseFont(app);
    app.setWindowIcon(velmarIcon());
}
