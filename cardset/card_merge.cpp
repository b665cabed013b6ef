#include "card_merge.h"

#include "card_fields.h"
#include "level_buffer.h"
#include "merge_sides.h"
#include "profile_text.h"
#include "shown_name.h"
#include "text_lines.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <deque>
#include <map>

namespace {

using Value = std::optional<std::string_view>;

std::optional<std::string> owned(const Value& value)
{
    return value ? std::optional(std::string(*value)) : std::nullopt;
}

// 1 to 4 for the folded section names "lv1" to "lv4", 0 for any other.
int levelOf(std::string_view section)
{
    return section.size() == 3 && section.starts_with("lv") && section[2] >= '1' && section[2] <= '4' ? section[2] - '0'
                                                                                                      : 0;
}

std::optional<CardField> fieldOf(std::string_view section, std::string_view key)
{
    static const std::map<std::string_view, CardField> head{{"rare", CardField::Rarity}, {"maxlv", CardField::MaxLv},
        {"minlv", CardField::MinLv}, {"super", CardField::SuperMode}};
    static const std::map<std::string_view, CardField> level{{"hp", CardField::MaxHP}, {"p", CardField::Power},
        {"1", CardField::NomalWaza}, {"s", CardField::ExtWazaSpec}, {"2", CardField::ExtWaza}};
    const auto& keys = section == "head" ? head : levelOf(section) ? level : decltype(head){};
    const auto found = keys.find(key);
    return found == keys.end() ? std::nullopt : std::optional(found->second);
}

// A key as a side spells it.
struct Spelled {
    std::string_view section, key;
};

// The four parts of an "S" value, as the editor splits it: range code "/"
// amount and effect letter "/" count. Kept as text, so a part the editor does
// not know (a range code "1") merges as well and the value is rebuilt as it was.
struct SpecParts {
    std::string range, amount, effect, count;
    std::string joined() const { return range + "/" + amount + effect + "/" + count; }
};

std::optional<SpecParts> specParts(const Value& value)
{
    if (!value)
        return std::nullopt;
    const std::string_view v = *value;
    const std::size_t first = v.find('/'), second = first == std::string::npos ? first : v.find('/', first + 1);
    if (second == std::string::npos || v.find('/', second + 1) != std::string::npos || second == first + 1)
        return std::nullopt;
    // The effect letter is the amount's last character, one whole UTF-8 character.
    std::size_t effectAt = second - 1;
    while (effectAt > first + 1 && (static_cast<unsigned char>(v[effectAt]) & 0xC0) == 0x80)
        --effectAt;
    return SpecParts{std::string(v.substr(0, first)), std::string(v.substr(first + 1, effectAt - first - 1)),
        std::string(v.substr(effectAt, second - effectAt)), std::string(v.substr(second + 1))};
}

template <class T> std::optional<T> threeWay(const T& base, const T& ours, const T& theirs)
{
    if (ours == theirs || theirs == base)
        return ours;
    if (ours == base)
        return theirs;
    return std::nullopt;
}

// Whether a value is written in quotes so that the profile store reads it
// back as it is: one with blanks at an end, or enclosed in quotes of its own.
bool needsQuotes(std::string_view value)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    const bool quoted
        = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    return !value.empty() && (blank(value.front()) || blank(value.back()) || quoted);
}

std::string writable(std::string_view value)
{
    return needsQuotes(value) ? "\"" + std::string(value) + "\"" : std::string(value);
}

// Whether a side is empty or the very bytes Save writes for the card it
// holds. Load cuts every value to 255 bytes, so no such file is longer than
// Save's of a card with every field at that limit: a longer one (a card of
// thousands of keys) is not read for it.
bool isSaveForm(const std::string& bytes)
{
    static const std::size_t longest = [] {
        const std::string full(255, 'a');
        Card card{full, full, full, 3, {}};
        for (LevelRecord& level : card.Levels)
            level = {full, full, full, full, full};
        return cardFileBytes(card).size();
    }();
    return bytes.empty() || (bytes.size() <= longest && cardFileBytes(cardOfBytes(bytes)) == bytes);
}

