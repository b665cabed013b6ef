#include "file_io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <set>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace profile {
namespace {

constexpr std::time_t kStaleAfterSeconds = 10 * 60;
constexpr std::size_t kRandomLetters = 6;
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

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
    // Closes now, reporting what close() says (a delayed write error).
    int close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

int writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
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

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string randomLetters()
{
    unsigned char raw[kRandomLetters];
    if (::getrandom(raw, sizeof raw, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof raw)) {
        // No entropy yet: the clock and the process still make a name that
        // O_EXCL checks anyway.
        const auto seed = static_cast<unsigned long>(std::time(nullptr)) ^ (unsigned long)::getpid() << 16
                          ^ (unsigned long)std::clock();
        for (std::size_t i = 0; i < sizeof raw; ++i)
            raw[i] = static_cast<unsigned char>(seed >> (5 * i));
    }
    std::string letters;
    for (unsigned char r : raw)
        letters += kLetters[r % (sizeof kLetters - 1)];
    return letters;
}

// Earlier versions' key writer named its temporary files ".NAME.tmpPID.N",
// NAME being the profile file's name; any other name of that shape (a user's
// ".notes.tmp2024.1") is not ours.
bool isEarlierTemporaryName(std::string_view name)
{
    const auto digitsAtEnd = [&name] {
        std::size_t n = 0;
        while (n < name.size() && name[name.size() - 1 - n] >= '0' && name[name.size() - 1 - n] <= '9')
            ++n;
        name.remove_suffix(n);
        return n > 0;
    };
    if (!name.starts_with('.') || !digitsAtEnd() || !name.ends_with('.'))
        return false;
    name.remove_suffix(1);
    if (!digitsAtEnd() || !name.ends_with(".tmp"))
        return false;
    name.remove_suffix(4);
    name.remove_prefix(1);
    constexpr std::string_view ini = ".ini";
    return name.size() >= ini.size() && std::equal(ini.begin(), ini.end(), name.end() - ini.size(), [](char a, char b) {
        return a == (b >= 'A' && b <= 'Z' ? char(b - 'A' + 'a') : b);
    });
}

bool isTemporaryName(std::string_view name)
{
    if (isEarlierTemporaryName(name))
        return true;
    if (!name.starts_with(kTemporaryPrefix) || name.size() != kTemporaryPrefix.size() + kRandomLetters)
        return false;
    name.remove_prefix(kTemporaryPrefix.size());
    return name.find_first_not_of(kLetters) == std::string_view::npos;
}

std::atomic<std::size_t> folderScans{0};

// Removes temporary files of killed runs: ours by name, regular files, and
// untouched for longer than any write takes.
void removeStaleTemporaries(const std::string& folder)
{
    ++folderScans;
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return;
    }
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        if (!isTemporaryName(entry->d_name))
            continue;
        struct stat st { };
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
            && now - st.st_mtime > kStaleAfterSeconds)
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

// Flushes a folder, and so the names in it, to disk.
void syncFolder(const std::string& folder)
{
    Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

}  // namespace

int readFileOnce(const std::string& path, std::string& bytes, std::size_t maxBytes)
{
    bytes.clear();
    if (path.find('\0') != std::string::npos)
        return EINVAL;
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return errno;
    struct stat st { };
    if (::fstat(fd.get(), &st) != 0)
        return errno;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        return EFBIG;
    try {
        // Read what fstat promised, and one byte more to see whether the file grew.
        std::size_t size = static_cast<std::size_t>(st.st_size);
        bytes.resize(size + 1);
        std::size_t got = 0;
        for (;;) {
            if (got == bytes.size()) {
                if (bytes.size() > maxBytes) {
                    bytes.clear();
                    return EFBIG;
                }
                bytes.resize(std::min(maxBytes + 1, bytes.size() * 2));
            }
            const std::size_t wanted = bytes.size() - got;
            const ssize_t n = ::read(fd.get(), bytes.data() + got, wanted);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                const int err = errno;
                bytes.clear();
                return err;
            }
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
            // A short read that brings all fstat promised is the end of a
            // regular file: no further read is needed to see it.
            if (static_cast<std::size_t>(n) < wanted && got >= size)
                break;
        }
        bytes.resize(got);
    } catch (const std::bad_alloc&) {
        bytes = std::string();
        return ENOMEM;
    }
    return 0;
}

ReplaceResult replaceFile(const std::string& path, std::string_view content, bool durable)
{
    const std::string folder = folderOf(path);
    struct stat old { };
    bool replacing = false;
    if (::stat(path.c_str(), &old) == 0) {
        replacing = S_ISREG(old.st_mode);
    } else if (errno != ENOENT) {
        return {errno, ReplaceStep::Folder};
    }

    std::string temp;
    int created = -1;
    for (int attempt = 0; attempt < 100 && created < 0; ++attempt) {
        temp = folder + (folder.ends_with('/') ? "" : "/") + std::string(kTemporaryPrefix) + randomLetters();
        created = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (created < 0 && errno != EEXIST)
            return {errno, ReplaceStep::Folder};
    }
    if (created < 0)
        return {EEXIST, ReplaceStep::Folder};
    Descriptor fd(created);

    const auto fail = [&](int error, ReplaceStep step) {
        ::unlink(temp.c_str());
        return ReplaceResult{error, step};
    };
    if (replacing) {
        // Give the file back to its owner and group; an ordinary user may
        // still keep the group when the owner cannot be given away.
        if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd.get(), uid_t(-1), old.st_gid);
        // After fchown, which clears set-user-ID bits.
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0)
            return fail(errno, ReplaceStep::Write);
    }
    if (const int err = writeAll(fd.get(), content))
        return fail(err, ReplaceStep::Write);
    if (durable && ::fsync(fd.get()) != 0)
        return fail(errno, ReplaceStep::Write);
    if (const int err = fd.close())
        return fail(err, ReplaceStep::Write);
    if (::rename(temp.c_str(), path.c_str()) != 0)
        return fail(errno, ReplaceStep::Rename);
    // The new content is in place now; flushing the folder makes the rename
    // itself durable, and a failure of that flush does not undo it.
    if (durable)
        syncFolder(folder);
    removeStaleTemporariesOnce(folder);
    return {};
}

void removeStaleTemporariesOnce(const std::string& folder)
{
    // Leftovers come from runs killed before this process began; scanning a
    // large folder at every write would cost more than the write.
    static std::mutex mutex;
    static std::set<std::string> cleaned;
    const std::lock_guard lock(mutex);
    if (cleaned.insert(folder).second)
        removeStaleTemporaries(folder);
}

std::size_t staleTemporaryScans() { return folderScans; }

void ignoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace profile
