// ReplaceBatch's system calls on Linux and other POSIX systems.

#include "replace_batch_system.h"

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace profile {

namespace {

// Old files replaced by a rename are closed here, a few at a time, away
// from the thread that renames: the last close of a replaced file frees its
// blocks, and on a file system mounted with "discard" that waits for the disk
// (most of an import's time when each rename waited for it).
class BackgroundCloser {
public:
    ~BackgroundCloser()
    {
        wait();
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : threads_)
            t.join();
    }

    // Takes `fd` over; waits while many are still to be closed.
    void close(int fd)
    {
        std::unique_lock lock(mutex_);
        if (threads_.empty() && !start()) {
            lock.unlock();
            ::close(fd);
            return;
        }
        changed_.wait(lock, [this] { return pending_.size() < kMaxPending; });
        pending_.push_back(fd);
        changed_.notify_all();
    }

    // Returns once every file taken over is closed.
    void wait()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return pending_.empty() && busy_ == 0; });
    }

private:
    static constexpr std::size_t kThreads = 8;
    static constexpr std::size_t kMaxPending = 256;

    bool start()
    {
        try {
            for (std::size_t i = 0; i < kThreads; ++i)
                threads_.emplace_back([this] { run(); });
        } catch (const std::system_error&) {
            // No threads to be had: the files are closed at once then.
        }
        return !threads_.empty();
    }

    void run()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
            if (pending_.empty())
                return;
            const int fd = pending_.front();
            pending_.pop_front();
            ++busy_;
            changed_.notify_all();
            lock.unlock();
            ::close(fd);
            lock.lock();
            --busy_;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<int> pending_;
    std::size_t busy_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace

struct BatchFolder::State {
    int fd = -1;              // the folder
    int file = -1;            // the file being written
    std::string fileName;     // its name
    std::string readBack;     // a file read again before it is replaced
    struct stat newFile { };  // what a new file here gets; st_mode 0 until known
    BackgroundCloser closer;
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

// The open regular file holds exactly `expected`.
bool holds(int fd, std::string_view expected, std::string& buffer)
{
    struct stat st { };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || std::uintmax_t(st.st_size) != expected.size())
        return false;
    buffer.resize(expected.size() + 1);  // one byte more shows a file grown since
    std::size_t got = 0;
    while (got < buffer.size()) {
        const ssize_t n = ::read(fd, buffer.data() + got, buffer.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += std::size_t(n);
    }
    return got == expected.size() && std::string_view(buffer.data(), got) == expected;
}

// Where one flush of the whole file system is to be had (syncfs on Linux),
// the batch waits for every file in that one call; elsewhere each file is
// flushed as it is closed. Starting each file's write-out as it is closed
// (sync_file_range) was tried: on ext4 it cost a call per file and made the
// batch slower, as the single flush writes the small files out together.
int flushOnClose(int fd)
{
#ifdef __linux__
    (void)fd;
    return 0;
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
    abandon();
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

ReplaceResult BatchFolder::create(const std::string& temporary, const std::string& name)
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
    state_->file = fd;
    state_->fileName = temporary;
    // What a new file of this folder gets (owner, group, mode): learned from
    // the first one, so that a card that has just that needs no calls here.
    struct stat& fresh = state_->newFile;
    if (fresh.st_mode == 0 && ::fstat(fd, &fresh) != 0)
        fresh = {};
    if (replacing) {
        // As replaceFile does: owner and group as far as this user may give
        // them, then the mode (fchown clears set-user-ID bits).
        const bool sameOwner = fresh.st_mode != 0 && old.st_uid == fresh.st_uid && old.st_gid == fresh.st_gid;
        if (!sameOwner && ::fchown(fd, old.st_uid, old.st_gid) != 0)
            (void)::fchown(fd, uid_t(-1), old.st_gid);
        const bool sameMode = sameOwner && (old.st_mode & 07777) == (fresh.st_mode & 07777);
        if (!sameMode && ::fchmod(fd, old.st_mode & 07777) != 0) {
            const int err = errno;
            abandon();
            return {err, ReplaceStep::Write};
        }
    }
    return {};
}

ReplaceResult BatchFolder::append(std::string_view content)
{
    if (const int err = writeAll(state_->file, content)) {
        abandon();
        return {err, ReplaceStep::Write};
    }
    return {};
}

ReplaceResult BatchFolder::close()
{
    const int fd = state_->file;
    state_->file = -1;
    int err = flushOnClose(fd);
    if (::close(fd) != 0 && !err)
        err = errno;  // a delayed write error
    if (err) {
        ::unlinkat(state_->fd, state_->fileName.c_str(), 0);
        return {err, ReplaceStep::Write};
    }
    return {};
}

void BatchFolder::abandon()
{
    if (state_->file < 0)
        return;
    ::close(state_->file);
    state_->file = -1;
    ::unlinkat(state_->fd, state_->fileName.c_str(), 0);
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

int BatchFolder::rename(const std::string& temporary, const std::string& name)
{
    return ::renameat(state_->fd, temporary.c_str(), state_->fd, name.c_str()) == 0 ? 0 : errno;
}

int BatchFolder::renameIfHolds(
    const std::string& temporary, const std::string& name, std::optional<std::string_view> expected, bool& changed)
{
    const int dir = state_->fd;
    changed = false;
    if (!expected) {
#ifdef __linux__
        if (::renameat2(dir, temporary.c_str(), dir, name.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        if (errno == EEXIST) {
            changed = true;
            return 0;
        }
        if (errno != EINVAL && errno != ENOSYS)
            return errno;
#endif
        // No such flag here: the name is looked at just before.
        struct stat st { };
        if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            changed = true;
            return 0;
        }
        return rename(temporary, name);
    }

    const int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT)
            return errno;
        changed = true;
        return 0;
    }
    if (!holds(fd, *expected, state_->readBack)) {
        ::close(fd);
        changed = true;
        return 0;
    }
    if (::renameat(dir, temporary.c_str(), dir, name.c_str()) != 0) {
        const int err = errno;
        ::close(fd);
        return err;
    }
    // Still open, the old file is not freed by the rename but by this close.
    state_->closer.close(fd);
    return 0;
}

void BatchFolder::remove(const std::string& temporary) { ::unlinkat(state_->fd, temporary.c_str(), 0); }

int BatchFolder::sync()
{
    state_->closer.wait();
    return ::fsync(state_->fd) == 0 ? 0 : errno;
}

}  // namespace profile
