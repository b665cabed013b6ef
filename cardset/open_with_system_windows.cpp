#include "open_with_system.h"

#include <windows.h>

#include <shellapi.h>

CardProblem openWithSystem(const std::string& path)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, path.data(), int(path.size()), nullptr, 0);
    std::wstring wide(std::size_t(n > 0 ? n : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), int(path.size()), wide.data(), n);
    // The shell starts the program registered for the file's type and returns.
    const auto result
        = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32)
        return std::nullopt;
    return "ファイルを開くプログラムを起動できませんでした（ShellExecuteW: " + std::to_string(result) + "）。";
}
