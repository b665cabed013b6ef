#include "win32_form_controls.h"

#include "form_layout.h"
#include "message_boxes.h"
#include "system_path_windows.h"

#include <algorithm>
#include <cstdlib>

namespace win32 {

Win32FormControls::Win32FormControls(HWND window, const ControlTable& table, IdSuggestionList& suggestions)
    : window_(window)
    , suggestions_(suggestions)
{
    const auto find = [&table](const char* name) {
        HWND control = table.find(name);
        if (!control)
            std::abort();  // the layout table and the form disagree
        return control;
    };
    for (std::size_t i = 0; i < boxes_.size(); ++i)
        boxes_[i] = find(controlName(TextBoxName(i)));
    for (std::size_t i = 0; i < lists_.size(); ++i)
        lists_[i] = find(controlName(ComboBoxName(i)));
    std::ranges::copy(table.levelOptions(), options_.begin());
}

std::string Win32FormControls::text(TextBoxName name) const
{
    const int length = GetWindowTextLengthW(box(name));
    std::wstring text(std::size_t(length) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(box(name), text.data(), length + 1)));
    return profile::sys::narrow(text);
}

void Win32FormControls::setText(TextBoxName name, const std::string& utf8)
{
    settingText_ = true;
    SetWindowTextW(box(name), profile::sys::widen(utf8).c_str());
    settingText_ = false;
}

int Win32FormControls::selectedIndex(ComboBoxName name) const
{
    return int(SendMessageW(list(name), CB_GETCURSEL, 0, 0));
}

void Win32FormControls::select(ComboBoxName name, int index) { SendMessageW(list(name), CB_SETCURSEL, index, 0); }

void Win32FormControls::checkLevelOption(LevelIndex index)
{
    // BM_SETCHECK reports no click. The checked option is the group's one
    // tab stop, so Tab enters the group there.
    for (std::size_t i = 0; i < options_.size(); ++i) {
        const bool checked = LevelIndex(i) == index;
        SendMessageW(options_[i], BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
        const LONG_PTR style = GetWindowLongPtrW(options_[i], GWL_STYLE);
        SetWindowLongPtrW(options_[i], GWL_STYLE, checked ? style | WS_TABSTOP : style & ~LONG_PTR(WS_TABSTOP));
    }
    checkedOption_ = index;
}

std::optional<LevelIndex> Win32FormControls::levelOptionChanged()
{
    for (std::size_t i = 0; i < options_.size(); ++i) {
        if (SendMessageW(options_[i], BM_GETCHECK, 0, 0) == BST_CHECKED && LevelIndex(i) != checkedOption_) {
            checkLevelOption(LevelIndex(i));  // keeps the tab stop with it
            return checkedOption_;
        }
    }
    return std::nullopt;
}

void Win32FormControls::setFocus(TextBoxName name)
{
    focus_ = box(name);
    if (GetActiveWindow() == window_)
        SetFocus(focus_);
}

void Win32FormControls::selectAll(TextBoxName name) { SendMessageW(box(name), EM_SETSEL, 0, -1); }

void Win32FormControls::tellProblem(const std::string& message) { showProblem(window_, message); }

bool Win32FormControls::askYesNo(const std::string& question) { return askYesOrNo(window_, question); }

SaveChangesAnswer Win32FormControls::askSaveChanges(const std::string& question, bool canSave)
{
    return askToSaveChanges(window_, question, canSave);
}

// Windows' convention: the "*" before the caption.
void Win32FormControls::showModified(bool modified)
{
    SetWindowTextW(window_, profile::sys::widen((modified ? "*" : "") + std::string(form_layout::kCaption)).c_str());
}

void Win32FormControls::showSuggestions(const std::vector<std::string>& entries) { suggestions_.show(entries); }

}  // namespace win32
