// The file layer's system calls on Linux (POSIX).
#include "profile_service.h"
#include "system_files.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <stdio.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace profile::sys {
namespace {

class Descriptor {
public:
    explicit Descriptor(int fd)
        : fd_(fd)
    {
    }
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

bool hasWriteBits(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0; }

}  // namespace

NewFile::~NewFile() { (void)close(); }

int NewFile::create(const std::string& path, const std::string& target, const FileInfo* like)
{
    handle_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, like ? 0600 : 0666);
    if (handle_ < 0 || !like)
        return handle_ < 0 ? errno : 0;
    const int err = carryAccess(handle_, path, target, *like);
    if (err == 0)
        return 0;
    (void)close();
    ::unlink(path.c_str());
    return err;
}

// All of `data`, going on after a partial write or a signal.
int NewFile::write(std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(int(handle_), data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int NewFile::flush() { return ::fsync(int(handle_)) == 0 ? 0 : errno; }

// Closes now, reporting what close() says (a delayed write error).
int NewFile::close()
{
    if (handle_ < 0)
        return 0;
    return ::close(int(std::exchange(handle_, -1))) == 0 ? 0 : errno;
}

int putInPlace(const std::string& temp, const std::string& path, bool, bool durable)
{
    if (::rename(temp.c_str(), path.c_str()) != 0)
        return errno;
    // The new content is in place now; flushing the folder makes the rename
    // itself durable, and a failure of that flush does not undo it.
    if (durable)
        (void)flushFolder(folderOf(path));
    return 0;
}

int putNew(const std::string& temp, const std::string& path)
{
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: the name is looked at just before.
    struct stat st { };
    if (::lstat(path.c_str(), &st) == 0)
        return EEXIST;
    return ::rename(temp.c_str(), path.c_str()) == 0 ? 0 : errno;
}

int putInPlaceKeepingOld(const std::string& temp, const std::string& path, std::string& old)
{
    old.clear();
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
            old = temp;
            return 0;
        }
        if (errno == EINVAL || errno == ENOSYS)
            return putInPlace(temp, path, true, false);
        if (errno != ENOENT)
            return errno;
        // Nothing at `path` (removed meanwhile): the new file goes there, unless something came back.
        if (const int err = putNew(temp, path); err != EEXIST)
            return err;
    }
    return EAGAIN;
}

int flushFiles(const std::string& folder, const std::vector<std::string_view>&)
{
    // One flush of the file system the folder is on: it waits for every
    // file's data and metadata, flushes the disk's cache, and reports a
    // write-out error of any of them.
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0)
        return errno;
    return ::syncfs(fd.get()) == 0 ? 0 : errno;
}

int flushFolder(const std::string& folder)
{
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0)
        return errno;
    return ::fsync(fd.get()) == 0 ? 0 : errno;
}

void listNames(const std::string& folder, const std::function<void(std::string_view name)>& visit)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir))
        visit(entry->d_name);
    ::closedir(dir);
}

std::optional<std::int64_t> regularFileAge(const std::string& path)
{
    struct stat st { };
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return std::int64_t(std::time(nullptr) - st.st_mtime);
}

int holdMark(const std::string& path, std::intptr_t& handle)
{
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return errno;
    // The kernel lets go of it when the process ends, however it ends.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::unlink(path.c_str());
        return err;
    }
    handle = fd.release();
    return 0;
}

void dropMark(const std::string& path, std::intptr_t handle)
{
    ::unlink(path.c_str());
    ::close(int(handle));
}

