#include "merge_sides.h"

#include "profile_text.h"

#include <algorithm>
#include <limits>
#include <new>

namespace {

// A span of text appended to a block that offsets of 32 bits reach (a card
// is at most 64 MiB; as UTF-8 at most three times that).
TextSpan append(std::string& block, std::string_view text)
{
    if (block.size() + text.size() > std::numeric_limits<std::uint32_t>::max())
        throw std::bad_alloc();
    const TextSpan span{std::uint32_t(block.size()), std::uint32_t(text.size())};
    block += text;
    return span;
}

}  // namespace

TextSpan MergeNames::keep(std::string_view name) { return append(text_, name); }

void MergeNames::reserve(std::size_t more)
{
    keys_.reserve(keys_.size() + more);
    keyIndex_.reserve(keys_.size() + more);
}

std::optional<std::uint32_t> MergeNames::section(std::string_view folded) const
{
    return sectionIndex_.find(
        profile::NameIndex::hashOf(folded), [&](std::uint32_t id) { return sectionName(id) == folded; });
}

std::optional<std::uint32_t> MergeNames::key(std::uint32_t section, std::string_view folded) const
{
    return key(section, folded, hashOf(section, folded));
}

std::optional<std::uint32_t> MergeNames::key(std::uint32_t section, std::string_view folded, std::uint32_t hash) const
{
    return keyIndex_.find(
        hash, [&](std::uint32_t id) { return keys_[id].section == section && keyName(id) == folded; });
}

std::uint32_t MergeNames::addSection(std::string_view folded)
{
    if (const auto found = section(folded))
        return *found;
    const auto id = std::uint32_t(sections_.size());
    sections_.push_back({keep(folded)});
    sectionIndex_.insert(profile::NameIndex::hashOf(folded), id);
    return id;
}

std::uint32_t MergeNames::addKey(std::uint32_t section, std::string_view folded, std::uint32_t hash)
{
    const auto next = std::uint32_t(keys_.size());
    const std::uint32_t id = keyIndex_.findOrInsert(
        hash, [&](std::uint32_t id) { return keys_[id].section == section && keyName(id) == folded; }, next);
    if (id == next)
        keys_.push_back({keep(folded), section});
    return id;
}

std::uint32_t MergeNames::hashOf(std::uint32_t section, std::string_view folded)
{
    return profile::NameIndex::hashOf(folded) ^ (section * 0x9E3779B9u);
}

MergeSide::MergeSide(const std::string& bytes, MergeNames& names, bool adding)
{
    // Room for every key at once, so nothing is copied as the side grows: a
    // key is a line of its own that holds an "=", and neither byte is part
    // of another character (in UTF-16 each of the two characters holds one).
    const auto keysAtMost = std::min(std::size_t(std::count(bytes.begin(), bytes.end(), '=')),
        std::size_t(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    keys_.reserve(keysAtMost);
    text_.reserve(bytes.size());
    const auto placeOf = [](std::vector<std::int32_t>& at, std::uint32_t id) -> std::int32_t& {
        if (id >= at.size())
            at.resize(id + 1, -1);
        return at[id];
    };
    // The key lines of the first section of each name, with their folded
    // names; their ids are found after the walk, many at a time.
    std::string folded;  // the keys' folded names, one after the other
    std::vector<TextSpan> foldedOf;
    std::vector<std::uint32_t> hashOf;
    foldedOf.reserve(keysAtMost);
    hashOf.reserve(keysAtMost);
    std::size_t header = 0;     // the header of the section the lines are in
    std::int32_t current = -1;  // its place in sections_, when it is the first of its name
    profile::ProfileText(bytes).forEachLine([&](const profile::ProfileLine& line) {
        if (line.sectionLine == 0 || line.section.empty())
            return;  // never read: before the first header, or in a section no name can find
        if (line.sectionLine != header) {
            header = line.sectionLine;
            current = -1;
            const std::string name = profile::foldedName(line.section);
            const auto found = adding ? names.addSection(name) : names.section(name);
            if (found && placeOf(sectionAt_, *found) < 0) {  // a later section of the same name is never read
                current = std::int32_t(sections_.size());
                placeOf(sectionAt_, *found) = current;
                sections_.push_back({*found, keep(line.section), header, header, 0});
            }
        }
        if (current < 0 || line.kind == profile::LineKind::Blank)
            return;
        Section& section = sections_[std::size_t(current)];
        section.lastLine = line.number;
        if (line.kind == profile::LineKind::Section)
            return;
        ++section.otherLines;
        if (line.kind != profile::LineKind::Key || line.key.empty())
            return;
        const std::string name = profile::foldedName(line.key);
        foldedOf.push_back(append(folded, name));
        hashOf.push_back(MergeNames::hashOf(section.id, name));
        keys_.push_back({0, std::uint32_t(current), keep(line.key), keep(line.value), std::uint32_t(line.number)});
    });

    // The sides mostly hold their keys in the same order: the key after the
    // one found last is tried first, with no look-up. Otherwise the index is
    // read a few keys ahead, so that its slots are at hand when looked up.
    if (adding)
        names.reserve(keys_.size());
    keyAt_.reserve(names.keys() + keys_.size());
    constexpr std::size_t kAhead = 16;
    std::uint32_t next = 0;  // the key id after the last one found
    std::size_t kept = 0;
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        const std::uint32_t section = sections_[keys_[i].section].id;
        const std::string_view name = std::string_view(folded).substr(foldedOf[i].at, foldedOf[i].size);
        std::optional<std::uint32_t> found;
        if (next < names.keys() && names.sectionOf(next) == section && names.keyName(next) == name) {
            found = next;
        } else {
            if (i + kAhead < keys_.size())
                names.prefetch(hashOf[i + kAhead]);
            found = adding ? names.addKey(section, name, hashOf[i]) : names.key(section, name, hashOf[i]);
        }
        if (!found || placeOf(keyAt_, *found) >= 0)
            continue;  // a name new to a result read back, or a later key of the same name
        next = *found + 1;
        placeOf(keyAt_, *found) = std::int32_t(kept);
        keys_[kept] = keys_[i];
        keys_[kept++].name = *found;
    }
    keys_.resize(kept);
}

TextSpan MergeSide::keep(std::string_view text) { return append(text_, text); }

std::optional<std::string_view> MergeSide::value(std::uint32_t name) const
{
    const Key* found = key(name);
    return found ? std::optional(text(found->value)) : std::nullopt;
}
