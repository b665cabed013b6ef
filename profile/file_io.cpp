#include "file_io.h"

#include "system_files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <new>
#include <set>

namespace profile {
namespace {

constexpr std::int64_t kStaleAfterSeconds = 10 * 60;
constexpr std::size_t kRandomLetters = 6;
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

// From the system's random source at every name, so a child process made
// by fork never draws its parent's names; creating the file checks that the
// name is free anyway.
std::string randomLetters()
{
    unsigned char raw[kRandomLetters];
    sys::randomBytes(raw, sizeof raw);
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

std::string inFolder(const std::string& folder, std::string_view name)
{
    std::string path = folder;
    if (!path.empty() && !sys::isSeparator(path.back()))
        path += sys::separator();
    return path += name;
}

std::atomic<std::size_t> folderScans{0};

// Removes temporary files of killed runs: ours by name, regular files, and
// untouched for longer than any write takes. Every other entry costs only
// its name.
void removeStaleTemporaries(const std::string& folder)
{
    ++folderScans;
    sys::listNames(folder, [&](std::string_view name) {
        if (!isTemporaryName(name))
            return;
        const std::string path = inFolder(folder, name);
        if (const auto age = sys::regularFileAge(path); age && *age > kStaleAfterSeconds)
            sys::remove(path);
    });
}

}  // namespace

bool isPathSeparator(char c) { return sys::isSeparator(c); }
char pathSeparator() { return sys::separator(); }

std::string folderOf(const std::string& path)
{
    std::size_t end = path.size();
    while (end > 0 && !sys::isSeparator(path[end - 1]))
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

int listFolder(const std::string& folder, const std::function<void(std::string_view name, bool isFolder)>& visit)
{
    if (folder.find('\0') != std::string::npos)
        return EINVAL;
    return sys::listFolder(folder, visit);
}

FileInfo fileInfo(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return {FileInfo::Kind::Missing, false, 0};
    return sys::info(path);
}

FileReader::~FileReader()
{
    if (handle_ != -1)
        sys::closeFile(handle_);
}

int FileReader::open(const std::string& path)
{
    if (path.find('\0') != std::string::npos)
        return EINVAL;
    return sys::openForReading(path, handle_, size_);
}

std::size_t FileReader::read(char* out, std::size_t room)
{
    const std::ptrdiff_t n = sys::readSome(handle_, out, room, error_);
    return n > 0 ? std::size_t(n) : 0;
}

int FileReader::rewind()
{
    error_ = sys::rewindFile(handle_);
    return error_;
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
        for (;;) {
            if (got == bytes.size()) {
                if (bytes.size() > maxBytes) {
                    bytes.clear();
                    return EFBIG;
                }
                bytes.resize(std::min(maxBytes + 1, bytes.size() * 2));
            }
            const std::size_t wanted = bytes.size() - got;
            const std::size_t n = file.read(bytes.data() + got, wanted);
            if (file.error()) {
                bytes.clear();
                return file.error();
            }
            got += n;
            // A short read that brings all the size promised is the end of a
            // regular file: no further read is needed to see it.
            if (n == 0 || (n < wanted && got >= file.size()))
                break;
        }
        bytes.resize(got);
    } catch (const std::bad_alloc&) {
        bytes = std::string();
        return ENOMEM;
    }
    return 0;
}

ReplaceResult createTemporary(
    const std::string& target, const FileInfo& old, sys::NewFile& file, std::string& temporary)
{
    const bool replacing = old.kind == FileInfo::Kind::File;
    const std::string folder = folderOf(target);
    int created = EEXIST;
    for (int attempt = 0; attempt < 100 && created == EEXIST; ++attempt) {
        temporary = inFolder(folder, std::string(kTemporaryPrefix) + randomLetters());
        created = file.create(temporary, replacing);
    }
    if (created)
        return {created, ReplaceStep::Folder};
    if (replacing)
        if (const int err = file.copyOwnership(old)) {
            (void)file.close();
            sys::remove(temporary);
            return {err, ReplaceStep::Write};
        }
    return {};
}

ReplaceResult replaceFile(const std::string& path, std::string_view content, bool durable)
{
    const FileInfo old = fileInfo(path);
    if (old.error)
        return {old.error, ReplaceStep::Folder};
    std::string temp;
    sys::NewFile file;
    const bool replacing = old.kind == FileInfo::Kind::File;
    if (const ReplaceResult created = createTemporary(path, old, file, temp); !created.ok())
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

FolderLock::FolderLock(const std::string& folder) { error_ = sys::lockFile(inFolder(folder, ".velmar.lock"), handle_); }

FolderLock::~FolderLock()
{
    if (error_ == 0)
        sys::unlockFile(handle_);
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

void ignoreFileSizeSignal() { sys::ignoreFileSizeSignal(); }

}  // namespace profile
