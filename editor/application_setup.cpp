#include "application_setup.h"

#include "japanese_font.h"

#include <QApplication>
#include <QIcon>

void setUpApplication(QApplication& app)
{
    // The resources live in the editor library; a static library's must be
    // pulled in by name.
    Q_INIT_RESOURCE(icons);
    preferJapaneseFont(app);
    QIcon icon;
    // Sizes given, so that each picture is read only when a size is asked for.
    for (const int size : {16, 32, 48, 64, 256})
        icon.addFile(QString(":/icons/velmar-%1.png").arg(size), QSize(size, size));
    app.setWindowIcon(icon);
}
