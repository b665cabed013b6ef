// Waits until the Windows clipboard holds a text: clipboard_wait.exe TEXT.
// Under Wine a text put on the X clipboard (xclip) reaches the Windows one a
// moment later; reading it here also makes Wine fetch it, so a Ctrl+V after
// this pastes that text. Exits 0 once it is there, 1 if it never comes.
#include <string>
#include <windows.h>

namespace {

constexpr DWORD kPollMs = 20;
constexpr DWORD kPatienceMs = 120000;

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

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2)
        return 2;
    for (DWORD waited = 0; waited < kPatienceMs; waited += kPollMs) {
        if (clipboardHolds(argv[1]))
            return 0;
        Sleep(kPollMs);
    }
    return 1;
}
