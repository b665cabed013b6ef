#include "card_file.h"

#include "card_fields.h"
#include "code_page.h"
#include "conflict_markers.h"
#include "file_io.h"
#include "profile_service.h"
#include "profile_text.h"
#include "shown_name.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// The longest value a reader gets back whole: its buffer holds 255 bytes and a NUL.
constexpr std::size_t kMaxValueBytes = profile::kDefaultBufferSize - 1;
// A full card is well under a kilobyte; a file this large is something else.
constexpr std::size_t kMaxCardFileBytes = profile::kMaxProfileFileBytes;

// A path or ID in a message: a control character in it is shown, not sent.
std::string bracketed(std::string_view text) { return "「" + shownName(text) + "」"; }

}  // namespace

std::string systemReason(int error)
{
    const char* japanese = nullptr;
    switch (error) {
    case EACCES:
    case EPERM: japanese = "アクセスが拒否されました"; break;
    case EBUSY: japanese = "ほかのプログラムがファイルを使用中です"; break;
    case EROFS: japanese = "読み取り専用のドライブです"; break;
    case ENOENT:
    case ENOTDIR: japanese = "フォルダーが見つかりません"; break;
    case ENAMETOOLONG: japanese = "名前が長すぎます"; break;
    case EIO: japanese = "ディスクの読み書きに失敗しました"; break;
    default:
        if (profile::isOutOfSpace(error))
            japanese = "ディスクの空きが足りません";
        break;
    }
    const std::string words = std::strerror(error);
    return japanese ? std::string(japanese) + "（" + words + "）" : words;
}

namespace {

CardProblem cannotRead(const std::string& path, const std::string& reason)
{
    return bracketed(path) + "を読み込めませんでした：" + reason + "\n画面はそのままです。";
}

CardProblem cannotSave(const std::string& path, const std::string& reason)
{
    return bracketed(path) + "に保存できませんでした：" + reason + "\nファイルはそのままです。";
}

// No new file (a temporary one, the lock file) can be made beside the card:
// the folder is the cause, not the card.
bool cannotWriteFolder(int error) { return error == EACCES || error == EPERM || error == EROFS; }

CardProblem folderNotWritable(const std::string& folder, const std::string& path, int error)
{
    return "フォルダー" + bracketed(folder) + "にはこのユーザーでは書き込めないため、" + bracketed(path)
           + "に保存できませんでした：" + systemReason(error)
           + "\nプログラムを書き込みのできるフォルダーに置いてください。ファイルはそのままです。";
}

// Without the program folder there is no place for cards: nothing is read or
// written anywhere else.
CardProblem noProgramFolder(const char* command)
{
    return std::string("プログラムのあるフォルダーが分からないため、") + command
           + "できません。\nファイルには何もしていません。";
}

}  // namespace

std::optional<int> superModeFromText(std::string_view text)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(std::min(text.find_first_not_of('0'), text.size() - 1));
    if (text.size() != 1 || text[0] > '3')
        return std::nullopt;
    return text[0] - '0';
}

