#pragma once

#include "accessible_names.h"
#include "card_form.h"
#include "control_table.h"
#include "id_suggestion_list.h"
#include "menu_keyboard.h"
#include "win32_form_controls.h"

#include <windows.h>

#include <memory>
#include <span>
#include <string>

namespace win32 {

// The editor's one window on Windows: native controls from the layout table,
// lent to the form, whose handlers run on the controls' events.
class frmVelmar {
public:
    // Makes the window, centred on its screen, not yet shown. Card files
    // live in programFolder; empty means the folder of the executable.
    static std::unique_ptr<frmVelmar> create(HINSTANCE instance, std::string programFolder = {});
    ~frmVelmar();
    frmVelmar(const frmVelmar&) = delete;
    frmVelmar& operator=(const frmVelmar&) = delete;

    HWND hwnd() const { return window_; }
    // Gives the controls their names for screen readers; needs COM on this thread.
    void nameControls();
    HACCEL shortcuts() const { return shortcuts_; }

    void cmdLoad_Click() { form_->cmdLoad_Click(); }
    void cmdSave_Click() { form_->cmdSave_Click(); }
    void cmdClear_Click() { form_->cmdClear_Click(); }
    void optLv_Click(LevelIndex Index) { form_->optLv_Click(Index); }
    void mnuFileLoad_Click() { cmdLoad_Click(); }
    void mnuFileSave_Click() { cmdSave_Click(); }
    void mnuFileNext_Click() { form_->mnuFileNext_Click(); }
    void mnuFilePrevious_Click() { form_->mnuFilePrevious_Click(); }
    void mnuFileReport_Click();

    // The message loop's part of the window: the list's keys, idle work.
    MessageLoopHooks messageLoopHooks();
    const IdSuggestionList& idSuggestions() const { return *suggestions_; }

    const LevelBuffer& levelData() const { return form_->levelData(); }
    LevelIndex currentLevel() const { return form_->currentLevel(); }
    // The control named so in the layout table (the first level option).
    HWND control(const char* name) const { return table_->find(name); }
    std::span<const HWND> levelOptions() const { return table_->levelOptions(); }

private:
    frmVelmar() = default;
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void onCommand(int id, int code, HWND control);
    // Font, controls and window size for the DPI.
    void applyDpi(UINT dpi);
    void fitClientArea();
    void centreOnScreen();

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HACCEL shortcuts_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    std::unique_ptr<ControlTable> table_;
    std::unique_ptr<IdSuggestionList> suggestions_;
    std::unique_ptr<Win32FormControls> controls_;
    std::unique_ptr<CardForm> form_;
    std::unique_ptr<AccessibleNames> names_;
};

// The program: the window shown as asked (nCmdShow) and its messages run
// until it is closed. Returns the exit code.
int runEditor(HINSTANCE instance, int show);

}  // namespace win32
