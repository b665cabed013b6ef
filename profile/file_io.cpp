#include "file_io.h"

#include "profile_service.h"
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

// Drawn afresh for every name, so that a child made by fork never draws its parent's.
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

ReplaceResult createTemporary(const std::string& target, sys::NewFile& file, std::string& temporary, bool& replacing)
{
    const FileInfo old = fileInfo(target);
    if (old.error)
        return {old.error, ReplaceStep::Folder};
    replacing = old.kind == FileInfo::Kind::File;
    const std::string folder = folderOf(target);
    int created = EEXIST;
    for (int attempt = 0; attempt < 100 && created == EEXIST; ++attempt) {
        temporary = joinPath(folder, std::string(kTemporaryPrefix) + randomLetters());
        created = file.create(temporary, replacing ? &old : nullptr);
    }
    return {created, created ? ReplaceStep::Folder : ReplaceStep::None};
}

ReplaceResult replaceFile(const std::string& path, std::string_view content, bool durable)
{
    std::string temp;
    sys::NewFile file;
    bool replacing = false;
    if (const ReplaceResult created = createTemporary(path, file, temp, replacing); !created.ok())
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
    // Ours by name, regular files, and untouched for longer than any write
    // takes; every other entry costs only its name.
    ++folderScans;
    sys::listNames(folder, [&](std::string_view name) {
        if (!isTemporaryName(name))
            return;
        const std::string path = joinPath(folder, name);
        if (const auto age = sys::regularFileAge(path); age && *age > kStaleAfterSeconds)
            sys::remove(path);
    });
}

std::size_t staleTemporaryScans() { return folderScans; }

}  // namespace profile
