#include "qt_form_controls.h"

#include "id_suggestions.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTimer>
#include <type_traits>

QtFormControls::QtFormControls(QWidget* client, QButtonGroup* levelOptions, QtWindowParts window)
    : client_(client)
    , levelOptions_(levelOptions)
    , window_(std::move(window))
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

void QtFormControls::tellProblem(const std::string& message) { window_.tell(QString::fromStdString(message)); }

bool QtFormControls::askYesNo(const std::string& question) { return window_.ask(QString::fromStdString(question)); }

SaveChangesAnswer QtFormControls::askSaveChanges(const std::string& question, bool canSave)
{
    return window_.askSave(QString::fromStdString(question), canSave);
}

// The caption's "[*]" shows as "*" while the window is marked modified.
void QtFormControls::showModified(bool modified) { client_->window()->setWindowModified(modified); }

void QtFormControls::showSuggestions(const std::vector<std::string>& entries)
{
    QStringList list;
    list.reserve(qsizetype(entries.size()));
    for (const std::string& entry : entries)
        list << QString::fromStdString(entry);
    window_.suggestions->show(list);
}

void QtFormControls::workWhenIdle() { window_.idleWork->start(); }
