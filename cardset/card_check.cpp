#include "card_check.h"

#include "card_fields.h"
#include "card_id.h"
#include "code_page.h"
#include "conflict_markers.h"
#include "file_io.h"
#include "level_buffer.h"
#include "profile_text.h"
#include "read_ahead.h"
#include "shown_name.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <unordered_map>

namespace {

constexpr std::size_t kReadLimit = profile::kDefaultBufferSize - 1;  // bytes a read returns at most

constexpr std::array<std::string_view, 4> kHeadKeys{"rare", "maxlv", "minlv", "super"};
constexpr std::array<std::string_view, 5> kLevelKeys{"hp", "p", "1", "s", "2"};

// Section and key names match without regard to letter case. The names the
// editor knows are ASCII, so folding ASCII letters is enough to find them.
std::string folded(std::string_view name)
{
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

// 1 to 4 for the sections "lv1" to "lv4", 0 for any other.
int levelOf(std::string_view foldedSection)
{
    if (foldedSection.size() == 3 && foldedSection.starts_with("lv") && foldedSection[2] >= '1'
        && foldedSection[2] <= '4')
        return foldedSection[2] - '0';
    return 0;
}

// 0 for "head", 1 to 4 for "lv1" to "lv4", -1 for a section the editor does not know.
int sectionSlot(std::string_view foldedSection)
{
    if (foldedSection == "head")
        return 0;
    const int level = levelOf(foldedSection);
    return level > 0 ? level : -1;
}

// The key's place in kHeadKeys or kLevelKeys, -1 for a key the editor does not know.
int keySlot(int section, std::string_view foldedKey)
{
    const auto find = [&](const auto& keys) {
        const auto it = std::find(keys.begin(), keys.end(), foldedKey);
        return it == keys.end() ? -1 : int(it - keys.begin());
    };
    return section == 0 ? find(kHeadKeys) : find(kLevelKeys);
}

constexpr int kSuperKey = 3;
// Where Load's lookups (cardLookups()) hold the super mode, and each level key
// of kLevelKeys (hp, p, 1, s, 2) after the level's first (Load's order: HP, P, S, 1, 2).
constexpr std::size_t kSuperLookup = 3;
constexpr std::array<std::size_t, kLevelKeys.size()> kLevelLookup{0, 1, 3, 2, 4};

std::string q(std::string_view text) { return "「" + std::string(text) + "」"; }

std::string atLine(std::size_t line) { return "行" + std::to_string(line); }

const char* encodingName(profile::Encoding encoding)
{
    switch (encoding) {
    case profile::Encoding::Utf8: return "UTF-8（BOM付き）";
    case profile::Encoding::Utf16LE: return "UTF-16（リトルエンディアン）";
    case profile::Encoding::Utf16BE: return "UTF-16（ビッグエンディアン）";
    default: return "Shift-JIS";
    }
}

// A control character Save refuses (a tab it keeps).
bool hasControlCharacter(std::string_view value)
{
    return std::any_of(value.begin(), value.end(),
        [](char c) { return (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F; });
}

class CardChecker {
public:
    CardChecker(std::string_view id, const std::string& bytes)
        : id_(id)
        , text_(bytes)
    {
    }

    // The card Load reads from the same text, once run() has read it.
    Card takeCard() { return cardOfLookups(values_); }

    std::vector<CheckFinding> run()
    {
        checkName();
        if (text_.encoding() != profile::Encoding::Cp932)
            refuse(0, std::string("ファイルが") + encodingName(text_.encoding())
                          + "で書かれています。カードファイルはShift-JIS（コードページ932）で、"
                            "Windowsのプログラムは違って読みます。");
        text_.forEachLine([this](const profile::ProfileLine& line) { walk(line); });
        readValues();
        checkHead();
        for (int level = 1; level <= 4; ++level)
            checkLevel(level);
        std::stable_sort(findings_.begin(), findings_.end(),
            [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
        return std::move(findings_);
    }

private:
    void add(std::size_t line, std::string message) { findings_.push_back({line, std::move(message)}); }
    // What Save refuses to write: the pre-commit hook keeps such a card out of a commit.
    void refuse(std::size_t line, std::string message) { findings_.push_back({line, std::move(message), true}); }

    void checkName()
    {
        if (profile::sanitizeUtf8(id_) != id_)
            refuse(0, "ファイル名がUTF-8の文字になっていないため、エディターではこのIDを入力できません。");
        else if (auto problem = checkCardId(id_))
            refuse(0, *problem + "エディターではこのカードを開けません。");
    }

    void walk(const profile::ProfileLine& line)
    {
        using profile::LineKind;
        if (line.kind == LineKind::Section)
            walkSection(line);
        else if (line.kind == LineKind::Key)
            walkKey(line);
        else if (line.kind == LineKind::Other)
            add(line.number, "見出しでもキーでもない行（「=」がない）は読まれません。次の保存で消えます。");
    }

    void walkSection(const profile::ProfileLine& line)
    {
        if (!line.nameValid)
            refuse(line.number, "見出しにShift-JISにないバイトがあります。");
        const std::string name = folded(line.section);
        section_ = sectionSlot(name);
        std::size_t& first = section_ >= 0 ? sectionLine_[section_] : otherSections_[name];
        sectionCounts_ = first == 0;
        if (!sectionCounts_) {
            add(line.number, "見出し[" + line.section + "]は" + atLine(first)
                                 + "にもあります。最初のものだけが読まれ、この見出しの中のキーは読まれません。");
            return;
        }
        first = line.number;
        if (section_ < 0)
            add(line.number,
                "見出し[" + line.section + "]はエディターの知らない見出しです。次の保存で中のキーとともに消えます。");
    }

    void walkKey(const profile::ProfileLine& line)
    {
        if (!line.nameValid || !line.valueValid)
            refuse(line.number, "キー" + q(line.key) + "の行にShift-JISにないバイトがあります。");
        if (line.sectionLine == 0) {
            add(line.number, "キー" + q(line.key) + "は最初の見出しより前にあるため読まれません。次の保存で消えます。");
            return;
        }
        if (!sectionCounts_ || section_ < 0)
            return;  // told with its section
        const int key = keySlot(section_, folded(line.key));
        if (key < 0) {
            add(line.number, "キー" + q(line.key) + "はエディターの知らないキーです。次の保存で消えます。");
            return;
        }
        std::size_t& first = keyLine_[section_][key];
        if (first != 0) {
            add(line.number,
                "キー" + q(line.key) + "は" + atLine(first) + "にもあります。最初のものだけが読まれます。");
            return;
        }
        first = line.number;
        if (line.valueCp932Bytes > kReadLimit)
            refuse(line.number, "キー" + q(line.key) + "の値は" + std::to_string(line.valueCp932Bytes)
                                    + "バイトあり、読むたびに255バイトまでで切れます。");
        if (line.value.find('\0') != std::string::npos)
            refuse(line.number, "キー" + q(line.key) + "の値にNUL文字があり、その前までしか読まれません。");
        else if (hasControlCharacter(line.value))
            refuse(
                line.number, "キー" + q(line.key) + "の値に制御文字があり、エディターはこのカードを保存できません。");
    }

    // Every value Load sees, in one walk: Load's own lookups.
    void readValues() { text_.getAll(values_); }

    // The value Load sees and the line it comes from (the section's line when the key is missing).
    const std::string& value(int section, int key, std::size_t& line) const
    {
        line = keyLine_[section][key] ? keyLine_[section][key] : sectionLine_[section];
        return values_[section == 0 ? kSuperLookup : 4 + (section - 1) * kLevelKeys.size() + kLevelLookup[key]].value;
    }

    void checkHead()
    {
        std::size_t line = 0;
        const std::string& super = value(0, kSuperKey, line);
        const std::string name = "「super」（" + std::string(fieldName(CardField::SuperMode)) + "）";
        if (super.empty())
            add(line, name + "がないか空です。エディターはスーパーの選択を前に開いたカードのままにします。");
        else if (!superModeFromText(super))
            add(line, name + "の値" + q(super) + "は0から3ではありません。エディターはスーパーの選択を変えません。");
    }

    void checkLevel(int level)
    {
        const auto name = [&](const char* key, CardField field) {
            return "「" + std::string(key) + "」（" + levelFieldName(level, field) + "）";
        };
        std::size_t hpLine, pLine, oneLine, sLine, twoLine;
        const std::string& hp = value(level, 0, hpLine);
        const std::string& p = value(level, 1, pLine);
        const std::string& one = value(level, 2, oneLine);
        const std::string& spec = value(level, 3, sLine);
        const std::string& two = value(level, 4, twoLine);

        if (hp.empty() && !(p.empty() && one.empty() && spec.empty() && two.empty()))
            add(hpLine, "[Lv" + std::to_string(level) + "]に" + name("HP", CardField::MaxHP)
                            + "がないため、次の保存でこのレベルのキーはすべて消えます。");
        if (!p.empty() && one.empty())
            add(pLine, name("P", CardField::Power) + "があって" + name("1", CardField::NomalWaza)
                           + "がないため、次の保存で「P」は消えます。");
        if (!spec.empty() && two.empty())
            add(sLine, name("S", CardField::ExtWazaSpec) + "があって" + name("2", CardField::ExtWaza)
                           + "がないため、次の保存で「S」は消えます。");
        if (spec.empty())
            return;
        ExtMoveFields fields{-1, "", -1, ""};
        if (!decodeExtMoveSpec(spec, fields)) {
            add(sLine, name("S", CardField::ExtWazaSpec) + "の値" + q(spec)
                           + "は「/」で3つに分かれないため、エディターは拡張技の欄に表示しません。");
            return;
        }
        if (fields.rangeIndex < 0)
            add(sLine, name("S", CardField::ExtWazaSpec) + "の値" + q(spec)
                           + "の範囲をエディターは知りません（N、1F、2F、A、AM、U、Eのどれか）。");
        if (fields.effectIndex < 0)
            add(sLine, name("S", CardField::ExtWazaSpec) + "の値" + q(spec)
                           + "の効果の文字をエディターは知りません（P、D、Eのどれか）。");
    }

    std::string id_;
    profile::ProfileText text_;
    std::vector<CheckFinding> findings_;
    // The first line of each section and key the editor knows (0: none yet),
    // by sectionSlot and keySlot; other sections by folded name.
    std::array<std::size_t, 5> sectionLine_{};
    std::array<std::array<std::size_t, kLevelKeys.size()>, 5> keyLine_{};
    std::map<std::string, std::size_t> otherSections_;
    int section_ = -1;            // the section walked, as sectionSlot tells it
    bool sectionCounts_ = false;  // the section walked is the first of its name
    CardLookups values_ = cardLookups();
};

}  // namespace

std::vector<CheckFinding> checkCardText(std::string_view id, const std::string& bytes, Card* card)
{
    const std::optional<ConflictMarkers> markers = ConflictMarkers::find(bytes);
    const std::string ours = markers ? markers->ours() : std::string();
    CardChecker checker(id, markers ? ours : bytes);
    std::vector<CheckFinding> findings = checker.run();
    if (card)
        *card = checker.takeCard();
    if (!markers)
        return findings;
    const std::vector<std::size_t> lines = markers->oursLineNumbers();
    for (CheckFinding& finding : findings)
        if (finding.line > 0 && finding.line <= lines.size())
            finding.line = lines[finding.line - 1];
    for (const std::size_t line : markers->conflictLines())
        findings.push_back({line,
            "マージの衝突が解決されないまま残っています（gitの衝突の印「<<<<<<<」〜「>>>>>>>」）。"
            "エディターで読み込むと「こちら」側を示し、直して保存すると印のないカードになります。",
            true});
    std::stable_sort(
        findings.begin(), findings.end(), [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
    return findings;
}

namespace {

// IDs that differ only in letter case: two files on Linux, one on Windows.
class SameOnWindows {
public:
    explicit SameOnWindows(const std::vector<CardFile>& files)
    {
        byFoldedId_.reserve(files.size());
        for (const CardFile& file : files)
            byFoldedId_[foldedId(file.id)].push_back(file.id);
    }

    // Puts the finding first when the card shares its file on Windows with others.
    void tell(const CardFile& file, std::vector<CheckFinding>& findings) const
    {
        std::string others;
        for (std::string_view id : byFoldedId_.at(foldedId(file.id)))
            if (id != file.id)
                others += (others.empty() ? "「" : "、「") + shownName(id) + ".ini」";
        if (!others.empty())
            findings.insert(
                findings.begin(), {0, others
                                          + "と大文字と小文字だけが違う名前です。Windowsでは同じ1つのファイルになり、"
                                            "どちらかのカードしか残りません。"});
    }

private:
    std::unordered_map<std::string, std::vector<std::string_view>> byFoldedId_;
};

}  // namespace

void forEachCheckedCard(const std::vector<CardFile>& files,
    const std::function<void(const CardRow&, const std::vector<CheckFinding>&)>& visit,
    std::vector<std::string>& problems, const ProgressReport& progress)
{
    const SameOnWindows sameOnWindows(files);
    struct CheckedCard {
        CardRow row;
        CardProblem problem;
        std::vector<CheckFinding> findings;
    };
    readAhead<CheckedCard>(
        files.size(),
        [&](std::size_t i, CheckedCard& read) {
            read.row.id = files[i].id;
            std::optional<std::string> bytes;
            read.problem = readCardFile(files[i].path, bytes);
            if (read.problem)
                return;
            // The card is Load's values from check's one reading of the text;
            // a card gone since the folder was listed is empty, with no findings.
            if (bytes)
                read.findings = checkCardText(files[i].id, *bytes, &read.row.card);
            sameOnWindows.tell(files[i], read.findings);
        },
        [&](std::size_t i, CheckedCard& read) {
            if (progress && i % 64 == 0)
                progress(i, files.size());
            if (read.problem)
                problems.push_back(cardSetProblem(*read.problem));
            else
                visit(read.row, read.findings);
        });
    if (progress)
        progress(files.size(), files.size());
}

CheckReport checkCardSet(const std::vector<CardFile>& files, const ProgressReport& progress)
{
    CheckReport report;
    const SameOnWindows sameOnWindows(files);
    // Each card is read and checked on a worker thread; the report is put
    // together here, card by card in the files' order.
    struct CheckedFile {
        std::vector<CheckFinding> findings;
        int error = 0;
    };
    readAhead<CheckedFile>(
        files.size(),
        [&](std::size_t i, CheckedFile& checked) {
            std::string bytes;
            checked.error = profile::readFileOnce(files[i].path, bytes);
            if (checked.error)
                return;
            checked.findings = checkCardText(files[i].id, bytes);
            sameOnWindows.tell(files[i], checked.findings);
        },
        [&](std::size_t i, CheckedFile& checked) {
            if (progress && i % 64 == 0)
                progress(i, files.size());
            const CardFile& file = files[i];
            if (checked.error) {
                report.unreadable.push_back(
                    "「" + shownName(file.path) + "」を読み込めませんでした：" + std::strerror(checked.error));
                return;
            }
            ++report.cards;
            if (checked.findings.empty())
                return;
            ++report.cardsWithFindings;
            const std::string name = shownName(file.id) + ".ini:";
            for (const CheckFinding& f : checked.findings)
                report.text += name + (f.line ? std::to_string(f.line) + ":" : "") + " " + f.message + "\n";
        });
    if (progress)
        progress(files.size(), files.size());
    report.summary = std::to_string(report.cards) + "枚のカードを確かめました。";
    if (report.clean())
        report.summary += "問題はありません。";
    else
        report.summary
            += "問題のあるカード: " + std::to_string(report.cardsWithFindings) + "枚"
               + (report.unreadable.empty() ? ""
                                            : "、読めないカード: " + std::to_string(report.unreadable.size()) + "枚");
    return report;
}