namespace {

// One key the writer puts into the file, with the field the user knows it by.
struct Entry {
    std::string section;
    const char* key;
    std::string value;
    int level;  // 1 to 4 for a level's key, 0 for the header's
    CardField field;
};

// The field as messages name it, made only when a message needs it.
std::string fieldText(const Entry& e)
{
    return e.level > 0 ? levelFieldName(e.level, e.field) : std::string(fieldName(e.field));
}

// The keys of a card in file order; levels without hit points, a power
// without a normal move and a spec without an extended move are left out.
std::vector<Entry> entriesOf(const Card& card)
{
    std::vector<Entry> entries{
        {"head", "rare", card.Rarity, 0, CardField::Rarity},
        {"head", "maxlv", card.MaxLv, 0, CardField::MaxLv},
        {"head", "minlv", card.MinLv, 0, CardField::MinLv},
        {"head", "super", std::to_string(card.SuperMode.value_or(0)), 0, CardField::SuperMode},
    };
    for (int n = 1; n <= int(card.Levels.size()); ++n) {
        const LevelRecord& r = card.Levels[n - 1];
        if (r.MaxHP.empty())
            continue;
        const std::string section = "Lv" + std::to_string(n);
        entries.push_back({section, "HP", r.MaxHP, n, CardField::MaxHP});
        if (!r.NomalWaza.empty()) {
            entries.push_back({section, "P", r.Power, n, CardField::Power});
            entries.push_back({section, "1", r.NomalWaza, n, CardField::NomalWaza});
        }
        if (!r.ExtWaza.empty()) {
            entries.push_back({section, "S", r.ExtWazaSpec, n, CardField::ExtWazaSpec});
            entries.push_back({section, "2", r.ExtWaza, n, CardField::ExtWaza});
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
                return fieldText(e) + "に改行などの制御文字があるため保存できません。\n何も保存していません。";
        }
        if (const auto c = profile::firstUnencodable(e.value)) {
            std::string shown;
            profile::appendUtf8(shown, *c);
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(*c));
            return fieldText(e) + "の文字" + bracketed(shown) + "（" + code
                   + "）はカードファイルの文字コード（Shift-JIS）にないため保存できません。\n"
                     "何も保存していません。";
        }
        // A longer value would be saved whole and come back cut on the next Load.
        if (const std::size_t bytes = profile::utf8ToCp932(e.value).value_or(std::string()).size();
            bytes > kMaxValueBytes)
            return fieldText(e) + "が" + std::to_string(bytes) + "バイトあります。カードファイルから読み戻せるのは"
                   + std::to_string(kMaxValueBytes) + "バイト（全角で" + std::to_string(kMaxValueBytes / 2)
                   + "文字）までのため保存できません。\n何も保存していません。";
    }
    return std::nullopt;
}

// The card file's bytes, composed in memory by the profile writer's own
// rules; 0 or an errno value.
int compose(const std::vector<Entry>& entries, std::string& content)
{
    profile::ProfileText text;
    for (const Entry& e : entries)
        if (const int err = text.set(e.section, e.key, e.value))
            return err;
    content = text.bytes();
    return 0;
}

}  // namespace

std::string AddBackslash(std::string path) { return path.empty() ? path : profile::joinPath(path, ""); }

std::string cardFilePath(const std::string& programFolder, const std::string& id)
{
    return programFolder.empty() ? std::string() : AddBackslash(programFolder) + id + ".ini";
}

namespace {

// GetINIData's reading of each key (a 256-byte buffer, an empty default),
// every one from the one copy of the file in one walk over its lines.
void readValues(std::string bytes, Card& card)
{
    CardLookups values = cardLookups();
    profile::ProfileText(std::move(bytes)).getAll(values);
    // Out of memory before this, the card is as it was; moving strings cannot fail.
    card = cardOfLookups(values);
}

// Each value Load reads, with the field it is shown in.
struct ValueOf {
    int level;
    CardField field;
    std::string (*get)(const Card& card, int level);
};
template <std::string LevelRecord::*member> std::string levelValue(const Card& card, int level)
{
    return card.Levels[level - 1].*member;
}
template <std::string Card::*member> std::string headValue(const Card& card, int) { return card.*member; }
std::string superValue(const Card& card, int) { return card.SuperMode ? std::to_string(*card.SuperMode) : ""; }

std::vector<ValueOf> cardValues()
{
    std::vector<ValueOf> values{
        {0, CardField::Rarity, headValue<&Card::Rarity>},
        {0, CardField::MaxLv, headValue<&Card::MaxLv>},
        {0, CardField::MinLv, headValue<&Card::MinLv>},
        {0, CardField::SuperMode, superValue},
    };
    for (int level = 1; level <= 4; ++level) {
        values.push_back({level, CardField::MaxHP, levelValue<&LevelRecord::MaxHP>});
        values.push_back({level, CardField::Power, levelValue<&LevelRecord::Power>});
        values.push_back({level, CardField::NomalWaza, levelValue<&LevelRecord::NomalWaza>});
        values.push_back({level, CardField::ExtWazaSpec, levelValue<&LevelRecord::ExtWazaSpec>});
        values.push_back({level, CardField::ExtWaza, levelValue<&LevelRecord::ExtWaza>});
    }
    return values;
}

}  // namespace

