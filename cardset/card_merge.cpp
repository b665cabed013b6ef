#include "card_merge.h"

#include "card_fields.h"
#include "level_buffer.h"
#include "profile_text.h"
#include "shown_name.h"
#include "text_lines.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

namespace {

using Value = std::optional<std::string>;

// A key by its folded section and key names: two spellings the store takes
// for one key are one.
struct Name {
    std::string section, key;
    auto operator<=>(const Name&) const = default;
};

struct KeyLine {
    std::string section, key;  // as spelled in the file
    std::string value;         // as read, not cut
    std::size_t line = 0;
};

struct SectionLines {
    std::string name;          // as spelled
    std::size_t header = 0;    // its header's line
    std::size_t lastLine = 0;  // its last line that is not blank
};

// A side as the profile store reads it.
struct Side {
    std::map<Name, KeyLine> keys;
    std::vector<Name> order;                       // file order
    std::map<std::string, SectionLines> sections;  // the first section of each folded name

    Value value(const Name& name) const
    {
        const auto found = keys.find(name);
        return found == keys.end() ? Value() : Value(found->second.value);
    }
};

Side sideOf(const std::string& bytes)
{
    Side side;
    profile::ProfileText(bytes).forEachLine([&](const profile::ProfileLine& line) {
        if (line.sectionLine == 0 || line.section.empty())
            return;  // never read: before the first header, or in a section no name can find
        const std::string section = profile::foldedName(line.section);
        auto& lines = side.sections.try_emplace(section, SectionLines{line.section, line.sectionLine, 0}).first->second;
        if (lines.header != line.sectionLine)
            return;  // a later section of the same name is never read
        if (line.kind != profile::LineKind::Blank)
            lines.lastLine = line.number;
        if (line.kind != profile::LineKind::Key || line.key.empty())
            return;
        const Name name{section, profile::foldedName(line.key)};
        if (side.keys.try_emplace(name, KeyLine{line.section, line.key, line.value, line.number}).second)
            side.order.push_back(name);
    });
    return side;
}

// 1 to 4 for the folded section names "lv1" to "lv4", 0 for any other.
int levelOf(const std::string& section)
{
    return section.size() == 3 && section.starts_with("lv") && section[2] >= '1' && section[2] <= '4' ? section[2] - '0'
                                                                                                      : 0;
}

std::optional<CardField> fieldOf(const Name& name)
{
    static const std::map<std::string, CardField> head{{"rare", CardField::Rarity}, {"maxlv", CardField::MaxLv},
        {"minlv", CardField::MinLv}, {"super", CardField::SuperMode}};
    static const std::map<std::string, CardField> level{{"hp", CardField::MaxHP}, {"p", CardField::Power},
        {"1", CardField::NomalWaza}, {"s", CardField::ExtWazaSpec}, {"2", CardField::ExtWaza}};
    const auto& keys = name.section == "head" ? head : levelOf(name.section) ? level : decltype(head){};
    const auto found = keys.find(name.key);
    return found == keys.end() ? std::nullopt : std::optional(found->second);
}

std::string fieldText(const Name& name, const KeyLine& spelled, std::optional<CardField> part = {})
{
    const std::optional<CardField> field = part ? part : fieldOf(name);
    if (!field)
        return "[" + shownName(spelled.section) + "]のキー「" + shownName(spelled.key) + "」";
    const int level = levelOf(name.section);
    return level ? levelFieldName(level, *field) : std::string(fieldName(*field));
}

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
    const std::string& v = *value;
    const std::size_t first = v.find('/'), second = first == std::string::npos ? first : v.find('/', first + 1);
    if (second == std::string::npos || v.find('/', second + 1) != std::string::npos || second == first + 1)
        return std::nullopt;
    // The effect letter is the amount's last character, one whole UTF-8 character.
    std::size_t effectAt = second - 1;
    while (effectAt > first + 1 && (static_cast<unsigned char>(v[effectAt]) & 0xC0) == 0x80)
        --effectAt;
    return SpecParts{v.substr(0, first), v.substr(first + 1, effectAt - first - 1),
        v.substr(effectAt, second - effectAt), v.substr(second + 1)};
}

template <class T> std::optional<T> threeWay(const T& base, const T& ours, const T& theirs)
{
    if (ours == theirs || theirs == base)
        return ours;
    if (ours == base)
        return theirs;
    return std::nullopt;
}

// A value written so that the profile store reads it back as it is: one with
// blanks at an end, or enclosed in quotes of its own, goes in quotes.
std::string writable(const std::string& value)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    const bool quoted
        = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
    if (value.empty() || !(blank(value.front()) || blank(value.back()) || quoted))
        return value;
    return "\"" + value + "\"";
}

class Merge {
public:
    Merge(const std::string& base, const std::string& ours, const std::string& theirs, std::size_t markerSize)
        : baseBytes_(base)
        , oursBytes_(ours)
        , theirsBytes_(theirs)
        , base_(sideOf(base))
        , ours_(sideOf(ours))
        , theirs_(sideOf(theirs))
        , markerSize_(std::max(markerSize, kConflictMarkerSize))
    {
        for (const Side* side : {&ours_, &theirs_, &base_})
            for (const Name& name : side->order)
                if (std::find(names_.begin(), names_.end(), name) == names_.end())
                    names_.push_back(name);
    }

