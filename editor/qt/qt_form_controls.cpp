#include "qt_form_controls.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <type_traits>

QtFormControls::QtFormControls(QWidget* client, QButtonGroup* levelOptions, std::function<void(const QString&)> tell,
    std::function<bool(const QString&)> ask)
    : levelOptions_(levelOptions)
    , tell_(std::move(tell))
    , ask_(std::move(ask))
{
    const auto find = [client](auto*& member, const char* name) {
        member = client->findChild<std::remove_reference_t<decltype(*member)>*>(name);
        if (!member)
            qFatal("the window has no control %s", name);
    };
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        find(boxes_[i], controlName(TextBoxName(i)));
    for (std::size_t i = 0; i < lists_.size(); ++i)
        find(lists_[i], controlName(ComboBoxName(i)));
}

std::string QtFormControls::text(TextBoxName name) const { return box(name)->text().toStdString(); }

void QtFormControls::setText(TextBoxName name, const std::string& utf8)
{
    box(name)->setText(QString::fromStdString(utf8));
}

int QtFormControls::selectedIndex(ComboBoxName name) const { return list(name)->currentIndex(); }

void QtFormControls::select(ComboBoxName name, int index) { list(name)->setCurrentIndex(index); }

void QtFormControls::checkLevelOption(LevelIndex index)
{
    const QSignalBlocker quiet(levelOptions_);
    levelOptions_->button(index)->setChecked(true);
}

void QtFormControls::setFocus(TextBoxName name) { box(name)->setFocus(); }

void QtFormControls::selectAll(TextBoxName name) { box(name)->selectAll(); }

void QtFormControls::tellProblem(const std::string& message) { tell_(QString::fromStdString(message)); }

bool QtFormControls::askYesNo(const std::string& question) { return ask_(QString::fromStdString(question)); }
