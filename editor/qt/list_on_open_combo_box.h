#pragma once

#include <QComboBox>

// A combo box that leaves its drop-down list alone when its font is set
// before it is first shown. QComboBox builds the list (a pop-up window
// holding a list view) the moment its font changes, which costs start-up
// time for a list that may never be opened; built later, or built already,
// the list takes the box's font as any child does.
class ListOnOpenComboBox : public QComboBox {
public:
    using QComboBox::QComboBox;

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool shown_ = false;
};