// Keys are numbered 0 to n - 1 in the order the sides first hold them: ours'
// order, then theirs', then the base's. Each step takes time in proportion
// to the keys, so a card of millions of keys merges as fast as it is read.
class Merge {
public:
    Merge(const std::string& base, const std::string& ours, const std::string& theirs, std::size_t markerSize)
        : baseBytes_(base)
        , oursBytes_(ours)
        , theirsBytes_(theirs)
        , ours_(ours, names_, true)
        , theirs_(theirs, names_, true)
        , base_(base, names_, true)
        , markerSize_(std::max(markerSize, kConflictMarkerSize))
        , merged_(names_.keys(), From::Nowhere)
        , conflicted_(names_.keys(), false)
    {
    }

    MergeOutcome run()
    {
        MergeOutcome outcome;
        const auto all = sides();
        const bool saveForm
            = std::all_of(all.begin(), all.end(), [](const std::string* bytes) { return isSaveForm(*bytes); });
        for (std::uint32_t name = 0; name < names_.keys(); ++name)
            mergeKey(name);
        findEmptiedLevels();
        // A key whose merged value the result would not give back is a
        // conflict; with it taken back to ours, the result is made again.
        std::string result;
        std::optional<MergeSide> readBack;
        for (;;) {
            if (saveForm) {
                result = cardFileBytes(mergedCard());
            } else if (auto problem = editOurs(result)) {
                outcome.problem = problem;
                return outcome;
            }
            readBack.emplace(result, names_, false);
            if (!conflictReadingBack(*readBack))
                break;
        }
        if (!conflicts_.empty()) {
            if (auto problem = markConflicts(result, *readBack)) {
                outcome.problem = problem;
                return outcome;
            }
        }
        outcome.bytes = std::move(result);
        outcome.conflicts = std::move(conflicts_);
        return outcome;
    }

private:
    std::array<const std::string*, 3> sides() const { return {&baseBytes_, &oursBytes_, &theirsBytes_}; }

    Spelled spelled(std::uint32_t name) const
    {
        for (const MergeSide* side : {&ours_, &theirs_, &base_})
            if (const MergeSide::Key* key = side->key(name))
                return {side->text(side->sections()[key->section].spelled), side->text(key->spelled)};
        return {};
    }

    std::string fieldText(std::uint32_t name, std::optional<CardField> part = {}) const
    {
        const std::string_view section = names_.sectionName(names_.sectionOf(name));
        const std::optional<CardField> field = part ? part : fieldOf(section, names_.keyName(name));
        if (!field) {
            const Spelled key = spelled(name);
            return "[" + shownName(key.section) + "]のキー「" + shownName(key.key) + "」";
        }
        const int level = levelOf(section);
        return level ? levelFieldName(level, *field) : std::string(fieldName(*field));
    }

    void conflict(std::uint32_t name, MergeConflict description)
    {
        conflicted_[name] = true;
        described_[name].push_back(conflicts_.size());
        conflicts_.push_back(std::move(description));
    }
    // A key found in conflict again keeps its first description, given the reason if it had none.
    void conflict(std::uint32_t name, std::string reason = {})
    {
        if (conflicted_[name]) {
            for (const std::size_t i : described_[name])
                if (conflicts_[i].reason.empty())
                    conflicts_[i].reason = reason;
            return;
        }
        conflict(name, {fieldText(name), owned(base_.value(name)), owned(ours_.value(name)), owned(theirs_.value(name)),
                           std::move(reason)});
    }

    void mergeKey(std::uint32_t name)
    {
        const Value base = base_.value(name), ours = ours_.value(name), theirs = theirs_.value(name);
        if (ours == theirs || theirs == base) {
            merged_[name] = From::Ours;
            return;
        }
        if (ours == base) {
            merged_[name] = From::Theirs;
            return;
        }
        const auto b = specParts(base), o = specParts(ours), t = specParts(theirs);
        if (levelOf(names_.sectionName(names_.sectionOf(name))) && names_.keyName(name) == "s" && b && o && t) {
            mergeSpec(name, *b, *o, *t);
            return;
        }
        conflict(name);
    }

