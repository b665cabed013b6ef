#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QCompleter;
class QLineEdit;
class QStringListModel;

// The list that drops down under the ID box: Qt's completer over the
// entries the form chose, shown without taking the focus from the box.
// Down and Up move through it, Enter or a click picks an entry, Esc closes
// it; the window's shortcuts act at once while it is open, and close it.
class IdSuggestions : public QObject {
    Q_OBJECT

public:
    // `picked` gets the row of the entry picked; `closed` is called when the
    // list closes (Esc, a pick, a shortcut, the focus gone).
    IdSuggestions(QLineEdit* idBox, std::function<void(int row)> picked, std::function<void()> closed);

    // Shows the entries in this order; none hide the list. The list is made
    // when first shown, so that the window starts without it.
    void show(const QStringList& entries);
    bool isShown() const;
    QWidget* list() const;  // null until first shown

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void make();

    QLineEdit* idBox_;
    std::function<void(int row)> picked_;
    std::function<void()> closed_;
    QStringListModel* model_ = nullptr;
    QCompleter* completer_ = nullptr;
};
