// ReplaceBatch's system calls on Linux and other POSIX systems.

#include "replace_batch_system.h"
#include "posix_write.h"

#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>
#include <csignal>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
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
    bool reused = false;      // it is an old file, of this size:
    off_t oldSize = 0;        // cut to what was written when closed
    off_t written = 0;        // bytes written into it
    std::string readBack;     // a file read again before it is replaced
    struct stat newFile { };  // what a new file here gets; st_mode 0 until known
    // Old files swapped out of place by renameIfHolds(), under temporary
    // names: first until the folder is flushed, then ready to take new
    // content (a new file costs far more than an old one rewritten: creating
    // it, and freeing the old one's blocks).
    std::vector<std::string> swappedOut, reusable;
    std::string someoneElses;  // a temporary name that holds another writer's file (see renameIfHolds)
    bool canSwap = true;       // the file system knows RENAME_EXCHANGE
    bool canReuse = true;      // cleared when the folder cannot be flushed
    BackgroundCloser closer;

    void removeInBackground(const std::string& temporary);
    void removeKept();
};

namespace {

// The open regular file, whose status `st` gets, holds exactly `expected`.
bool holds(int fd, std::string_view expected, std::string& buffer, struct stat& st)
{
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

// The regular file `name` of the folder, if any: 0, with `replacing` told
// and `old` set when it is one, or the system's error.
int existingFile(int dir, const std::string& name, struct stat& old, bool& replacing)
{
    replacing = false;
    if (::fstatat(dir, name.c_str(), &old, 0) == 0)
        replacing = S_ISREG(old.st_mode);
    else if (errno != ENOENT)
        return errno;
    return 0;
}

// Gives the open file, whose owner and mode are `has` (st_mode 0: unknown),
// the owner and group of `wanted` as far as this user may give them, then its
// mode (fchown clears set-user-ID bits): 0 or the system's error.
int giveOwnerAndMode(int fd, const struct stat& has, const struct stat& wanted)
{
    const bool sameOwner = has.st_mode != 0 && wanted.st_uid == has.st_uid && wanted.st_gid == has.st_gid;
    if (!sameOwner && ::fchown(fd, wanted.st_uid, wanted.st_gid) != 0)
        (void)::fchown(fd, uid_t(-1), wanted.st_gid);
    const bool sameMode = sameOwner && (wanted.st_mode & 07777) == (has.st_mode & 07777);
    if (!sameMode && ::fchmod(fd, wanted.st_mode & 07777) != 0)
        return errno;
    return 0;
}

// An old file may take new content only when this is its one name, it has no
// extended attributes (an access list would pass to another card) and no
// other open file holds it: someone who opened the card before it was
// replaced must go on reading the old content. A write lease is granted only
// to the one open file of a file; where leases cannot be had (another owner,
// another system), the file is not reused.
bool mayReuse(int fd, const struct stat& st)
{
    if (!S_ISREG(st.st_mode) || st.st_nlink != 1)
        return false;
    const ssize_t attributes = ::flistxattr(fd, nullptr, 0);
    if (attributes != 0 && !(attributes < 0 && errno == ENOTSUP))
        return false;
#ifdef __linux__
    // Should anyone open it while the lease is held, the signal that tells it
    // is one ignored by default, not SIGIO, which would end the process.
    (void)::fcntl(fd, F_SETSIG, SIGURG);
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) != 0)
        return false;
    (void)::fcntl(fd, F_SETLEASE, F_UNLCK);
    return true;
#else
    return false;
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
    state_->removeKept();
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
    if (const int err = existingFile(dir, name, old, replacing))
        return {err, ReplaceStep::Folder};

