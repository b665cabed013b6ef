#include "conflict_markers.h"

#include <cstring>

namespace {

// The marker character a line starts with ('<', '|', '=' or '>'), or 0.
char markerOf(const TextLines& text, const TextLine& line)
{
    const std::size_t u = text.unit();
    const int c = text.asciiAt(line.start);
    if (c != '<' && c != '|' && c != '=' && c != '>')
        return 0;
    std::size_t run = 0, pos = line.start;
    while (pos < line.end && text.asciiAt(pos) == c) {
        ++run;
        pos += u;
    }
    if (run < kConflictMarkerSize)
        return 0;
    if (c != '=' && pos < line.end && text.asciiAt(pos) != ' ' && text.asciiAt(pos) != '\t')
        return 0;
    return char(c);
}

// Whether a one-byte text may hold a marker line: the cheap test that every
// card without markers passes. A marker line holds seven of its character
// in a row; "<", ">" and "|" are in no card Save writes, "=" in a row seldom.
bool mayHoldMarkers(std::string_view bytes)
{
    for (const char c : {'<', '>', '|'})
        if (std::memchr(bytes.data(), c, bytes.size()))
            return true;
    return bytes.find("=======") != std::string_view::npos;
}

}  // namespace

std::optional<ConflictMarkers> ConflictMarkers::find(std::string_view bytes)
{
    const bool wide = bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF");
    if (!wide && !mayHoldMarkers(bytes))
        return std::nullopt;
    const TextLines text(bytes);
    ConflictMarkers found;
    found.lines_ = text.lines();
    found.bodyStart_ = text.bodyStart();
    Side state = Side::Outside;
    std::size_t current = 0;
    for (std::size_t i = 0; i < found.lines_.size(); ++i) {
        const char marker = markerOf(text, found.lines_[i]);
        Side side = state;
        if (marker) {
            side = Side::Marker;
            const std::size_t number = i + 1;
            if (marker == '<') {
                // A "<<<<<<<" inside a conflict starts the next one: git never nests them.
                current = found.conflictLines_.size();
                found.conflictLines_.push_back(number);
                state = Side::Ours;
            } else if (state == Side::Outside) {
                current = found.conflictLines_.size();
                found.conflictLines_.push_back(number);  // a stray marker line
            } else if (marker == '|') {
                state = Side::Base;
            } else if (marker == '=') {
                state = Side::Theirs;
            } else {
                state = Side::Outside;
            }
        }
        found.side_.push_back(side);
        found.conflictOf_.push_back(current);
    }
    if (found.conflictLines_.empty())
        return std::nullopt;
    found.bytes_ = std::string(bytes);
    return found;
}

template <class Keep> std::string ConflictMarkers::linesWhere(Keep keep) const
{
    std::string out = bytes_.substr(0, bodyStart_);
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (keep(i))
            out.append(bytes_, lines_[i].start, lines_[i].next - lines_[i].start);
    return out;
}

std::string ConflictMarkers::ours() const
{
    return linesWhere([this](std::size_t i) { return side_[i] == Side::Outside || side_[i] == Side::Ours; });
}

std::vector<std::size_t> ConflictMarkers::oursLineNumbers() const
{
    std::vector<std::size_t> numbers;
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (side_[i] == Side::Outside || side_[i] == Side::Ours)
            numbers.push_back(i + 1);
    return numbers;
}

std::string ConflictMarkers::withTheirs(std::size_t index) const
{
    return linesWhere([&](std::size_t i) {
        if (side_[i] == Side::Outside)
            return true;
        if (conflictOf_[i] != index)
            return side_[i] == Side::Ours;
        return side_[i] == Side::Theirs;
    });
}
