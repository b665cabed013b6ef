// Holds a file open as another program would (a spreadsheet, an editor, the
// game): file_holder.exe PATH SHARING READY, where SHARING is "read" (others
// may read) or "all" (others may read, write and delete). Creates the file
// READY once the file is open, then waits until its standard input closes.
#include <cstdio>
#include <string>
#include <windows.h>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return 2;
    const DWORD sharing
        = std::wstring(argv[2]) == L"all" ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : FILE_SHARE_READ;
    const HANDLE file = CreateFileW(argv[1], GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    const HANDLE ready = CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (ready == INVALID_HANDLE_VALUE)
        return 4;
    CloseHandle(ready);
    char buffer[64];
    DWORD n = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &n, nullptr) && n > 0) { }
    CloseHandle(file);
    return 0;
}
