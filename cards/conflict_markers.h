#pragma once

// git's conflict markers in a card file. A merge that git could not finish
// leaves the file with both versions of each conflicting part between marker
// lines:
//
//   <<<<<<< ours
//   HP=25            the lines of this branch ("ours")
//   ||||||| base     (only in git's diff3 style: the common version)
//   =======
//   HP=30            the lines of the other branch
//   >>>>>>> theirs
//
// Such a file is never read as a card as it stands: everything that reads a
// card reads its "ours" side and says that conflicts are left. A marker line
// starts with at least 7 of "<", "|", "=" or ">" (git's marker size is 7
// unless set otherwise); after "<", "|" or ">" comes a blank or the line's
// end. Markers are found in the file's own encoding, UTF-16 as well.

#include "text_lines.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The least marker size git writes by default, and that a reader takes for one.
inline constexpr std::size_t kConflictMarkerSize = 7;

class ConflictMarkers {
public:
    // The markers of a file's bytes; nullopt when it holds no marker line
    // (a file without one is found so at the cost of one search for line ends).
    static std::optional<ConflictMarkers> find(std::string_view bytes);

    // The line of each conflict's "<<<<<<<" in file order; a marker line
    // outside any conflict counts as one of its own, at its line.
    const std::vector<std::size_t>& conflictLines() const { return conflictLines_; }

    // The file as it would be with each conflict's "ours" side alone: the
    // byte-order mark, the lines outside conflicts and those between
    // "<<<<<<<" and "|||||||" or "=======", byte for byte.
    std::string ours() const;
    // For each line of ours(), its line in the file.
    std::vector<std::size_t> oursLineNumbers() const;
    // ours(), but with the other side of conflict `index` (the lines between
    // "=======" and ">>>>>>>") in place of its own.
    std::string withTheirs(std::size_t index) const;

private:
    enum class Side : std::uint8_t { Outside, Ours, Base, Theirs, Marker };
    template <class Keep> std::string linesWhere(Keep keep) const;

    std::string bytes_;
    std::size_t bodyStart_ = 0;
    std::vector<TextLine> lines_;
    std::vector<Side> side_;               // per line
    std::vector<std::size_t> conflictOf_;  // per line: its conflict's index
    std::vector<std::size_t> conflictLines_;
};
