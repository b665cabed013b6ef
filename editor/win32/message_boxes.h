#pragma once

// What the form tells or asks the user, in message boxes owned by the window
// and titled with its caption. Text is UTF-8.

#include "form_controls.h"

#include <windows.h>

#include <string>

namespace win32 {

// A warning with OK; returns once the user has closed it.
void showProblem(HWND owner, const std::string& message);

// A question with Yes and No; No is the default button, and Esc answers No
// as well (a Yes/No message box by itself ignores Esc). True for Yes.
bool askYesOrNo(HWND owner, const std::string& question);

// The question before unsaved changes are dropped: 保存(&S) (the default),
// 保存しない(&N) and キャンセル (also Esc and the close box); without
// `canSave` only the last two, キャンセル the default.
SaveChangesAnswer askToSaveChanges(HWND owner, const std::string& question, bool canSave);

}  // namespace win32