    const int fd = ::openat(dir, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return {errno, ReplaceStep::Folder};
    state_->file = fd;
    state_->fileName = temporary;
    state_->reused = false;
    state_->written = 0;
    // What a new file of this folder gets (owner, group, mode): learned from
    // the first one, so that a card that has just that needs no calls here.
    struct stat& fresh = state_->newFile;
    if (fresh.st_mode == 0 && ::fstat(fd, &fresh) != 0)
        fresh = {};
    if (replacing)
        if (const int err = giveOwnerAndMode(fd, fresh, old)) {
            abandon();
            return {err, ReplaceStep::Write};
        }
    return {};
}

std::optional<std::string> BatchFolder::reuse(const std::string& name)
{
    State& s = *state_;
    if (s.reusable.empty() && !s.swappedOut.empty() && s.canReuse) {
        // Only once the renames that took them out of place are on disk: a
        // crash before could bring an old name back to a rewritten file.
        if (::fsync(s.fd) != 0) {
            s.canReuse = false;
            return std::nullopt;
        }
        s.reusable.swap(s.swappedOut);
    }
    while (!s.reusable.empty() && s.canReuse) {
        const std::string candidate = std::move(s.reusable.back());
        s.reusable.pop_back();
        const int fd = ::openat(s.fd, candidate.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat has {
        }, wanted{};
        bool replacing = false;
        if (fd >= 0 && ::fstat(fd, &has) == 0 && mayReuse(fd, has) && existingFile(s.fd, name, wanted, replacing) == 0
            && (replacing || s.newFile.st_mode != 0)
            && giveOwnerAndMode(fd, has, replacing ? wanted : s.newFile) == 0) {
            s.file = fd;
            s.fileName = candidate;
            s.reused = true;
            s.oldSize = has.st_size;
            s.written = 0;
            return candidate;
        }
        if (fd >= 0)
            ::close(fd);
        s.removeInBackground(candidate);
    }
    return std::nullopt;
}

ReplaceResult BatchFolder::append(std::string_view content)
{
    if (const int err = writeAll(state_->file, content)) {
        abandon();
        return {err, ReplaceStep::Write};
    }
    state_->written += off_t(content.size());
    return {};
}

ReplaceResult BatchFolder::close()
{
    const int fd = state_->file;
    state_->file = -1;
    const bool cut = state_->reused && state_->written < state_->oldSize;
    int err = cut && ::ftruncate(fd, state_->written) != 0 ? errno : 0;
    if (!err)
        err = flushOnClose(fd);
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
    struct stat read { };
    if (!holds(fd, *expected, state_->readBack, read)) {
        ::close(fd);
        changed = true;
        return 0;
    }
    if (state_->canSwap) {
        // Swapped rather than renamed over: the old file lives on under the
        // temporary name, to be rewritten with another card (reuse()).
        if (::renameat2(dir, temporary.c_str(), dir, name.c_str(), RENAME_EXCHANGE) == 0) {
            struct stat out { };
            if (::fstatat(dir, temporary.c_str(), &out, AT_SYMLINK_NOFOLLOW) != 0 || out.st_ino != read.st_ino
                || out.st_dev != read.st_dev) {
                // Replaced by someone since it was read: swapped back, untouched.
                const int err
                    = ::renameat2(dir, temporary.c_str(), dir, name.c_str(), RENAME_EXCHANGE) == 0 ? 0 : errno;
                ::close(fd);
                if (err)
                    state_->someoneElses = temporary;  // never removed: it is the only copy of their card
                changed = err == 0;
                return err;
            }
            ::close(fd);
            state_->swappedOut.push_back(temporary);
            return 0;
        }
        if (errno != EINVAL && errno != ENOSYS) {
            const int err = errno;
            ::close(fd);
            return err;
        }
        state_->canSwap = false;
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

void BatchFolder::remove(const std::string& temporary)
{
    if (temporary != state_->someoneElses)
        ::unlinkat(state_->fd, temporary.c_str(), 0);
}

// Held open over the unlink, the file's blocks are freed by the close, on a
// closing thread (see BackgroundCloser).
void BatchFolder::State::removeInBackground(const std::string& temporary)
{
    const int held = ::openat(fd, temporary.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    ::unlinkat(fd, temporary.c_str(), 0);
    if (held >= 0)
        closer.close(held);
}

void BatchFolder::State::removeKept()
{
    for (auto* kept : {&swappedOut, &reusable}) {
        for (const std::string& name : *kept)
            removeInBackground(name);
        kept->clear();
    }
}

int BatchFolder::sync()
{
    state_->removeKept();
    state_->closer.wait();
    return ::fsync(state_->fd) == 0 ? 0 : errno;
}

}  // namespace profile
