#include "merge_result.h"

#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <random>
#include <windows.h>

namespace {

std::wstring wide(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring text(std::size_t(n > 0 ? n : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), text.data(), n);
    return text;
}

int errnoOf(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    default: return EIO;
    }
}

}  // namespace

int replaceMergeResult(const std::string& path, std::string_view content)
{
    const std::wstring target = wide(path);
    if (GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES)
        return errnoOf(GetLastError());
    std::random_device random;
    const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        std::string name(profile::kTemporaryPrefix);
        for (int i = 0; i < 6; ++i)
            name += letters[random() % 36];
        temporary = wide(profile::folderOf(path) + "\\" + name);
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return errnoOf(GetLastError());
    }
    if (file == INVALID_HANDLE_VALUE)
        return EEXIST;
    int error = 0;
    for (std::size_t done = 0; !error && done < content.size();) {
        DWORD n = 0;
        const DWORD chunk = DWORD(std::min<std::size_t>(content.size() - done, 1 << 20));
        if (!WriteFile(file, content.data() + done, chunk, &n, nullptr))
            error = errnoOf(GetLastError());
        done += n;
    }
    if (!CloseHandle(file) && !error)
        error = errnoOf(GetLastError());
    if (!error && !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
        error = errnoOf(GetLastError());
    if (error)
        DeleteFileW(temporary.c_str());
    return error;
}
