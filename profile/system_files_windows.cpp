// The file layer's system calls on Windows (the *W calls, UTF-16 paths).
#include "profile_service.h"
#include "system_files.h"
#include "system_path_windows.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <utility>
#include <windows.h>
#include <bcrypt.h>

namespace profile::sys {
namespace {

// A handle closed when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE h)
        : h_(h)
    {
    }
    ~Handle()
    {
        if (ok())
            CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

int lastErrno() { return errnoOf(GetLastError()); }

bool isBusy(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED
           || error == ERROR_UNABLE_TO_REMOVE_REPLACED || error == ERROR_USER_MAPPED_FILE;
}

// A program that holds the card open (a virus scanner looking at the new
// file, most often) usually lets go within moments: try a few times, well
// under a second in all, before telling the user.
constexpr int kAttempts = 8;
constexpr DWORD kPauseMs = 60;

std::int64_t fileTimeSeconds(const FILETIME& t)
{
    return std::int64_t((ULONGLONG(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000000ULL);
}

// True when no other program holds the file without sharing its deletion,
// which replacing it needs.
bool canBeReplaced(const std::wstring& path)
{
    const Handle h(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h.ok();
}

// Calls `visit` with every entry of `folder` but "." and ".."; 0 or the
// reason the folder could not be read.
int findEach(const std::string& folder, const std::function<void(const WIN32_FIND_DATAW&)>& visit)
{
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/')
        pattern += '\\';
    WIN32_FIND_DATAW entry{};
    const HANDLE find = FindFirstFileExW(
        systemPath(pattern + "*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : errnoOf(error);  // an empty drive root has no entries at all
    }
    do {
        const std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L"..")
            visit(entry);
    } while (FindNextFileW(find, &entry));
    const DWORD error = GetLastError();
    FindClose(find);
    return error == ERROR_NO_MORE_FILES ? 0 : errnoOf(error);
}

}  // namespace

NewFile::~NewFile() { (void)close(); }

// A new file is its creator's alone while this handle is open (no sharing),
// and has the old file's access list before it gets its content.
int NewFile::create(const std::string& path, const std::string& target, const FileInfo* like)
{
    const HANDLE h
        = CreateFileW(systemPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return lastErrno();
    handle_ = reinterpret_cast<std::intptr_t>(h);
    if (!like)
        return 0;
    const int err = carryAccess(handle_, path, target, *like);
    if (err == 0)
        return 0;
    (void)close();
    DeleteFileW(systemPath(path).c_str());
    return err;
}

int NewFile::write(std::string_view data)
{
    const HANDLE h = reinterpret_cast<HANDLE>(handle_);
    while (!data.empty()) {
        DWORD n = 0;
        if (!WriteFile(h, data.data(), DWORD(std::min<std::size_t>(data.size(), 1u << 30)), &n, nullptr))
            return lastErrno();
        if (n == 0)
            return EIO;
        data.remove_prefix(n);
    }
    return 0;
}

int NewFile::flush() { return FlushFileBuffers(reinterpret_cast<HANDLE>(handle_)) ? 0 : lastErrno(); }

int NewFile::close()
{
    if (handle_ == -1)
        return 0;
    return CloseHandle(reinterpret_cast<HANDLE>(std::exchange(handle_, -1))) ? 0 : lastErrno();
}

namespace {

// Puts `from` in place of `to` (an existing file when `replacing`), trying a
// few times while another program holds `to`. With `backup`, what `to` held
// is moved there rather than freed (ReplaceFileW's backup), and `movedAside`
// tells whether it was.
DWORD moveInPlace(
    const std::wstring& from, const std::wstring& to, bool replacing, const std::wstring* backup, bool& movedAside)
{
    movedAside = false;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0)
            Sleep(kPauseMs);
        if (replacing) {
            // Asked first, so that a held file is told apart before anything
            // is moved (ReplaceFileW may leave a file of its own behind).
            if (!canBeReplaced(to)) {
                error = GetLastError();
                if (error == ERROR_FILE_NOT_FOUND) {
                    replacing = false;
                    continue;
                }
                if (isBusy(error))
                    continue;
                break;
            }
            if (ReplaceFileW(to.c_str(), from.c_str(), backup ? backup->c_str() : nullptr,
                    REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
                movedAside = backup != nullptr;
                return ERROR_SUCCESS;
            }
            error = GetLastError();
            // The old file is gone (deleted meanwhile, or moved aside while the
            // new one still waits under its temporary name): a plain move
            // puts the new file in place rather than lose both.
            if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
                movedAside = true;
                replacing = false;
                continue;
            }
            if ((error == ERROR_UNABLE_TO_MOVE_REPLACEMENT && !backup) || error == ERROR_FILE_NOT_FOUND) {
                replacing = false;
                continue;
            }
            if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT)  // with a backup: both kept their names
                continue;
        } else {
            if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH))
                return ERROR_SUCCESS;
            error = GetLastError();
            // Created meanwhile by someone else: replace it as an existing file.
            if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
                replacing = true;
                continue;
            }
        }
        if (!isBusy(error))
            break;
    }
    return error;
}

}  // namespace

