#include "combo_accessibility.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>

namespace {

class ComboBoxAccessible : public QAccessibleWidget {
public:
    explicit ComboBoxAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return comboBox()->currentText();
        return QAccessibleWidget::text(t);  // the name is the accessible name
    }

    int childCount() const override { return 1; }

    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(comboBox()->view()) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == comboBox()->view() ? 0 : -1;
    }

    QStringList actionNames() const override
    {
        return {showMenuAction(), pressAction()};
    }

    void doAction(const QString& action) override
    {
        if (action == showMenuAction() || action == pressAction())
            comboBox()->view()->isVisible() ? comboBox()->hidePopup() : comboBox()->showPopup();
    }

private:
    QComboBox* comboBox() const { return static_cast<QComboBox*>(object()); }
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

void reportComboBoxesByName()
{
    QAccessible::installFactory(comboBoxFactory);
}
