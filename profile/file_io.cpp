#include "file_io.h"

#include "profile_service.h"
#include "system_files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <thread>

namespace profile {
namespace {

constexpr std::int64_t kStaleAfterSeconds = 10 * 60;
constexpr std::size_t kRandomLetters = 6;
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// Earlier versions' key writer named its temporary files ".NAME.tmpPID.N",
// NAME being the profile file's name; any other name of that shape (a user's
// ".notes.tmp2024.1") is not ours.
bool isEarlierTemporaryName(std::string_view name)
{
    const auto cutDigits = [&name] {
        const std::size_t end = name.find_last_not_of("0123456789") + 1;
        const bool cut = end < name.size();
        name = name.substr(0, end);
        return cut;
    };
    if (!name.starts_with('.') || !cutDigits() || !name.ends_with('.'))
        return false;
    name.remove_suffix(1);
    if (!cutDigits() || !name.ends_with(".tmp") || name.size() < 9)
        return false;
    const std::string_view ini = name.substr(name.size() - 8, 4);
    return ini[0] == '.' && (ini[1] | 0x20) == 'i' && (ini[2] | 0x20) == 'n' && (ini[3] | 0x20) == 'i';
}

// Calls `make` with fresh letters until a name made of them is free: 0, or make's last error.
template <class Make> int underFreshName(Make make)
{
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt)
        err = make(freshLetters());
    return err;
}

bool isLetters(std::string_view text)
{
    return text.size() == kRandomLetters && text.find_first_not_of(kLetters) == std::string_view::npos;
}

// What a name of replaceFile's scheme is, and for a temporary file the name of its writer's mark.
enum class OurName { None, Mark, Temporary };
OurName ourName(std::string_view name, std::string_view& mark)
{
    if (!name.starts_with(kTemporaryPrefix))
        return OurName::None;
    const std::string_view rest = name.substr(kTemporaryPrefix.size());
    if (isLetters(rest))
        return OurName::Mark;  // or an earlier version's temporary file, which no live writer holds either
    if (rest.size() != 2 * kRandomLetters + 1 || rest[kRandomLetters] != '-'
        || !isLetters(rest.substr(0, kRandomLetters)) || !isLetters(rest.substr(kRandomLetters + 1)))
        return OurName::None;
    mark = name.substr(0, kTemporaryPrefix.size() + kRandomLetters);
    return OurName::Temporary;
}

std::atomic<std::chrono::milliseconds::rep> lockPatienceMs{10000};

std::atomic<std::size_t> folderScans{0};

}  // namespace

std::string folderOf(const std::string& path)
{
    std::size_t end = path.size();
    while (end > 0 && !isPathSeparator(path[end - 1]))
        --end;
    if (end == 0)
        return ".";
    // Keep the separator of a root ("/", "C:\"); drop it otherwise.
    const std::string folder = path.substr(0, end);
    if (end == 1 || (end == 3 && path[1] == ':'))
        return folder;
    return folder.substr(0, end - 1);
}