    // "S" part by part: range code, amount, effect letter, count.
    void mergeSpec(std::uint32_t name, const SpecParts& b, const SpecParts& o, const SpecParts& t)
    {
        SpecParts merged;
        bool clean = true;
        const auto part = [&](std::string SpecParts::*member, CardField field) {
            if (const auto value = threeWay(b.*member, o.*member, t.*member)) {
                merged.*member = *value;
                return;
            }
            clean = false;
            conflict(name, {fieldText(name, field), b.*member, o.*member, t.*member, {}});
        };
        part(&SpecParts::range, CardField::ExtRange);
        part(&SpecParts::amount, CardField::ExtAmount);
        part(&SpecParts::effect, CardField::ExtEffect);
        part(&SpecParts::count, CardField::ExtCount);
        if (clean) {
            merged_[name] = From::Made;
            made_[name] = merged.joined();
        }
    }

    // A level whose hit points one side emptied (Save then drops the whole
    // level) while the other changed another of its keys: both can't be had.
    void findEmptiedLevels()
    {
        for (int level = 1; level <= 4; ++level) {
            const auto section = names_.section("lv" + std::to_string(level));
            const auto hp = section ? names_.key(*section, "hp") : std::nullopt;
            if (!hp || base_.value(*hp).value_or("").empty())
                continue;
            for (const auto& [emptied, other] : {std::pair{&ours_, &theirs_}, std::pair{&theirs_, &ours_}}) {
                if (!emptied->value(*hp).value_or("").empty())
                    continue;
                std::vector<std::uint32_t> changed;
                for (std::uint32_t name = 0; name < names_.keys(); ++name)
                    if (names_.sectionOf(name) == *section && name != *hp && other->value(name) != base_.value(name))
                        changed.push_back(name);
                if (changed.empty())
                    continue;
                const std::string reason
                    = std::string(emptied == &ours_ ? "こちら" : "相手") + "で"
                      + levelFieldName(level, CardField::MaxHP)
                      + "が空になり（保存するとこのレベルはすべて消えます）、もう一方でこのレベルの値が変わりました";
                conflict(*hp, reason);
                for (const std::uint32_t name : changed)
                    conflict(name, reason);
            }
        }
    }

    // A key's merged value when it merged cleanly.
    Value cleanValue(std::uint32_t name) const
    {
        switch (merged_[name]) {
        case From::Ours: return ours_.value(name);
        case From::Theirs: return theirs_.value(name);
        case From::Made: return made_.at(name);
        case From::Nowhere: break;
        }
        return std::nullopt;
    }

    // A key's merged value, or, when it conflicts, ours.
    Value merged(std::uint32_t name) const { return conflicted_[name] ? ours_.value(name) : cleanValue(name); }

    Card mergedCard() const
    {
        const auto get = [&](std::string_view section, std::string_view key) {
            const auto id = names_.section(section);
            const auto name = id ? names_.key(*id, key) : std::nullopt;
            return std::string(name ? merged(*name).value_or("") : "");
        };
        Card card{get("head", "rare"), get("head", "maxlv"), get("head", "minlv"), {}, {}};
        card.SuperMode = superModeFromText(get("head", "super"));
        for (int level = 1; level <= 4; ++level) {
            const std::string section = "lv" + std::to_string(level);
            card.Levels[level - 1]
                = {get(section, "hp"), get(section, "p"), get(section, "s"), get(section, "1"), get(section, "2")};
        }
        return card;
    }

