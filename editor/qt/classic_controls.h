#pragma once

// Frames and buttons drawn the classic way, so that they keep to the layout
// table whatever the font's line height.

#include <QGroupBox>
#include <QPushButton>

// A frame whose caption sits on its top border, the line passing through the
// middle of the caption's letters, as on the classic Windows frame. The
// border stays above the first row of controls (the table puts it 16 px
// down), where a Fusion group box draws its border through that row.
class ClassicFrame : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A push button whose caption is centred on its capital letters rather than
// on the font's whole line box, so the mnemonic underline stays inside a
// button lower than the font's line height.
class ClassicButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};
