#pragma once

// The window's controls as the form sees them, whatever toolkit draws them.
// Controls go by their names in the layout table; text is UTF-8.

#include "level_buffer.h"

#include <cstddef>
#include <string>
#include <vector>

enum class TextBoxName {
    txtID,
    txtRarelity,
    txtMaxLv,
    txtMinLv,
    txtMaxHP,
    txtNomalWaza,
    txtPower,
    txtExtWaza,
    txtExtWaza2,
    txtExtWaza3,
};
inline constexpr std::size_t kTextBoxCount = std::size_t(TextBoxName::txtExtWaza3) + 1;

enum class ComboBoxName {
    cboSuperMode,
    cboExWaza1,
    cboExtWaza2,
};
inline constexpr std::size_t kComboBoxCount = std::size_t(ComboBoxName::cboExtWaza2) + 1;

// The user's answer when unsaved changes would be dropped.
enum class SaveChangesAnswer { Save, DontSave, Cancel };

// The control's name in the layout table, e.g. "txtMaxHP".
const char* controlName(TextBoxName box);
const char* controlName(ComboBoxName list);

class FormControls {
public:
    virtual std::string text(TextBoxName box) const = 0;
    virtual void setText(TextBoxName box, const std::string& utf8) = 0;

    // The index of the selected entry of a list-only combo box.
    virtual int selectedIndex(ComboBoxName list) const = 0;
    virtual void select(ComboBoxName list, int index) = 0;

    // Checks level option `index` without running the form's optLv_Click.
    virtual void checkLevelOption(LevelIndex index) = 0;

    virtual void setFocus(TextBoxName box) = 0;
    virtual void selectAll(TextBoxName box) = 0;

    // Tells the user of a problem and waits until they have read it.
    virtual void tellProblem(const std::string& message) = 0;
    // Asks a yes/no question; true for yes. No is the default and what Esc gives.
    virtual bool askYesNo(const std::string& question) = 0;
    // Asks before unsaved changes are dropped: 保存 (the default), 保存しない
    // and キャンセル (also Esc); without `canSave`, only the last two.
    virtual SaveChangesAnswer askSaveChanges(const std::string& question, bool canSave) = 0;

    // Shows whether the card on screen has changes that are not saved: a "*"
    // in the caption, where the system's convention puts it.
    virtual void showModified(bool modified) = 0;

    // Shows the list under the ID box with these entries, in this order,
    // without taking the focus from the box; no entries hide it.
    virtual void showSuggestions(const std::vector<std::string>& entries) = 0;
    // Has the window call CardForm::readSomeCards while it is idle, until
    // that returns false.
    virtual void workWhenIdle() = 0;

protected:
    ~FormControls() = default;
};
