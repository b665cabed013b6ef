#include "list_on_open_combo_box.h"

#include <QEvent>

void ListOnOpenComboBox::changeEvent(QEvent* event)
{
    // With this policy the box works its size out afresh when first shown.
    if (event->type() == QEvent::FontChange && !shown_ && sizeAdjustPolicy() == AdjustToContentsOnFirstShow) {
        QWidget::changeEvent(event);
        return;
    }
    QComboBox::changeEvent(event);
}

void ListOnOpenComboBox::showEvent(QShowEvent* event)
{
    shown_ = true;
    QComboBox::showEvent(event);
}
