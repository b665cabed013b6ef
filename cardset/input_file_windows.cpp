// The import's table file on Windows (the *W calls, UTF-16 paths).
#include "input_file.h"

#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <windows.h>

namespace {

HANDLE handleOf(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

int lastErrno()
{
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED: return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EBUSY;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: return EINVAL;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    default: return EIO;
    }
}

// The path as CreateFileW takes it; a long absolute one in the "\\?\" form,
// so paths of more than 260 characters work.
std::wstring systemPath(const std::string& path)
{
    std::wstring wide = profile::fsPath(path).wstring();
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    const bool drive = wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\';
    if (wide.size() >= MAX_PATH && drive)
        wide.insert(0, L"\\\\?\\");
    return wide;
}

}  // namespace

InputFile::~InputFile()
{
    if (handle_ != -1)
        CloseHandle(handleOf(handle_));
}

int InputFile::open(const std::string& path)
{
    // Backup semantics open a folder too, so that it is told apart from a missing file.
    const HANDLE h
        = CreateFileW(systemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return lastErrno();
    BY_HANDLE_FILE_INFORMATION info{};
    const int problem = GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ? EINVAL
                        : info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY                        ? EISDIR
                                                                                                  : 0;
    if (problem) {
        CloseHandle(h);
        return problem;
    }
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return 0;
}

std::size_t InputFile::read(char* out, std::size_t size)
{
    DWORD n = 0;
    if (!ReadFile(handleOf(handle_), out, DWORD(std::min<std::size_t>(size, 1u << 30)), &n, nullptr)) {
        error_ = lastErrno();
        return 0;
    }
    return n;
}

bool InputFile::rewind()
{
    if (SetFilePointerEx(handleOf(handle_), LARGE_INTEGER{}, nullptr, FILE_BEGIN))
        return true;
    error_ = lastErrno();
    return false;
}
