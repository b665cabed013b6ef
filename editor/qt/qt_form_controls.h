#pragma once

#include "form_controls.h"

#include <QString>
#include <array>
#include <functional>

class IdSuggestions;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QTimer;
class QWidget;

// What the form asks of the window beyond its controls. Problems and
// questions go to functions, so a window can let tests replace them.
struct QtWindowParts {
    std::function<void(const QString&)> tell;
    std::function<bool(const QString&)> ask;
    std::function<SaveChangesAnswer(const QString&, bool canSave)> askSave;
    IdSuggestions* suggestions;
    QTimer* idleWork;
};

// The form's controls as Qt widgets, found by their names in the window.
class QtFormControls final : public FormControls {
public:
    QtFormControls(QWidget* client, QButtonGroup* levelOptions, QtWindowParts window);

    std::string text(TextBoxName box) const override;
    void setText(TextBoxName box, const std::string& utf8) override;
    int selectedIndex(ComboBoxName list) const override;
    void select(ComboBoxName list, int index) override;
    void checkLevelOption(LevelIndex index) override;
    void setFocus(TextBoxName box) override;
    void selectAll(TextBoxName box) override;
    void tellProblem(const std::string& message) override;
    bool askYesNo(const std::string& question) override;
    SaveChangesAnswer askSaveChanges(const std::string& question, bool canSave) override;
    void showModified(bool modified) override;
    void showSuggestions(const std::vector<std::string>& entries) override;
    void workWhenIdle() override;

private:
    QLineEdit* box(TextBoxName name) const { return boxes_[std::size_t(name)]; }
    QComboBox* list(ComboBoxName name) const { return lists_[std::size_t(name)]; }

    std::array<QLineEdit*, kTextBoxCount> boxes_{};
    std::array<QComboBox*, kComboBoxCount> lists_{};
    QWidget* client_;
    QButtonGroup* levelOptions_;
    QtWindowParts window_;
};