// A move is written through to the folder whether or not `durable` asks for
// it: Windows has no flush of a folder's names to do it later.
int putInPlace(const std::string& temp, const std::string& path, bool replacing, bool)
{
    bool movedAside = false;
    const DWORD error = moveInPlace(systemPath(temp), systemPath(path), replacing, nullptr, movedAside);
    return error == ERROR_SUCCESS ? 0 : errnoOf(error);
}

int putInPlaceKeepingOld(const std::string& temp, const std::string& path, std::string& old)
{
    old = siblingTemporary(temp);
    const std::wstring backup = systemPath(old);
    bool movedAside = false;
    const DWORD error = moveInPlace(systemPath(temp), systemPath(path), true, &backup, movedAside);
    if (error != ERROR_SUCCESS && movedAside)  // the old file back in its place rather than no file at all
        MoveFileExW(backup.c_str(), systemPath(path).c_str(), MOVEFILE_WRITE_THROUGH);
    if (error != ERROR_SUCCESS || !movedAside)
        old.clear();
    return error == ERROR_SUCCESS ? 0 : errnoOf(error);
}

int putNew(const std::string& temp, const std::string& path)
{
    if (MoveFileExW(systemPath(temp).c_str(), systemPath(path).c_str(), MOVEFILE_WRITE_THROUGH))
        return 0;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? EEXIST : errnoOf(error);
}