std::filesystem::path fsPath(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string utf8Path(const std::filesystem::path& path)
{
    const std::u8string u8 = path.u8string();
    return std::string(u8.begin(), u8.end());
}

int readFileOnce(const std::string& path, std::string& bytes, std::size_t maxBytes)
{
    bytes.clear();
    FileReader file;
    if (const int err = file.open(path))
        return err;
    if (file.size() > maxBytes)
        return EFBIG;
    try {
        // What the size promised, and one byte more to see whether the file grew.
        bytes.resize(std::size_t(file.size()) + 1);
        std::size_t got = 0;
        // A short read that brings all the size promised is the end of a
        // regular file: no further read is needed to see it.
        while (const std::size_t n = file.read(bytes.data() + got, bytes.size() - got)) {
            if ((got += n) > maxBytes)
                break;
            if (got < bytes.size() && got >= file.size())
                break;
            if (got == bytes.size())
                bytes.resize(std::min(maxBytes + 1, bytes.size() * 2));
        }
        bytes.resize(file.error() || got > maxBytes ? 0 : got);
        return file.error() ? file.error() : got > maxBytes ? EFBIG : 0;
    } catch (const std::bad_alloc&) {
        bytes = std::string();
        return ENOMEM;
    }
}

std::chrono::milliseconds folderLockPatience() { return std::chrono::milliseconds(lockPatienceMs.load()); }
void setFolderLockPatience(std::chrono::milliseconds patience) { lockPatienceMs = patience.count(); }

namespace {

constexpr std::chrono::milliseconds kLockPoll{1};

// The lock without waiting, or else after waiting (and saying so) at most the patience.
int takeLock(std::intptr_t handle)
{
    int err = sys::tryLock(handle);
    if (err != EWOULDBLOCK)
        return err;
    sys::sayWaiting(handle, true);
    const auto deadline = std::chrono::steady_clock::now() + folderLockPatience();
    do {
        std::this_thread::sleep_for(kLockPoll);
        err = sys::tryLock(handle);
    } while (err == EWOULDBLOCK && std::chrono::steady_clock::now() < deadline);
    sys::sayWaiting(handle, false);
    return err == EWOULDBLOCK ? ETIMEDOUT : err;
}

}  // namespace

FolderLock::FolderLock(const std::string& folder, IfMissing ifMissing)
{
    error_ = sys::openLock(joinPath(folder, ".velmar.lock"), ifMissing == IfMissing::Make, handle_);
    if (error_ == ENOENT && ifMissing == IfMissing::Skip)
        error_ = 0;
    else if (error_ == 0)
        held_ = (error_ = takeLock(handle_)) == 0;
}

FolderLock::~FolderLock()
{
    if (handle_ != -1)
        sys::closeLock(handle_);  // and so unlocks
}

void FolderLock::unlock()
{
    if (held_)
        sys::unlock(handle_);
    held_ = false;
}

int FolderLock::relock()
{
    if (held_ || handle_ == -1)
        return error_;
    // Whoever waits has it first: it says so no more once it holds the lock.
    const auto deadline = std::chrono::steady_clock::now() + folderLockPatience();
    while (sys::othersWaiting(handle_) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kLockPoll);
    held_ = (error_ = takeLock(handle_)) == 0;
    return error_;
}

WriterRun::WriterRun(std::string folder)
    : folder_(std::move(folder))
{
}

WriterRun::~WriterRun() { end(); }

void WriterRun::end()
{
    if (!name_.empty())
        sys::dropMark(joinPath(folder_, name_), mark_);
    name_.clear();
}

ReplaceResult WriterRun::createTemporary(
    const std::string& target, sys::NewFile& file, std::string& temporary, bool& replacing)
{
    const FileInfo old = fileInfo(target);
    if (old.error)
        return {old.error, ReplaceStep::Folder};
    replacing = old.kind == FileInfo::Kind::File;
    // The mark first, so that no temporary file of this writer is ever without one.
    if (name_.empty()) {
        const int marked = underFreshName([&](const std::string& letters) {
            const std::string name = std::string(kTemporaryPrefix) + letters;
            const int err = sys::holdMark(joinPath(folder_, name), mark_);
            if (err == 0)
                name_ = name;
            return err;
        });
        if (marked)
            return {marked, ReplaceStep::Folder};
    }
    const int created = underFreshName([&](const std::string& letters) {
        temporary = joinPath(folder_, name_ + "-" + letters);
        return file.create(temporary, target, replacing ? &old : nullptr);
    });
    return {created, created ? ReplaceStep::Folder : ReplaceStep::None};
}

std::string siblingTemporary(const std::string& temporary)
{
    return temporary.substr(0, temporary.size() - kRandomLetters) + freshLetters();
}

// Drawn afresh for every name, so that a child made by fork never draws its parent's.
std::string freshLetters()
{
    unsigned char raw[kRandomLetters];
    sys::randomBytes(raw, sizeof raw);
    std::string letters;
    for (unsigned char r : raw)
        letters += kLetters[r % (sizeof kLetters - 1)];
    return letters;
}

ReplaceResult replaceFile(const std::string& path, std::string_view content, bool durable)
{
    std::string temp;
    WriterRun run(folderOf(path));
    sys::NewFile file;
    bool replacing = false;
    if (const ReplaceResult created = run.createTemporary(path, file, temp, replacing); !created.ok())
        return created;

    const auto fail = [&](int error, ReplaceStep step) {
        (void)file.close();
        sys::remove(temp);
        return ReplaceResult{error, step};
    };
    if (const int err = file.write(content))
        return fail(err, ReplaceStep::Write);
    if (durable)
        if (const int err = file.flush())
            return fail(err, ReplaceStep::Write);
    if (const int err = file.close())
        return fail(err, ReplaceStep::Write);
    if (const int err = sys::putInPlace(temp, path, replacing, durable))
        return fail(err, ReplaceStep::Rename);
    removeStaleTemporariesOnce(folderOf(path));
    return {};
}

void removeStaleTemporariesOnce(const std::string& folder)
{
    // Leftovers come from runs killed before this process began; scanning a
    // large folder at every write would cost more than the write.
    static std::mutex mutex;
    static std::set<std::string> cleaned;
    const std::lock_guard lock(mutex);
    if (!cleaned.insert(folder).second)
        return;
    // Ours by name, regular files, untouched for longer than any write takes
    // to start, and no live writer's; every other entry costs only its name.
    ++folderScans;
    std::map<std::string, bool, std::less<>> liveWriters;  // by mark
    const auto isLive = [&](std::string_view mark) {
        auto found = liveWriters.find(mark);
        if (found == liveWriters.end())
            found = liveWriters.emplace(mark, sys::markHeld(joinPath(folder, mark))).first;
        return found->second;
    };
    sys::listNames(folder, [&](std::string_view name) {
        std::string_view mark;
        const OurName kind = ourName(name, mark);
        if (kind == OurName::None && !isEarlierTemporaryName(name))
            return;
        const std::string path = joinPath(folder, name);
        const auto age = sys::regularFileAge(path);
        if (!age || *age <= kStaleAfterSeconds)
            return;
        if ((kind == OurName::Mark && isLive(name)) || (kind == OurName::Temporary && isLive(mark)))
            return;
        sys::remove(path);
    });
}

std::size_t staleTemporaryScans() { return folderScans; }

}  // namespace profile
