#pragma once

// The profile store's file layer: reading a file whole in one go without
// ever blocking on it, and replacing a file's content so that it is never
// seen half-written. Errors are errno values.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace profile {

// No profile file this program reads is larger; a larger one is refused
// before anything is read.
inline constexpr std::size_t kMaxProfileFileBytes = std::size_t(64) << 20;

// Reads the regular file at `path` whole, opened as FileReader opens one.
// Returns 0, or: FileReader::open's reason; EFBIG when it holds more than
// maxBytes (checked before reading and while reading); ENOMEM when there is
// no memory for it; the reason a read failed. `bytes` is empty on error.
int readFileOnce(const std::string& path, std::string& bytes, std::size_t maxBytes = kMaxProfileFileBytes);

// A regular file read a piece at a time through one open descriptor, opened
// without blocking and not inherited by child processes, then checked, so a
// FIFO or device put at the path is never waited on. On Windows it is shared
// for reading, writing and deleting: a program saving it meanwhile never
// fails because of this read.
class FileReader {
public:
    FileReader() = default;
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // 0, or the system's reason (ENOENT, EACCES, ...), EISDIR for a folder,
    // EINVAL for anything else that is no regular file.
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

// Replaces the file at `path` (a symbolic link included) or creates it with
// `content`: the content goes into a temporary file in the same folder (a
// short name of its own, so any file name the folder takes works), which is
// renamed over `path`. A new file gets the mode the umask allows; a replacing
// one is readable by its owner alone until it has the old file's owner,
// group (as far as this user may give them) and mode, and only then gets its
// content. `durable` flushes the file and then the folder to disk. On
// failure the old file is as it was and no temporary file remains. On
// Windows the old file's attributes, security and creation time are kept
// (ReplaceFileW); a file held open by another program without delete sharing
// is retried for a moment and then refused with EBUSY. The first successful
// replace into a folder in this process calls removeStaleTemporariesOnce.
ReplaceResult replaceFile(const std::string& path, std::string_view content, bool durable);

// The temporary files replaceFile makes are named this prefix and six letters
// or digits.
inline constexpr std::string_view kTemporaryPrefix = ".velmar-save-";

// What is at a path, following symbolic links.
struct FileInfo {
    enum class Kind { Missing, File, Folder, Other };
    Kind kind = Kind::Missing;
    // A file that is not to be written: no write bits on Linux, the
    // read-only attribute on Windows (where a folder is never read-only).
    bool readOnly = false;
    int error = 0;  // why the path could not be looked at (never ENOENT)
    // Its owner, group and permission bits where the system has them (Linux).
    std::uint32_t user = 0, group = 0, mode = 0;
};
FileInfo fileInfo(const std::string& path);

// Paths are UTF-8 strings, joined with the system's separator ("/" on
// Linux, "\" on Windows, where "/" separates as well).
bool isPathSeparator(char c);
char pathSeparator();

// An advisory lock on a folder's profile files for as long as it lives, for a
// read, edit and replace that must not interleave with another writer's. It
// locks a hidden ".velmar.lock" file in the folder, made when missing (never
// the file the replace swaps out): a lock to be had wherever the folder can
// be written. error() tells why none could be had; nothing is written then.
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

// Calls `visit` with the name of every entry of `folder` (not "." and "..")
// and whether it is a folder (following symbolic links). Returns 0, or the
// reason the folder could not be read.
int listFolder(const std::string& folder, const std::function<void(std::string_view name, bool isFolder)>& visit);

// A UTF-8 path as std::filesystem takes it, and back (its narrow strings are
// the ANSI code page on Windows, never UTF-8).
std::filesystem::path fsPath(const std::string& utf8);
std::string utf8Path(const std::filesystem::path& path);

// The path as the system compares paths: itself on Linux, in upper case on
// Windows, where "abc.ini" and "ABC.ini" name one file.
std::string samePathKey(const std::string& path);

// The folder part of a path: "." when it has none, the root for a file in it.
std::string folderOf(const std::string& path);

// True for the errors of a full disk, a quota or a file-size limit.
bool isOutOfSpace(int error);

// Removes from `folder` the temporary files of replaceFile's scheme (and of
// earlier versions' ".NAME.tmpPID.N", NAME ending in ".ini") more than ten
// minutes old, left by a killed run; a fresh one may belong to a write in
// progress. Only an entry with such a name is looked at more closely, and
// only the first call for a folder in this process looks.
void removeStaleTemporariesOnce(const std::string& folder);

// How many times this process has scanned a folder for stale temporary files.
std::size_t staleTemporaryScans();

// Makes a file-size limit (ulimit -f) fail a write with EFBIG instead of
// killing the program with SIGXFSZ. Called where a program that writes
// profile files starts.
void ignoreFileSizeSignal();

}  // namespace profile