std::string conflictFieldName(const ConflictField& field)
{
    return field.level > 0 ? levelFieldName(field.level, field.field) : std::string(fieldName(field.field));
}

namespace {

// Load's reading of a file's bytes straight into `card`; out of memory
// (std::bad_alloc), neither it nor `conflicts` has changed.
void readCardBytes(std::string bytes, Card& card, std::vector<CardConflict>* conflicts)
{
    const std::optional<ConflictMarkers> markers = ConflictMarkers::find(bytes);
    if (!markers) {
        readValues(std::move(bytes), card);
        if (conflicts)
            conflicts->clear();
        return;
    }
    Card ours;
    readValues(markers->ours(), ours);
    std::vector<CardConflict> found;
    if (conflicts) {
        // Each conflict's fields: the card with that conflict's other side, set against ours.
        static const std::vector<ValueOf> values = cardValues();
        for (std::size_t i = 0; i < markers->conflictLines().size(); ++i) {
            Card theirs;
            readValues(markers->withTheirs(i), theirs);
            CardConflict conflict{markers->conflictLines()[i], {}};
            for (const ValueOf& v : values) {
                std::string mine = v.get(ours, v.level), other = v.get(theirs, v.level);
                if (mine != other)
                    conflict.fields.push_back({v.level, v.field, std::move(mine), std::move(other)});
            }
            found.push_back(std::move(conflict));
        }
        *conflicts = std::move(found);
    }
    card = std::move(ours);
}

}  // namespace

CardLookups cardLookups()
{
    static const CardLookups lookups = [] {
        static constexpr std::string_view kSections[] = {"Lv1", "Lv2", "Lv3", "Lv4"};
        static constexpr std::string_view kLevelKeys[] = {"HP", "P", "S", "1", "2"};
        CardLookups values{{{"head", "rare"}, {"head", "maxlv"}, {"head", "minlv"}, {"head", "super"}}};
        for (std::size_t n = 0, i = 4; n < std::size(kSections); ++n)
            for (const std::string_view key : kLevelKeys)
                values[i].section = kSections[n], values[i++].key = key;
        return values;
    }();
    return lookups;
}

Card cardOfLookups(CardLookups& values)
{
    Card card;
    card.Rarity = std::move(values[0].value);
    card.MaxLv = std::move(values[1].value);
    card.MinLv = std::move(values[2].value);
    card.SuperMode = superModeFromText(values[3].value);
    for (std::size_t n = 0; n < card.Levels.size(); ++n) {
        LevelRecord& r = card.Levels[n];
        profile::ProfileText::Lookup* level = &values[4 + 5 * n];
        r.MaxHP = std::move(level[0].value);
        r.Power = std::move(level[1].value);
        r.ExtWazaSpec = std::move(level[2].value);
        r.NomalWaza = std::move(level[3].value);
        r.ExtWaza = std::move(level[4].value);
    }
    return card;
}

CardProblem readCardFile(const std::string& path, std::optional<std::string>& bytes)
{
    bytes.reset();
    if (path.empty())
        return noProgramFolder("読み込み");
    std::string read;
    switch (const int err = profile::readFileOnce(path, read, kMaxCardFileBytes)) {
    case 0: bytes = std::move(read); return std::nullopt;
    case ENOENT: return std::nullopt;  // a card that does not exist yet is empty
    case EISDIR: return cannotRead(path, "同じ名前のフォルダーがあります。");
    case EINVAL: return cannotRead(path, "通常のファイルではありません。");
    case EFBIG:
        return cannotRead(
            path, "カードのファイルにしては大きすぎます（" + std::to_string(kMaxCardFileBytes >> 20) + " MB超）。");
    case ENOMEM: return cannotRead(path, "メモリが足りません。");
    default: return cannotRead(path, systemReason(err));
    }
}

Card cardOfBytes(std::string bytes, std::vector<CardConflict>* conflicts)
{
    Card card;
    readCardBytes(std::move(bytes), card, conflicts);
    return card;
}

