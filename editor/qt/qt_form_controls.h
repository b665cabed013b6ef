#pragma once

#include "form_controls.h"

#include <QString>
#include <array>
#include <functional>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QWidget;

// The form's controls as Qt widgets, found by their names in the window.
// Problems and questions go to the functions given, so a window can let
// tests replace them.
class QtFormControls final : public FormControls {
public:
    QtFormControls(QWidget* client, QButtonGroup* levelOptions, std::function<void(const QString&)> tell,
        std::function<bool(const QString&)> ask);

    std::string text(TextBoxName box) const override;
    void setText(TextBoxName box, const std::string& utf8) override;
    int selectedIndex(ComboBoxName list) const override;
    void select(ComboBoxName list, int index) override;
    void checkLevelOption(LevelIndex index) override;
    void setFocus(TextBoxName box) override;
    void selectAll(TextBoxName box) override;
    void tellProblem(const std::string& message) override;
    bool askYesNo(const std::string& question) override;

private:
    QLineEdit* box(TextBoxName name) const { return boxes_[std::size_t(name)]; }
    QComboBox* list(ComboBoxName name) const { return lists_[std::size_t(name)]; }

    std::array<QLineEdit*, kTextBoxCount> boxes_{};
    std::array<QComboBox*, kComboBoxCount> lists_{};
    QButtonGroup* levelOptions_;
    std::function<void(const QString&)> tell_;
    std::function<bool(const QString&)> ask_;
};
