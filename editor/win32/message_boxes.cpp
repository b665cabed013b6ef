#include "message_boxes.h"

#include "form_layout.h"
#include "system_path_windows.h"

#include <commctrl.h>

namespace win32 {
namespace {

constexpr UINT_PTR kEscapeSubclass = 1;
thread_local HHOOK activationHook = nullptr;

// Esc reaches a message box as the Cancel command, which a Yes/No box has no
// button for; it becomes No.
LRESULT CALLBACK escapeMeansNo(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL)
        return DefSubclassProc(box, message, MAKEWPARAM(IDNO, BN_CLICKED), LPARAM(GetDlgItem(box, IDNO)));
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(box, escapeMeansNo, kEscapeSubclass);
    return DefSubclassProc(box, message, wParam, lParam);
}

// The first window activated after the hook is set is the message box.
LRESULT CALLBACK onActivation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE && activationHook) {
        SetWindowSubclass(reinterpret_cast<HWND>(wParam), escapeMeansNo, kEscapeSubclass, 0);
        UnhookWindowsHookEx(activationHook);
        activationHook = nullptr;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void showProblem(HWND owner, const std::string& message)
{
    MessageBoxW(owner, profile::sys::widen(message).c_str(), profile::sys::widen(form_layout::kCaption).c_str(),
        MB_OK | MB_ICONWARNING);
}

bool askYesOrNo(HWND owner, const std::string& question)
{
    activationHook = SetWindowsHookExW(WH_CBT, onActivation, nullptr, GetCurrentThreadId());
    const int answer = MessageBoxW(owner, profile::sys::widen(question).c_str(),
        profile::sys::widen(form_layout::kCaption).c_str(), MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING);
    if (activationHook) {
        UnhookWindowsHookEx(activationHook);
        activationHook = nullptr;
    }
    return answer == IDYES;
}

SaveChangesAnswer askToSaveChanges(HWND owner, const std::string& question, bool canSave)
{
    const std::wstring text = profile::sys::widen(question);
    const std::wstring caption = profile::sys::widen(form_layout::kCaption);
    const TASKDIALOG_BUTTON buttons[] = {{IDYES, L"保存(&S)"}, {IDNO, L"保存しない(&N)"}, {IDCANCEL, L"キャンセル"}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.pszWindowTitle = caption.c_str();
    config.pszMainIcon = TD_WARNING_ICON;
    config.pszContent = text.c_str();
    config.pButtons = canSave ? buttons : buttons + 1;
    config.cButtons = canSave ? 3 : 2;
    config.nDefaultButton = canSave ? IDYES : IDCANCEL;
    // Only in common controls 6, which the program's manifest asks for.
    using TaskDialogIndirectCall = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
    const auto taskDialog = reinterpret_cast<TaskDialogIndirectCall>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "TaskDialogIndirect")));
    int answer = IDCANCEL;
    if (!taskDialog || FAILED(taskDialog(&config, &answer, nullptr, nullptr)))
        return SaveChangesAnswer::Cancel;  // nothing is dropped unasked
    switch (answer) {
    case IDYES: return canSave ? SaveChangesAnswer::Save : SaveChangesAnswer::Cancel;
    case IDNO: return SaveChangesAnswer::DontSave;
    default: return SaveChangesAnswer::Cancel;
    }
}

}  // namespace win32