bool markHeld(const std::string& path)
{
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    // A mark this user may not open may still be held: it is taken for a live writer's.
    if (fd.get() < 0)
        return errno != ENOENT && errno != ELOOP;
    return ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

int openLock(const std::string& path, bool make, std::intptr_t& handle)
{
    // Read and write where this user may (a lock over NFS needs both), else read, which is enough for a
    // lock here, and so anyone who may read the lock file shares it.
    const int flags = O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | (make ? O_CREAT : 0);
    int opened = ::open(path.c_str(), O_RDWR | flags, 0666);
    if (opened < 0 && (errno == EACCES || errno == EROFS))
        opened = ::open(path.c_str(), O_RDONLY | flags, 0666);
    if (opened < 0)
        return errno == ELOOP || errno == EISDIR || errno == ENXIO ? ENOLCK : errno;
    Descriptor fd(opened);
    struct stat st { };
    if (::fstat(fd.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return ENOLCK;
    handle = fd.release();
    return 0;
}

void closeLock(std::intptr_t handle) { ::close(int(handle)); }

int tryLock(std::intptr_t handle)
{
    if (::flock(int(handle), LOCK_EX | LOCK_NB) == 0)
        return 0;
    return errno == EWOULDBLOCK || errno == EINTR ? EWOULDBLOCK : errno;
}

void unlock(std::intptr_t handle) { (void)::flock(int(handle), LOCK_UN); }

namespace {

// The byte of the lock file on which waiting writers each hold a shared lock of the open file (not of the
// process), apart from the whole file's lock (flock), and one a reader may hold.
struct flock waitingByte(short type)
{
    struct flock range { };
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = 1;
    range.l_len = 1;
    return range;
}

}  // namespace

void sayWaiting(std::intptr_t handle, bool waiting)
{
    struct flock range = waitingByte(waiting ? F_RDLCK : F_UNLCK);
    (void)::fcntl(int(handle), F_OFD_SETLK, &range);
}

bool othersWaiting(std::intptr_t handle)
{
    struct flock range = waitingByte(F_WRLCK);
    return ::fcntl(int(handle), F_OFD_GETLK, &range) == 0 && range.l_type != F_UNLCK;
}

void remove(const std::string& path) { ::unlink(path.c_str()); }

void randomBytes(unsigned char* out, std::size_t n)
{
    if (::getrandom(out, n, GRND_NONBLOCK) == static_cast<ssize_t>(n))
        return;
    // No entropy yet: the clock and the process still make a name.
    const auto seed = static_cast<unsigned long>(std::time(nullptr)) ^ (unsigned long)::getpid() << 16
                      ^ (unsigned long)std::clock();
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<unsigned char>(seed >> (5 * i));
}

std::string executablePath()
{
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

std::string resolveLink(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string resolved = real;
            std::free(real);
            return resolved;
        }
    }
    return path;
}

}  // namespace profile::sys

namespace profile {

bool isPathSeparator(char c) { return c == '/'; }
char pathSeparator() { return '/'; }

FileInfo fileInfo(const std::string& path)
{
    struct stat st { };
    if (path.empty() || path.find('\0') != std::string::npos)
        return {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? FileInfo{} : FileInfo{FileInfo::Kind::Missing, false, errno};
    const auto kind = S_ISREG(st.st_mode)   ? FileInfo::Kind::File
                      : S_ISDIR(st.st_mode) ? FileInfo::Kind::Folder
                                            : FileInfo::Kind::Other;
    return {kind, !sys::hasWriteBits(st), 0, st.st_uid, st.st_gid, st.st_mode & 07777};
}

int listFolder(const std::string& folder, const std::function<void(std::string_view name, bool isFolder)>& visit)
{
    if (folder.find('\0') != std::string::npos)
        return EINVAL;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return errno;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        // The kind is only known by asking for links and file systems that do not tell.
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st { };
            isFolder = ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
        }
        visit(name, isFolder);
        errno = 0;
    }
    const int err = errno;
    ::closedir(dir);
    return err;
}

FileReader::~FileReader()
{
    if (handle_ != -1)
        ::close(int(handle_));
}

int FileReader::open(const std::string& path)
{
    if (path.find('\0') != std::string::npos)
        return EINVAL;
    sys::Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return errno;
    struct stat st { };
    if (::fstat(fd.get(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    size_ = std::uint64_t(st.st_size);
    handle_ = fd.release();
    return 0;
}

std::size_t FileReader::read(char* out, std::size_t room)
{
    ssize_t n;
    while ((n = ::read(int(handle_), out, room)) < 0 && errno == EINTR) { }
    error_ = n < 0 ? errno : 0;
    return n < 0 ? 0 : std::size_t(n);
}

int FileReader::rewind() { return error_ = ::lseek(int(handle_), 0, SEEK_SET) == 0 ? 0 : errno; }

std::string samePathKey(const std::string& path) { return path; }

bool isOutOfSpace(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace profile
