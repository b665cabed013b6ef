#pragma once

// The profile store's file layer: reading a file whole without ever blocking on it, and replacing a
// file's content so that it is never seen half-written. Errors are errno values.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace profile {

// No profile file this program reads is larger; a larger one is refused before anything is read.
inline constexpr std::size_t kMaxProfileFileBytes = std::size_t(64) << 20;

// Reads the regular file at `path` whole, opened as FileReader opens one. 0, or: FileReader::open's reason;
// EFBIG above maxBytes (before and while reading); ENOMEM; a read's error. `bytes` is empty on error.
int readFileOnce(const std::string& path, std::string& bytes, std::size_t maxBytes = kMaxProfileFileBytes);

// A regular file read a piece at a time, opened without blocking and not inherited by child processes,
// then checked, so a FIFO or device put at the path is never waited on. On Windows it is shared for
// reading, writing and deleting: a program saving it meanwhile never fails because of this read.
class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // 0, or the system's reason (ENOENT, EACCES, ...), EISDIR for a folder, EINVAL for other non-files.
    int open(const std::string& path);
    // The file's size when it was opened.
    std::uint64_t size() const { return size_; }
    // Up to `room` bytes into `out`: how many, 0 at the end; an error is kept in error().
    std::size_t read(char* out, std::size_t room);
    // Back to the first byte: 0 or the system's error (also kept in error()).
    int rewind();
    int error() const { return error_; }

private:
    std::intptr_t handle_ = -1;
    std::uint64_t size_ = 0;
    int error_ = 0;
};

// Where a replaceFile call failed.
enum class ReplaceStep {
    None,
    Folder,  // no temporary file could be made in the folder (e.g. EACCES: no write permission there)
    Write,   // writing or flushing the new content (ENOSPC, EFBIG, EIO, ...)
    Rename,  // putting the new file in place
};

struct ReplaceResult {
    int error = 0;  // 0 or an errno value
    ReplaceStep step = ReplaceStep::None;
    bool ok() const { return error == 0; }
};

// Replaces the file at `path` (a symbolic link included) or creates it with `content`, written into a
// temporary file of a short name beside it that is renamed over `path`. A new file gets the mode the umask
// allows; a replacing one is its owner's alone until it has the old file's owner, group (as far as this
// user may give them) and mode, and only then gets its content. `durable` flushes the file, then the
// folder. On failure the old file is as it was and no temporary file remains. On Windows (ReplaceFileW)
// attributes, security and creation time are kept; a file held open without delete sharing is retried a
// moment, then refused with EBUSY. The first successful replace into a folder calls removeStaleTemporariesOnce.
ReplaceResult replaceFile(const std::string& path, std::string_view content, bool durable);

// The temporary files replaceFile makes are named this prefix and six letters or digits.
inline constexpr std::string_view kTemporaryPrefix = ".velmar-save-";

// What is at a path, following symbolic links.
struct FileInfo {
    enum class Kind { Missing, File, Folder, Other };
    Kind kind = Kind::Missing;
    // Not to be written: no write bits on Linux, the read-only attribute on Windows (never on a folder).
    bool readOnly = false;
    int error = 0;  // why the path could not be looked at (never ENOENT)
    // Its owner, group and permission bits where the system has them (Linux).
    std::uint32_t user = 0, group = 0, mode = 0;
};
FileInfo fileInfo(const std::string& path);

// Paths are UTF-8 strings, joined with the system's separator ("/", or "\" on Windows, where "/" works too).
bool isPathSeparator(char c);
char pathSeparator();

// An advisory lock on a folder's profile files while it lives, for a read, edit and replace that must
// not interleave with another writer's: a hidden ".velmar.lock" in the folder, made when missing, so it
// can be had wherever the folder can be written. error() tells why none was had; nothing is written then.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    int error() const { return error_; }

private:
    std::intptr_t handle_ = -1;
    int error_ = 0;
};

// Calls `visit` with the name of every entry of `folder` (not "." and "..") and whether it is a folder
// (links followed). Returns 0, or the reason the folder could not be read.
int listFolder(const std::string& folder, const std::function<void(std::string_view name, bool isFolder)>& visit);

// A UTF-8 path as std::filesystem takes it, and back (its narrow strings are the ANSI code page on Windows).
std::filesystem::path fsPath(const std::string& utf8);
std::string utf8Path(const std::filesystem::path& path);

// The path as the system compares paths: itself on Linux, upper case on Windows ("abc.ini" is "ABC.ini").
std::string samePathKey(const std::string& path);

// The folder part of a path: "." when it has none, the root for a file in it.
std::string folderOf(const std::string& path);

// True for the errors of a full disk, a quota or a file-size limit.
bool isOutOfSpace(int error);

// Removes from `folder` the temporary files of replaceFile's scheme (and of earlier versions'
// ".NAME.tmpPID.N", NAME ending in ".ini") more than ten minutes old, left by a killed run; a fresh one may
// be a write in progress. Only such names are looked at closer, and only by the first call for a folder.
void removeStaleTemporariesOnce(const std::string& folder);

// How many times this process has scanned a folder for stale temporary files.
std::size_t staleTemporaryScans();

// Makes a write past a file-size limit (ulimit -f) fail with EFBIG, not kill the program; called at start.
void ignoreFileSizeSignal();

}  // namespace profile
