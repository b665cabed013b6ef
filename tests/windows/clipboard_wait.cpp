// Waits until the Windows clipboard holds a text: clipboard_wait.exe TEXT.
// Under Wine a text put on the X clipboard (xclip) reaches the Windows one a
// moment later; reading it here also makes Wine fetch it, so a Ctrl+V after
// this pastes that text. Exits 0 once it is there, 1 if it has not come in
// 15 s.
//
// Wine drops that fetch when the Windows clipboard is open at the moment the
// X owner changes (this program's own polling can be what holds it), and
// then looks no more until a Windows program sets the clipboard:
// clipboard_wait.exe --set TEXT does, and Wine takes the X clipboard back.
#include <cstring>
#include <cwchar>
#include <string>
#include <windows.h>

namespace {

constexpr DWORD kPollMs = 20;
constexpr DWORD kPatienceMs = 15000;

bool clipboardHolds(const std::wstring& wanted)
{
    if (!OpenClipboard(nullptr))
        return false;  // someone else has it open: ask again
    bool holds = false;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            holds = wanted == text;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return holds;
}

bool setClipboard(const wchar_t* text)
{
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    for (DWORD waited = 0; waited < kPatienceMs; waited += kPollMs) {
        if (OpenClipboard(nullptr)) {
            bool set = false;
            if (EmptyClipboard()) {
                if (HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
                    memcpy(GlobalLock(copy), text, bytes);
                    GlobalUnlock(copy);
                    set = SetClipboardData(CF_UNICODETEXT, copy) != nullptr;
                    if (!set)
                        GlobalFree(copy);
                }
            }
            CloseClipboard();
            return set;
        }
        Sleep(kPollMs);
    }
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wstring(argv[1]) == L"--set")
        return setClipboard(argv[2]) ? 0 : 1;
    if (argc != 2)
        return 2;
    for (DWORD waited = 0; waited < kPatienceMs; waited += kPollMs) {
        if (clipboardHolds(argv[1]))
            return 0;
        Sleep(kPollMs);
    }
    return 1;
}
