#include "card_file.h"

#include "card_fields.h"
#include "code_page.h"
#include "ini_access.h"
#include "profile_service.h"
#include "profile_text.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr std::size_t kMaxFileNameBytes = NAME_MAX;

std::string quoted(std::string_view text) { return "「" + std::string(text) + "」"; }

// The system's reason in the window's language, with its own words after it.
std::string systemReason(int error)
{
    const char* japanese = nullptr;
    switch (error) {
    case EACCES:
    case EPERM: japanese = "アクセスが拒否されました"; break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: japanese = "ディスクの空きが足りません"; break;
    case EROFS: japanese = "読み取り専用のドライブです"; break;
    case ENOENT:
    case ENOTDIR: japanese = "フォルダーが見つかりません"; break;
    case ENAMETOOLONG: japanese = "名前が長すぎます"; break;
    case EIO: japanese = "ディスクの読み書きに失敗しました"; break;
    default: break;
    }
    const std::string words = std::strerror(error);
    return japanese ? std::string(japanese) + "（" + words + "）" : words;
}

CardProblem cannotRead(const std::string& path, const std::string& reason)
{
    return quoted(path) + "を読み込めませんでした：" + reason + "\n画面はそのままです。";
}

CardProblem cannotSave(const std::string& path, const std::string& reason)
{
    return quoted(path) + "に保存できませんでした：" + reason + "\nファイルはそのままです。";
}

bool hasWriteBits(const struct stat& st) { return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0; }

// "02" is 2; anything but a whole number from 0 to 3 is no selection.
std::optional<int> superModeFrom(std::string_view text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(std::min(text.find_first_not_of('0'), text.size() - 1));
    if (text.size() != 1 || text[0] > '3')
        return std::nullopt;
    return text[0] - '0';
}

// One key the writer puts into the file, with the field the user knows it by.
struct Entry {
    std::string section;
    const char* key;
    std::string value;
    std::string field;
};

// The keys of a card in file order; levels without hit points, a power
// without a normal move and a spec without an extended move are left out.
std::vector<Entry> entriesOf(const Card& card)
{
    const auto head = [](CardField f) { return std::string(fieldName(f)); };
    std::vector<Entry> entries{
        {"head", "rare", card.Rarity, head(CardField::Rarity)},
        {"head", "maxlv", card.MaxLv, head(CardField::MaxLv)},
        {"head", "minlv", card.MinLv, head(CardField::MinLv)},
        {"head", "super", std::to_string(card.SuperMode.value_or(0)), head(CardField::SuperMode)},
    };
    for (int n = 1; n <= int(card.Levels.size()); ++n) {
        const LevelRecord& r = card.Levels[n - 1];
        if (r.MaxHP.empty())
            continue;
        const std::string section = "Lv" + std::to_string(n);
        entries.push_back({section, "HP", r.MaxHP, levelFieldName(n, CardField::MaxHP)});
        if (!r.NomalWaza.empty()) {
            entries.push_back({section, "P", r.Power, levelFieldName(n, CardField::Power)});
            entries.push_back({section, "1", r.NomalWaza, levelFieldName(n, CardField::NomalWaza)});
        }
        if (!r.ExtWaza.empty()) {
            entries.push_back({section, "S", r.ExtWazaSpec, levelFieldName(n, CardField::ExtWazaSpec)});
            entries.push_back({section, "2", r.ExtWaza, levelFieldName(n, CardField::ExtWaza)});
        }
    }
    return entries;
}

// Text that the card file cannot hold as typed: a line break or another
// control character would split the line or end the value early, and a
// character missing from Shift-JIS would be lost.
CardProblem unwritableText(const std::vector<Entry>& entries)
{
    for (const Entry& e : entries) {
        for (std::size_t pos = 0; pos < e.value.size();) {
            char32_t c;
            pos += profile::decodeUtf8(e.value, pos, c);
            if (c < 0x20 && c != U'\t')
                return e.field + "に改行などの制御文字があるため保存できません。\n何も保存していません。";
        }
        if (const auto c = profile::firstUnencodable(e.value)) {
            std::string shown;
            profile::appendUtf8(shown, *c);
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(*c));
            return e.field + "の文字" + quoted(shown) + "（" + code
                   + "）はカードファイルの文字コード（Shift-JIS）にないため保存できません。\n"
                     "何も保存していません。";
        }
    }
    return std::nullopt;
}

