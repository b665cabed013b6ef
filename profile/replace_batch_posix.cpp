// ReplaceBatch's system calls on Linux and other POSIX systems.

#include "replace_batch_system.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace profile {

struct BatchFolder::State {
    int fd = -1;
};

namespace {

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

// Starts the write-out of a file written, so that the disk works while the
// next files are written; the batch waits for all of it in one call later.
// Where the system has no such call, the file is flushed now.
int startWriteOut(int fd)
{
#ifdef __linux__
    return ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE) == 0 ? 0 : errno;
#else
    return ::fsync(fd) == 0 ? 0 : errno;
#endif
}

}  // namespace

BatchFolder::BatchFolder(std::unique_ptr<State> state)
    : state_(std::move(state))
{
}

BatchFolder::~BatchFolder()
{
    if (state_->fd >= 0)
        ::close(state_->fd);
}

int BatchFolder::open(const std::string& folder, std::unique_ptr<BatchFolder>& opened)
{
    auto state = std::make_unique<State>();
    state->fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (state->fd < 0)
        return errno;
    opened.reset(new BatchFolder(std::move(state)));
    return 0;
}

ReplaceResult BatchFolder::write(const std::string& temporary, const std::string& name, std::string_view content)
{
    const int dir = state_->fd;
    struct stat old { };
    bool replacing = false;
    if (::fstatat(dir, name.c_str(), &old, 0) == 0)
        replacing = S_ISREG(old.st_mode);
    else if (errno != ENOENT)
        return {errno, ReplaceStep::Folder};

    const int fd = ::openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return {errno, ReplaceStep::Folder};
    const auto fail = [&](int error) {
        if (fd >= 0)
            ::close(fd);
        ::unlinkat(dir, temporary.c_str(), 0);
        return ReplaceResult{error, ReplaceStep::Write};
    };
    if (replacing) {
        // As replaceFile does: owner and group as far as this user may give
        // them, then the mode (fchown clears set-user-ID bits).
        if (::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, uid_t(-1), old.st_gid);
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            return fail(errno);
    }
    if (const int err = writeAll(fd, content))
        return fail(err);
    if (const int err = startWriteOut(fd))
        return fail(err);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlinkat(dir, temporary.c_str(), 0);
        return {err, ReplaceStep::Write};
    }
    return {};
}

int BatchFolder::syncWritten()
{
#ifdef __linux__
    // One flush of the file system the folder is on: it waits for every
    // file's data and metadata and flushes the disk's cache, and reports a
    // write-out error of any of them.
    return ::syncfs(state_->fd) == 0 ? 0 : errno;
#else
    return 0;  // each file was flushed when written
#endif
}

int BatchFolder::rename(const std::string& temporary, const std::string& name, bool mustBeNew)
{
    const int dir = state_->fd;
#ifdef __linux__
    if (mustBeNew) {
        if (::renameat2(dir, temporary.c_str(), dir, name.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
        // A file system without that flag: the caller saw no file just now.
    }
#else
    (void)mustBeNew;
#endif
    return ::renameat(dir, temporary.c_str(), dir, name.c_str()) == 0 ? 0 : errno;
}

void BatchFolder::remove(const std::string& temporary) { ::unlinkat(state_->fd, temporary.c_str(), 0); }

int BatchFolder::sync() { return ::fsync(state_->fd) == 0 ? 0 : errno; }

}  // namespace profile
