#pragma once

// The profile store's file layer: reading a file whole without ever blocking on it, and replacing a
// file's content so that it is never seen half-written. Errors are errno values.

#include <chrono>
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
    Lock,    // the folder's lock (FolderLock): ENOLCK or ETIMEDOUT, or why its file could not be opened
};

struct ReplaceResult {
    int error = 0;  // 0 or an errno value
    ReplaceStep step = ReplaceStep::None;
    bool ok() const { return error == 0; }
};

// Replaces the file at `path` (a symbolic link included) or creates it with `content`, written into a
// temporary file of a short name beside it that is renamed over `path`. A new file gets the mode the umask
// allows; a replacing one is its owner's alone until it has the old file's owner, group (as far as this
// user may give them), access control list, the extended attributes this user may set, and mode (Linux),
// or the old file's access list (Windows), and only then gets its content. `durable` flushes the file,
// then the folder. On failure the old file is as it was and no temporary file remains. On Windows
// (ReplaceFileW) attributes and creation time are kept too; a file held open without delete sharing is
// retried a moment, then refused with EBUSY. The first successful replace into a folder calls
// removeStaleTemporariesOnce. It takes no lock: a writer that checks the file first holds a FolderLock
// around its check and this call.
ReplaceResult replaceFile(const std::string& path, std::string_view content, bool durable);

// The temporary files replaceFile makes are named this prefix, six letters or digits that name the writer,
// a "-" and six more; "prefix and the writer's six" is the writer's mark, held locked while it lives.
// (Earlier versions named their temporary files the prefix and six letters alone.)
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

// An advisory lock on a folder's files while it lives, for a check and a replace that must not interleave
// with another writer's (every writer of cards takes it: Save, the key writer, import, merge): a hidden
// ".velmar.lock" in the folder, made when missing, so it can be had wherever the folder can be written.
// It is opened without blocking and must be a regular file (else ENOLCK), and it is waited for at most
// folderLockPatience() (else ETIMEDOUT). error() tells why none was had; nothing is written then.
class FolderLock {
public:
    // Skip: a folder without the lock file is written without a lock, and no lock file is made there
    // (a merge into git's own temporary file beside the repository's files).
    enum class IfMissing { Make, Skip };
    explicit FolderLock(const std::string& folder, IfMissing ifMissing = IfMissing::Make);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    int error() const { return error_; }
    bool held() const { return held_; }

    // Lets go of the lock, keeping its file open for relock().
    void unlock();
    // Takes the lock again, after any writer that waits for it has had it: a writer that takes the lock
    // card by card (an import) never keeps another (a Save) waiting longer than one card. 0 or error().
    int relock();

private:
    std::intptr_t handle_ = -1;
    int error_ = 0;
    bool held_ = false;
};

// How long a writer waits for a folder's lock before it gives up with ETIMEDOUT: 10 seconds, far longer
// than any writer holds it (one card's check and replace). Tests shorten it.
std::chrono::milliseconds folderLockPatience();
void setFolderLockPatience(std::chrono::milliseconds patience);

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
// ".NAME.tmpPID.N", NAME ending in ".ini") left by a killed run: those more than ten minutes old whose
// writer's mark is not held. A live writer's files stay, however long it runs; a fresh file may be a writer
// that is only starting. Only such names are looked at closer, and only by the first call for a folder.
void removeStaleTemporariesOnce(const std::string& folder);

// How many times this process has scanned a folder for stale temporary files.
std::size_t staleTemporaryScans();

// Makes a write past a file-size limit (ulimit -f) fail with EFBIG, not kill the program; called at start.
void ignoreFileSizeSignal();

}  // namespace profile