// No flush of many files at once that an ordinary user may call: each file is
// opened again and flushed.
int flushFiles(const std::string& folder, const std::vector<std::string_view>& names)
{
    for (const std::string_view name : names) {
        Handle h(CreateFileW(systemPath(joinPath(folder, name)).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h.ok() || !FlushFileBuffers(h.get()))
            return lastErrno();
    }
    return 0;
}

// Every move was written through to the folder.
int flushFolder(const std::string&) { return 0; }

void listNames(const std::string& folder, const std::function<void(std::string_view name)>& visit)
{
    (void)findEach(folder, [&](const WIN32_FIND_DATAW& entry) { visit(narrow(entry.cFileName)); });
}

std::optional<std::int64_t> regularFileAge(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(systemPath(path).c_str(), GetFileExInfoStandard, &data)
        || (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        return std::nullopt;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return fileTimeSeconds(now) - fileTimeSeconds(data.ftLastWriteTime);
}

int holdMark(const std::string& path, std::intptr_t& handle)
{
    // Gone with the last handle, however the process ends; others may open it to look at its lock.
    const HANDLE h = CreateFileW(systemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
        CREATE_NEW, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return lastErrno();
    OVERLAPPED first{};
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &first)) {
        const int err = lastErrno();
        CloseHandle(h);
        return err;
    }
    handle = reinterpret_cast<std::intptr_t>(h);
    return 0;
}

void dropMark(const std::string&, std::intptr_t handle) { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

bool markHeld(const std::string& path)
{
    const Handle h(CreateFileW(systemPath(path).c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    // A mark this user may not open (or one being deleted) may still be held: it is taken for a live writer's.
    if (!h.ok())
        return GetLastError() != ERROR_FILE_NOT_FOUND;
    OVERLAPPED first{};
    if (!LockFileEx(h.get(), LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &first))
        return true;
    UnlockFileEx(h.get(), 0, 1, 0, &first);
    return false;
}

namespace {

// The lock file's first byte is the lock; on its second each waiting writer
// holds a shared lock.
OVERLAPPED byteAt(DWORD offset)
{
    OVERLAPPED at{};
    at.Offset = offset;
    return at;
}

bool lockByte(std::intptr_t handle, DWORD offset, DWORD flags)
{
    OVERLAPPED at = byteAt(offset);
    return LockFileEx(reinterpret_cast<HANDLE>(handle), flags | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
}

void unlockByte(std::intptr_t handle, DWORD offset)
{
    OVERLAPPED at = byteAt(offset);
    UnlockFileEx(reinterpret_cast<HANDLE>(handle), 0, 1, 0, &at);
}

}  // namespace

int openLock(const std::string& path, bool make, std::intptr_t& handle)
{
    const std::wstring wide = systemPath(path);
    const HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, make ? OPEN_ALWAYS : OPEN_EXISTING,
        FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const int err = lastErrno();
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ENOLCK : err;
    }
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        return ENOLCK;
    }
    handle = reinterpret_cast<std::intptr_t>(h);
    return 0;
}

void closeLock(std::intptr_t handle) { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

int tryLock(std::intptr_t handle)
{
    if (lockByte(handle, 0, LOCKFILE_EXCLUSIVE_LOCK))
        return 0;
    const DWORD error = GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? EWOULDBLOCK : errnoOf(error);
}

void unlock(std::intptr_t handle) { unlockByte(handle, 0); }

void sayWaiting(std::intptr_t handle, bool waiting)
{
    if (waiting)
        (void)lockByte(handle, 1, 0);
    else
        unlockByte(handle, 1);
}

bool othersWaiting(std::intptr_t handle)
{
    if (!lockByte(handle, 1, LOCKFILE_EXCLUSIVE_LOCK))
        return true;
    unlockByte(handle, 1);
    return false;
}

void remove(const std::string& path) { DeleteFileW(systemPath(path).c_str()); }

void randomBytes(unsigned char* out, std::size_t n)
{
    if (BCryptGenRandom(nullptr, out, ULONG(n), BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0)
        return;
    // Should the system's source fail, the clock and the process still make a name.
    const auto seed = std::uint64_t(GetTickCount64()) ^ std::uint64_t(GetCurrentProcessId()) << 32;
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(seed >> (5 * i));
}

std::string executablePath()
{
    std::wstring buffer(32768, L'\0');  // room for the longest path Windows has
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    buffer.resize(n < buffer.size() ? n : 0);  // 0: failed, or the path was cut
    return narrow(buffer);
}

std::string resolveLink(const std::string& path) { return path; }

}  // namespace profile::sys

namespace profile {

bool isPathSeparator(char c) { return c == '\\' || c == '/'; }
char pathSeparator() { return '\\'; }

FileInfo fileInfo(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || path.find('\0') != std::string::npos)
        return {};
    if (!GetFileAttributesExW(sys::systemPath(path).c_str(), GetFileExInfoStandard, &data)) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return {};
        return {FileInfo::Kind::Missing, false, sys::errnoOf(error)};
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return {FileInfo::Kind::Folder, false, 0};  // a folder's read-only attribute does not stop writing in it
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)
        return {FileInfo::Kind::Other, false, 0};
    return {FileInfo::Kind::File, (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0, 0};
}

int listFolder(const std::string& folder, const std::function<void(std::string_view name, bool isFolder)>& visit)
{
    if (folder.find('\0') != std::string::npos)
        return EINVAL;
    return sys::findEach(folder, [&](const WIN32_FIND_DATAW& entry) {
        visit(sys::narrow(entry.cFileName), (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    });
}

FileReader::~FileReader()
{
    if (handle_ != -1)
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

int FileReader::open(const std::string& path)
{
    if (path.find('\0') != std::string::npos)
        return EINVAL;
    // Backup semantics open a folder too, so that it is told apart from a missing file.
    const HANDLE h = CreateFileW(sys::systemPath(path).c_str(), GENERIC_READ,
        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
        nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return sys::lastErrno();
    BY_HANDLE_FILE_INFORMATION info{};
    const int problem = GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ? EINVAL
                        : info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY                        ? EISDIR
                                                                                                  : 0;
    if (problem) {
        CloseHandle(h);
        return problem;
    }
    size_ = std::uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return 0;
}

std::size_t FileReader::read(char* out, std::size_t room)
{
    DWORD n = 0;
    const bool read
        = ReadFile(reinterpret_cast<HANDLE>(handle_), out, DWORD(std::min<std::size_t>(room, 1u << 30)), &n, nullptr);
    error_ = read ? 0 : sys::lastErrno();
    return read ? n : 0;
}

int FileReader::rewind()
{
    const bool moved = SetFilePointerEx(reinterpret_cast<HANDLE>(handle_), LARGE_INTEGER{}, nullptr, FILE_BEGIN);
    return error_ = moved ? 0 : sys::lastErrno();
}

std::string samePathKey(const std::string& path)
{
    // Windows' own upper case, as its file systems compare names.
    std::wstring wide = sys::widen(path);
    if (!wide.empty())
        CharUpperBuffW(wide.data(), DWORD(wide.size()));
    return sys::narrow(wide);
}

bool isOutOfSpace(int error) { return error == ENOSPC || error == EFBIG; }

void ignoreFileSizeSignal() { }

}  // namespace profile