    MergeOutcome run()
    {
        MergeOutcome outcome;
        const auto all = sides();
        const bool saveForm = std::all_of(all.begin(), all.end(),
            [](const std::string* bytes) { return bytes->empty() || cardFileBytes(cardOfBytes(*bytes)) == *bytes; });
        for (const Name& name : names_)
            mergeKey(name);
        findEmptiedLevels();
        // A key whose merged value the result would not give back is a
        // conflict; with it taken back to ours, the result is made again.
        std::string result;
        for (;;) {
            if (saveForm) {
                result = cardFileBytes(cardOf(merged()));
            } else if (auto problem = editOurs(result)) {
                outcome.problem = problem;
                return outcome;
            }
            if (!conflictReadingBack(sideOf(result)))
                break;
        }
        if (!conflicted_.empty()) {
            if (auto problem = markConflicts(result)) {
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

    const KeyLine& spelled(const Name& name) const
    {
        for (const Side* side : {&ours_, &theirs_, &base_})
            if (const auto found = side->keys.find(name); found != side->keys.end())
                return found->second;
        static const KeyLine none;
        return none;
    }

    void conflict(const Name& name, MergeConflict description)
    {
        conflicted_.insert(name);
        described_[name].push_back(conflicts_.size());
        conflicts_.push_back(std::move(description));
    }
    // A key found in conflict again keeps its first description, given the reason if it had none.
    void conflict(const Name& name, std::string reason = {})
    {
        if (conflicted_.count(name)) {
            for (const std::size_t i : described_[name])
                if (conflicts_[i].reason.empty())
                    conflicts_[i].reason = reason;
            return;
        }
        conflict(name, {fieldText(name, spelled(name)), base_.value(name), ours_.value(name), theirs_.value(name),
                           std::move(reason)});
    }

    void mergeKey(const Name& name)
    {
        const Value base = base_.value(name), ours = ours_.value(name), theirs = theirs_.value(name);
        if (const auto value = threeWay(base, ours, theirs)) {
            merged_[name] = *value;
            return;
        }
        const auto b = specParts(base), o = specParts(ours), t = specParts(theirs);
        if (levelOf(name.section) && name.key == "s" && b && o && t) {
            mergeSpec(name, *b, *o, *t);
            return;
        }
        conflict(name);
    }

    // "S" part by part: range code, amount, effect letter, count.
    void mergeSpec(const Name& name, const SpecParts& b, const SpecParts& o, const SpecParts& t)
    {
        SpecParts merged;
        bool clean = true;
        const auto part = [&](std::string SpecParts::*member, CardField field) {
            if (const auto value = threeWay(b.*member, o.*member, t.*member)) {
                merged.*member = *value;
                return;
            }
            clean = false;
            conflict(name, {fieldText(name, spelled(name), field), b.*member, o.*member, t.*member, {}});
        };
        part(&SpecParts::range, CardField::ExtRange);
        part(&SpecParts::amount, CardField::ExtAmount);
        part(&SpecParts::effect, CardField::ExtEffect);
        part(&SpecParts::count, CardField::ExtCount);
        if (clean)
            merged_[name] = merged.joined();
    }

    // A level whose hit points one side emptied (Save then drops the whole
    // level) while the other changed another of its keys: both can't be had.
    void findEmptiedLevels()
    {
        for (const auto& [section, lines] : base_.sections) {
            const int level = levelOf(section);
            const Name hp{section, "hp"};
            if (!level || base_.value(hp).value_or("").empty())
                continue;
            for (const auto& [emptied, other] : {std::pair{&ours_, &theirs_}, std::pair{&theirs_, &ours_}}) {
                if (!emptied->value(hp).value_or("").empty())
                    continue;
                std::vector<Name> changed;
                for (const Name& name : names_)
                    if (name.section == section && name.key != "hp" && other->value(name) != base_.value(name))
                        changed.push_back(name);
                if (changed.empty())
                    continue;
                const std::string reason
                    = std::string(emptied == &ours_ ? "こちら" : "相手") + "で"
                      + levelFieldName(level, CardField::MaxHP)
                      + "が空になり（保存するとこのレベルはすべて消えます）、もう一方でこのレベルの値が変わりました";
                conflict(hp, reason);
                for (const Name& name : changed)
                    conflict(name, reason);
            }
        }
    }

    // The merged keys, each conflicting one as ours holds it.
    std::map<Name, Value> merged() const
    {
        std::map<Name, Value> keys;
        for (const Name& name : names_)
            keys[name] = conflicted_.count(name) ? ours_.value(name) : merged_.at(name);
        return keys;
    }

    static Card cardOf(const std::map<Name, Value>& keys)
    {
        const auto get = [&](const std::string& section, const std::string& key) {
            const auto found = keys.find({section, key});
            return found == keys.end() ? std::string() : found->second.value_or("");
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
    // writer's own edit.
    CardProblem editOurs(std::string& result) const
    {
        const std::map<Name, Value> keys = merged();
        const TextLines lines(oursBytes_);
        std::vector<bool> drop(lines.lines().size(), false);
        std::map<std::size_t, std::size_t> keptLines;  // header line -> lines other than removed keys
        for (const auto& [section, at] : ours_.sections)
            keptLines[at.header] = 0;
        profile::ProfileText(oursBytes_).forEachLine([&](const profile::ProfileLine& line) {
            if (line.kind == profile::LineKind::Blank || line.kind == profile::LineKind::Section
                || !keptLines.count(line.sectionLine))
                return;
            if (line.kind == profile::LineKind::Key && !line.key.empty()) {
                const Name name{profile::foldedName(line.section), profile::foldedName(line.key)};
                const auto found = ours_.keys.find(name);
                if (found != ours_.keys.end() && found->second.line == line.number && !keys.at(name)) {
                    drop[line.number - 1] = true;
                    return;
                }
            }
            ++keptLines[line.sectionLine];
        });
        for (const auto& [section, at] : ours_.sections)
            if (keptLines[at.header] == 0 && !theirs_.sections.count(section) && base_.sections.count(section))
                drop[at.header - 1] = true;
        result = oursBytes_.substr(0, lines.bodyStart());
        for (std::size_t i = 0; i < lines.lines().size(); ++i)
            if (!drop[i])
                result.append(oursBytes_, lines.lines()[i].start, lines.lines()[i].next - lines.lines()[i].start);

        profile::ProfileText text(std::move(result));
        for (const Name& name : names_) {
            const Value& value = keys.at(name);
            if (!value || value == ours_.value(name))
                continue;
            const KeyLine& key = spelled(name);
            const auto section = ours_.sections.find(name.section);
            const std::string& sectionName = section != ours_.sections.end() ? section->second.name : key.section;
            if (const int err = text.set(sectionName, key.key, writable(*value)))
                return err == EILSEQ ? cannotHold(name, *value) : "マージした内容を組み立てられませんでした。";
        }
        result = text.bytes();
        return std::nullopt;
    }

    CardProblem cannotHold(const Name& name, const std::string& value) const
    {
        return fieldText(name, spelled(name)) + "の値「" + shownName(value)
               + "」には、こちらのファイルの文字コード（Shift-JIS）にない文字があるため、マージできません。";
    }

    // Whether the result read back differs from the merged keys; such keys become conflicts.
    bool conflictReadingBack(const Side& result)
    {
        bool found = false;
        for (const Name& name : names_)
            if (!conflicted_.count(name) && result.value(name) != merged_.at(name)) {
                conflict(name, "マージした値がカードファイルから読み戻せないため");
                found = true;
            }
        return found;
    }

    // The result with git's markers around each conflicting key's line: ours
    // between "<<<<<<<" and "=======", theirs between "=======" and
    // ">>>>>>>". A key the result does not hold gets its markers after the
    // last line of its section, or in its section added at the end.
    CardProblem markConflicts(std::string& result) const
    {
        const TextLines lines(result);
        const Side side = sideOf(result);
        const std::string eol(lines.lineEnd());
        const std::string start = std::string(markerSize_, '<') + " ours" + eol;
        const std::string middle = std::string(markerSize_, '=') + eol;
        const std::string end = std::string(markerSize_, '>') + " theirs" + eol;
        std::map<std::size_t, std::string> theirsOf;             // a line of a conflicting key -> theirs' side
        std::map<std::size_t, std::string> after;                // a line -> conflicts to put after it
        std::vector<std::pair<std::string, std::string>> added;  // a section to add, its conflicts
        for (const Name& name : names_) {
            if (!conflicted_.count(name))
                continue;
            const auto keyLine = [&](const Side& from) {
                const auto found = from.keys.find(name);
                return found == from.keys.end() ? std::string()
                                                : found->second.key + "=" + writable(found->second.value) + eol;
            };
            if (const auto found = side.keys.find(name); found != side.keys.end()) {
                theirsOf[found->second.line] = keyLine(theirs_);
                continue;
            }
            const std::string block = start + keyLine(ours_) + middle + keyLine(theirs_) + end;
            if (const auto section = side.sections.find(name.section); section != side.sections.end()) {
                after[std::max(section->second.lastLine, section->second.header)] += block;
                continue;
            }
            const auto same = [&](const auto& entry) { return entry.first == name.section; };
            auto it = std::find_if(added.begin(), added.end(), same);
            if (it == added.end())
                it = added.insert(added.end(), {name.section, ""});
            it->second += block;
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
            std::string header = section;
            for (const Side* from : {&theirs_, &ours_, &base_})
                if (const auto found = from->sections.find(section); found != from->sections.end()) {
                    header = found->second.name;
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
    Side base_, ours_, theirs_;
    std::size_t markerSize_;
    std::vector<Name> names_;  // every key of the three sides: ours' order, then theirs', then the base's
    std::map<Name, Value> merged_;
    std::set<Name> conflicted_;
    std::map<Name, std::vector<std::size_t>> described_;  // a conflicting key -> its descriptions
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