    // Ours with every merged change made in place: keys theirs removed are
    // taken out with their lines (and a section theirs removed, when nothing
    // else is left in it), then the other changes written by the profile
    // writer's own edit, all of them in one pass.
    CardProblem editOurs(std::string& result) const
    {
        std::vector<std::size_t> dropped;  // line numbers
        std::vector<std::size_t> kept;     // each section's lines other than removed keys
        for (const MergeSide::Section& section : ours_.sections())
            kept.push_back(section.otherLines);
        for (const MergeSide::Key& key : ours_.keys())
            if (!merged(key.name)) {
                dropped.push_back(key.line);
                --kept[key.section];
            }
        for (std::size_t i = 0; i < kept.size(); ++i) {
            const MergeSide::Section& section = ours_.sections()[i];
            if (kept[i] == 0 && !theirs_.section(section.id) && base_.section(section.id))
                dropped.push_back(section.header);
        }
        result = oursBytes_;
        if (!dropped.empty()) {
            std::sort(dropped.begin(), dropped.end());
            const TextLines lines(oursBytes_);
            result.resize(lines.bodyStart());
            auto next = dropped.begin();
            for (std::size_t i = 0; i < lines.lines().size(); ++i) {
                if (next != dropped.end() && *next == i + 1) {
                    ++next;
                    continue;
                }
                result.append(oursBytes_, lines.lines()[i].start, lines.lines()[i].next - lines.lines()[i].start);
            }
        }

        std::vector<profile::ProfileText::Setting> settings;
        std::vector<std::uint32_t> named;  // each setting's key
        settings.reserve(names_.keys());
        named.reserve(names_.keys());
        std::deque<std::string> quoted;
        for (std::uint32_t name = 0; name < names_.keys(); ++name) {
            const Value value = merged(name);
            if (!value || value == ours_.value(name))
                continue;
            const Spelled key = spelled(name);
            const MergeSide::Section* section = ours_.section(names_.sectionOf(name));
            settings.push_back({section ? ours_.text(section->spelled) : key.section, key.key,
                needsQuotes(*value) ? std::string_view(quoted.emplace_back(writable(*value))) : *value});
            named.push_back(name);
        }
        profile::ProfileText text(std::move(result));
        std::size_t failed = 0;
        if (const int err = text.setAll(settings, &failed))
            return err == EILSEQ ? cannotHold(named[failed]) : "マージした内容を組み立てられませんでした。";
        result = text.bytes();
        return std::nullopt;
    }

    CardProblem cannotHold(std::uint32_t name) const
    {
        return fieldText(name) + "の値「" + shownName(*merged(name))
               + "」には、こちらのファイルの文字コード（Shift-JIS）にない文字があるため、マージできません。";
    }

    // Whether the result read back differs from the merged keys; such keys become conflicts.
    bool conflictReadingBack(const MergeSide& result)
    {
        bool found = false;
        for (std::uint32_t name = 0; name < names_.keys(); ++name)
            if (!conflicted_[name] && result.value(name) != cleanValue(name)) {
                conflict(name, "マージした値がカードファイルから読み戻せないため");
                found = true;
            }
        return found;
    }

