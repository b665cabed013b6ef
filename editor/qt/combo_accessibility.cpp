#include "combo_accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>

namespace {

// The name is the accessible name; the entry shown is the value, read
// through the text interface as a screen reader reads a list-only combo
// box's text.
class ComboBoxAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ComboBoxAccessible(QComboBox* box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    {
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? entry() : QAccessibleWidget::text(t);
    }

    // The list of entries.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(comboBox()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == comboBox()->view() ? 0 : -1;
    }

    QStringList actionNames() const override { return {showMenuAction(), pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == showMenuAction() || action == pressAction())
            comboBox()->view()->isVisible() ? comboBox()->hidePopup() : comboBox()->showPopup();
    }

    // The entry as read-only text.
    QString text(int start, int end) const override { return entry().mid(start, end - start); }
    int characterCount() const override { return int(entry().size()); }
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override { }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override { }
    QString attributes(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
        return {};
    }

private:
    QComboBox* comboBox() const { return static_cast<QComboBox*>(object()); }
    QString entry() const { return comboBox()->currentText(); }
};

QAccessibleInterface* comboBoxFactory(const QString& className, QObject* object)
{
    // Only plain list-only combo boxes: an editable one names itself by its
    // line edit, which Qt's own interface handles.
    auto* box = qobject_cast<QComboBox*>(object);
    if (className != QLatin1String("QComboBox") || !box || box->isEditable())
        return nullptr;
    return new ComboBoxAccessible(box);
}

}  // namespace

void reportComboBoxesByName() { QAccessible::installFactory(comboBoxFactory); }