CardProblem readCard(const std::string& path, Card& card, CardFingerprint* fingerprint,
    std::optional<std::string>* fileBytes, std::vector<CardConflict>* conflicts)
{
    // One read of the file, and every key looked up in that one copy: the
    // card on screen is one version of the file, never a mix of two saves.
    std::optional<std::string> held;
    if (CardProblem problem = readCardFile(path, held))
        return problem;
    if (fileBytes)
        *fileBytes = held;
    if (!held) {  // a card that does not exist yet is empty
        card = Card{};
        if (fingerprint)
            *fingerprint = CardFingerprint{};
        if (conflicts)
            conflicts->clear();
        return std::nullopt;
    }
    std::string& bytes = *held;

    try {
        const CardFingerprint read = fingerprint ? fingerprintOfBytes(bytes) : CardFingerprint{};
        readCardBytes(std::move(bytes), card, conflicts);
        if (fingerprint)
            *fingerprint = read;
    } catch (const std::bad_alloc&) {
        return cannotRead(path, "メモリが足りません。");
    }
    return std::nullopt;
}

CardProblem writeCard(
    const std::string& path, const Card& card, CardFingerprint* fingerprint, const CardFingerprint* unchangedFrom)
{
    if (path.empty())
        return noProgramFolder("保存");
    const std::vector<Entry> entries = entriesOf(card);
    if (auto problem = unwritableText(entries))
        return problem;

    using Kind = profile::FileInfo::Kind;
    const profile::FileInfo file = profile::fileInfo(path);
    if (file.error)
        return cannotSave(path, systemReason(file.error));
    if (file.kind == Kind::Folder)
        return cannotSave(path, "同じ名前のフォルダーがあります。");
    if (file.kind == Kind::Other)
        return cannotSave(path, "通常のファイルではありません。");
    if (file.kind == Kind::File && file.readOnly)
        return cannotSave(path, "ファイルが読み取り専用です。");

    const std::string folder = profile::folderOf(path);
    if (profile::fileInfo(folder).readOnly)
        return cannotSave(path, "フォルダーが読み取り専用です。");

    // The card is composed in memory by the profile writer's own rules and
    // written once, then put in place of the old file in one durable step.
    std::string content;
    if (const int err = compose(entries, content))
        return cannotSave(path, systemReason(err));
    const profile::FolderLock lock(folder);
    if (lock.error())
        return cannotWriteFolder(lock.error()) ? folderNotWritable(folder, path, lock.error())
                                               : cannotSave(path, folderLockReason(folder, lock.error()));
    if (unchangedFrom && !unchangedSince(*unchangedFrom, currentFingerprint(path)))
        return bracketed(path)
               + "は、確かめた直後にほかで書き換えられたため、保存しませんでした。\n"
                 "もう一度保存すると、上書きするかどうかを尋ねます。入力した内容は画面に残っています。";
    const profile::ReplaceResult result = profile::replaceFile(path, content, true);
    if (result.ok()) {
        if (fingerprint)
            *fingerprint = fingerprintOfBytes(content);
        return std::nullopt;
    }
    if (result.step == profile::ReplaceStep::Folder && cannotWriteFolder(result.error))
        return folderNotWritable(folder, path, result.error);
    return cannotSave(path, systemReason(result.error));
}

std::string folderLockReason(const std::string& folder, int error)
{
    const std::string lockFile = "「" + shownName(profile::joinPath(folder, ".velmar.lock")) + "」";
    switch (error) {
    case ENOLCK:
        return "書き込みの順番を決めるファイル" + lockFile
               + "が通常のファイルではありません。それを削除してから、もう一度試してください。";
    case ETIMEDOUT:
        return "ほかのプログラムがこのフォルダーに書き込んでいて、待っても終わりませんでした。"
               "しばらくしてから、もう一度試してください。";
    default: return "書き込みの順番を決めるファイル" + lockFile + "を開けませんでした：" + systemReason(error);
    }
}

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
    std::string content;
    compose(entriesOf(card), content);
    return content;
}

bool sameWhenSaved(const Card& a, const Card& b)
{
    const std::vector<Entry> left = entriesOf(a), right = entriesOf(b);
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](const Entry& l, const Entry& r) {
        return l.section == r.section && std::string_view(l.key) == r.key && l.value == r.value;
    });
}