    // The result with git's markers around each conflicting key's line: ours
    // between "<<<<<<<" and "=======", theirs between "=======" and
    // ">>>>>>>". A key the result does not hold gets its markers after the
    // last line of its section, or in its section added at the end.
    CardProblem markConflicts(std::string& result, const MergeSide& side) const
    {
        const TextLines lines(result);
        const std::string eol(lines.lineEnd());
        const std::string start = std::string(markerSize_, '<') + " ours" + eol;
        const std::string middle = std::string(markerSize_, '=') + eol;
        const std::string end = std::string(markerSize_, '>') + " theirs" + eol;
        std::map<std::size_t, std::string> theirsOf;               // a line of a conflicting key -> theirs' side
        std::map<std::size_t, std::string> after;                  // a line -> conflicts to put after it
        std::vector<std::pair<std::uint32_t, std::string>> added;  // a section to add, its conflicts
        std::map<std::uint32_t, std::size_t> addedAt;              // a section -> its place in `added`
        for (std::uint32_t name = 0; name < names_.keys(); ++name) {
            if (!conflicted_[name])
                continue;
            const auto keyLine = [&](const MergeSide& from) {
                const MergeSide::Key* key = from.key(name);
                return key ? std::string(from.text(key->spelled)) + "=" + writable(from.text(key->value)) + eol
                           : std::string();
            };
            if (const MergeSide::Key* found = side.key(name)) {
                theirsOf[found->line] = keyLine(theirs_);
                continue;
            }
            const std::string block = start + keyLine(ours_) + middle + keyLine(theirs_) + end;
            const std::uint32_t sectionId = names_.sectionOf(name);
            if (const MergeSide::Section* section = side.section(sectionId)) {
                after[std::max(section->lastLine, section->header)] += block;
                continue;
            }
            const auto [at, isNew] = addedAt.try_emplace(sectionId, added.size());
            if (isNew)
                added.push_back({sectionId, ""});
            added[at->second].second += block;
        }

        std::string out = result.substr(0, lines.bodyStart());
        bool encodable = true;
        const auto put = [&](const std::string& utf8) {
            const auto encoded = lines.encode(utf8);
            encodable &= encoded.has_value();
            out += encoded.value_or("");
        };
        for (std::size_t i = 0; i < lines.lines().size(); ++i) {
            const TextLine& line = lines.lines()[i];
            const std::size_t number = i + 1;
            const auto theirs = theirsOf.find(number);
            const auto next = after.find(number);
            if (theirs != theirsOf.end())
                put(start);
            out.append(result, line.start, line.next - line.start);
            const bool last = number == lines.lines().size();
            if (line.next == line.end && (theirs != theirsOf.end() || next != after.end() || (last && !added.empty())))
                put(eol);  // the last line had no line end
            if (theirs != theirsOf.end())
                put(middle + theirs->second + end);
            if (next != after.end())
                put(next->second);
        }
        for (const auto& [section, blocks] : added) {
            std::string header(names_.sectionName(section));
            for (const MergeSide* from : {&theirs_, &ours_, &base_})
                if (const MergeSide::Section* found = from->section(section)) {
                    header = from->text(found->spelled);
                    break;
                }
            put("[" + header + "]" + eol + blocks);
        }
        if (!encodable)
            return "衝突した値に、こちらのファイルの文字コード（Shift-JIS）にない文字があるため、マージできません。";
        result = std::move(out);
        return std::nullopt;
    }

    const std::string& baseBytes_;
    const std::string& oursBytes_;
    const std::string& theirsBytes_;
    MergeNames names_;
    MergeSide ours_, theirs_, base_;  // read in this order: their keys are numbered so
    std::size_t markerSize_;
    enum class From : std::uint8_t { Nowhere, Ours, Theirs, Made };
    std::vector<From> merged_;                   // a key -> where its merged value is
    std::map<std::uint32_t, std::string> made_;  // values the merge made (an S of merged parts)
    std::vector<bool> conflicted_;
    std::map<std::uint32_t, std::vector<std::size_t>> described_;  // a conflicting key -> its descriptions
    std::vector<MergeConflict> conflicts_;
};

}  // namespace

MergeOutcome mergeCardFiles(
    const std::string& base, const std::string& ours, const std::string& theirs, std::size_t markerSize)
{
    MergeOutcome outcome;
    for (const auto& [bytes, name] : {std::pair{&base, "共通の版"}, {&ours, "こちら"}, {&theirs, "相手"}})
        if (const auto markers = ConflictMarkers::find(*bytes)) {
            outcome.problem = std::string(name) + "のファイルにマージの衝突の印（行"
                              + std::to_string(markers->conflictLines().front())
                              + "）が残っているため、マージできません。先に衝突を解決してください。";
            return outcome;
        }
    try {
        return Merge(base, ours, theirs, markerSize).run();
    } catch (const std::bad_alloc&) {
        outcome.problem = "メモリが足りません。";
        return outcome;
    }
}

std::string describe(const MergeConflict& conflict)
{
    const auto shown = [](const std::optional<std::string>& value) {
        return value ? "「" + shownName(*value) + "」" : std::string("（なし）");
    };
    std::string text = conflict.field + "（元" + shown(conflict.base) + "、こちら" + shown(conflict.ours) + "、相手"
                       + shown(conflict.theirs) + "）";
    if (!conflict.reason.empty())
        text += "：" + conflict.reason;
    return text;
}
