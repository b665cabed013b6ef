#pragma once

#include "control_table.h"
#include "form_controls.h"
#include "id_suggestion_list.h"

#include <windows.h>

#include <array>
#include <optional>

namespace win32 {

// The form's controls as the window's native controls. Problems and
// questions go to message boxes owned by the window.
class Win32FormControls final : public FormControls {
public:
    Win32FormControls(HWND window, const ControlTable& table, IdSuggestionList& suggestions);

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
    void workWhenIdle() override { idleWorkWanted_ = true; }

    // The form asked for work while the window is idle (and has not been
    // told that it is done).
    bool idleWorkWanted() const { return idleWorkWanted_; }
    void idleWorkDone() { idleWorkWanted_ = false; }
    // True while the form itself sets a text box's text: its change
    // notification is no edit of the user's.
    bool settingText() const { return settingText_; }

    // The level option the user has just checked, once per change: a button
    // reports a click for a mouse click, for an arrow key, and again as it
    // takes the focus; only a change of the checked option counts.
    std::optional<LevelIndex> levelOptionChanged();

    // The control that gets the keyboard focus when the window is activated:
    // the one the form asked for, or the one that had it when the window was
    // last deactivated.
    HWND focusOnActivation() const { return focus_; }
    void rememberFocus(HWND control) { focus_ = control; }

private:
    HWND box(TextBoxName name) const { return boxes_[std::size_t(name)]; }
    HWND list(ComboBoxName name) const { return lists_[std::size_t(name)]; }

    HWND window_;
    std::array<HWND, kTextBoxCount> boxes_{};
    std::array<HWND, kComboBoxCount> lists_{};
    std::array<HWND, 4> options_{};
    LevelIndex checkedOption_ = 0;
    HWND focus_ = nullptr;
    IdSuggestionList& suggestions_;
    bool idleWorkWanted_ = false;
    bool settingText_ = false;
};

}  // namespace win32