// Flushes a folder, and so the names in it, to disk.
bool syncFolder(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// A temporary file beside the card that is removed unless it was put in place.
class TemporaryCard {
public:
    explicit TemporaryCard(const std::string& folder) : path_(AddBackslash(folder) + ".velmar-save-XXXXXX")
    {
        fd_ = ::mkstemp(path_.data());
        if (fd_ < 0) {
            error_ = errno;
            path_.clear();
        }
    }
    ~TemporaryCard()
    {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    TemporaryCard(const TemporaryCard&) = delete;
    TemporaryCard& operator=(const TemporaryCard&) = delete;

    const std::string& path() const { return path_; }
    int error() const { return error_; }

    // Writes the whole content, gives it its mode and flushes it to disk; 0 or an errno value.
    int fill(std::string_view content, mode_t mode)
    {
        while (!content.empty()) {
            const ssize_t n = ::write(fd_, content.data(), content.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return n < 0 ? errno : EIO;
            content.remove_prefix(std::size_t(n));
        }
        if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0)
            return errno;
        const int fd = std::exchange(fd_, -1);
        return ::close(fd) == 0 ? 0 : errno;
    }

    // Puts the file in place of `target`; 0 or an errno value.
    int replace(const std::string& target)
    {
        if (::rename(path_.c_str(), target.c_str()) != 0)
            return errno;
        path_.clear();
        return 0;
    }

private:
    std::string path_;
    int fd_ = -1;
    int error_ = 0;
};

}  // namespace

std::string AddBackslash(std::string path)
{
    return path.empty() ? "/" : profile::joinPath(path, "");
}

std::string cardFilePath(const std::string& programFolder, const std::string& id)
{
    return AddBackslash(programFolder) + id + ".ini";
}

CardProblem checkCardId(std::string_view id)
{
    const auto refuse = [&](const std::string& why) {
        return "ID" + quoted(id) + "はカードのファイル名に使えません：" + why;
    };
    for (std::size_t pos = 0; pos < id.size();) {
        char32_t c;
        pos += profile::decodeUtf8(id, pos, c);
        if (c == U'/' || c == U'\\')
            return refuse("「/」や「\\」は使えません。");
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            return refuse("制御文字は使えません。");
    }
    if (id.size() + 4 > kMaxFileNameBytes)
        return refuse("長すぎます。");
    return std::nullopt;
}

CardProblem readCard(const std::string& path, Card& card)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT)
            return cannotRead(path, systemReason(errno));
        card = Card{};  // a card that does not exist yet is empty
        return std::nullopt;
    }
    if (S_ISDIR(st.st_mode))
        return cannotRead(path, "同じ名前のフォルダーがあります。");
    if (!S_ISREG(st.st_mode))
        return cannotRead(path, "通常のファイルではありません。");
    if (const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC); fd < 0)
        return cannotRead(path, systemReason(errno));
    else
        ::close(fd);

    INIAccess ini;
    ini.FileName = path;
    Card loaded;
    ini.Section = "head";
    loaded.Rarity = ini.GetINIData("rare");
    loaded.MaxLv = ini.GetINIData("maxlv");
    loaded.MinLv = ini.GetINIData("minlv");
    loaded.SuperMode = superModeFrom(ini.GetINIData("super"));
    for (std::size_t n = 1; n <= loaded.Levels.size(); ++n) {
        ini.Section = "Lv" + std::to_string(n);
        LevelRecord& r = loaded.Levels[n - 1];
        r.MaxHP = ini.GetINIData("HP");
        r.Power = ini.GetINIData("P");
        r.ExtWazaSpec = ini.GetINIData("S");
        r.NomalWaza = ini.GetINIData("1");
        r.ExtWaza = ini.GetINIData("2");
    }
    card = std::move(loaded);
    return std::nullopt;
}

CardProblem writeCard(const std::string& path, const Card& card)
{
    const std::vector<Entry> entries = entriesOf(card);
    if (auto problem = unwritableText(entries))
        return problem;

    // A new card gets the usual mode of a new file; a replaced one keeps its own.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode_t mode = 0666 & ~mask;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return cannotSave(path, "同じ名前のフォルダーがあります。");
        if (!S_ISREG(st.st_mode))
            return cannotSave(path, "通常のファイルではありません。");
        if (!hasWriteBits(st))
            return cannotSave(path, "ファイルが読み取り専用です。");
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return cannotSave(path, systemReason(errno));
    }

    std::string folder = path.substr(0, path.rfind('/') + 1);
    if (struct stat dir {}; ::stat(folder.c_str(), &dir) == 0 && !hasWriteBits(dir))
        return cannotSave(path, "フォルダーが読み取り専用です。");

    TemporaryCard temporary(folder);
    if (temporary.path().empty())
        return cannotSave(path, systemReason(temporary.error()));

    // The card is composed in memory by the profile writer's own rules and
    // written once: one write and one flush instead of a file replace per key.
    std::string content;
    for (const Entry& e : entries)
        if (const int err = profile::editProfileText(content, e.section, e.key, e.value))
            return cannotSave(path, systemReason(err));
    if (const int err = temporary.fill(content, mode))
        return cannotSave(path, systemReason(err));
    if (const int err = temporary.replace(path))
        return cannotSave(path, systemReason(err));
    syncFolder(folder);  // the rename itself reaches the disk
    return std::nullopt;
}

std::optional<int> superModeFromText(std::string_view text) { return superModeFrom(text); }

std::vector<RefusedValue> refusedValues(const Card& card)
{
    std::vector<RefusedValue> refused;
    for (const Entry& e : entriesOf(card))
        if (auto problem = unwritableText({e}))  // the message's first line; the rest speaks of the window
            refused.push_back({e.section, e.key, problem->substr(0, problem->find('\n'))});
    return refused;
}

std::string cardFileBytes(const Card& card)
{
    profile::ProfileText text;
    for (const Entry& e : entriesOf(card))
        text.set(e.section, e.key, e.value);
    return text.bytes();
}
