#pragma once

// The three-way merge of a card file, key by key, for git's merge driver.
// Each side is read as the profile store reads it: the first section of a
// name and the first key of a name in it count, names match without regard
// to letter case, and a key that is missing is a value of its own. A key
// changed on one side takes that side; the same change on both is taken
// once; a key changed differently on the two sides (or changed on one and
// removed on the other) is a conflict. The extended move's "S" is merged by
// its four parts when all three sides hold one the editor can show.

#include "card_file.h"
#include "conflict_markers.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MergeConflict {
    std::string field;  // as users know it: "レベル1のMaxHP"; another key: "[Lv1]のキー「X」"
    std::optional<std::string> base, ours, theirs;  // its values; nullopt: no such key
    std::string reason;                             // why it conflicts, when the values alone do not tell
};

struct MergeOutcome {
    std::string bytes;                     // what OURS is to hold
    std::vector<MergeConflict> conflicts;  // empty: a clean merge
    CardProblem problem;                   // the files cannot be merged: OURS is to stay as it is
};

// Merges the bytes of the common version, ours and theirs (an empty file
// stands for a card that was not there). When every side holds only what
// Save writes, a clean result is the very bytes Save writes for the merged
// card; otherwise it is ours with theirs' changes made by the profile
// writer's edits, so that nothing else either side holds is lost. Read back,
// a clean result gives exactly the merged keys; a key it would not give is
// a conflict. A conflict leaves the merged keys plus, around each
// conflicting key's line only, git's markers of `markerSize` characters in
// the file's own encoding and line ends.
MergeOutcome mergeCardFiles(
    const std::string& base, const std::string& ours, const std::string& theirs, std::size_t markerSize);

// One line for a conflict: "レベル1のMaxHP（元「20」、こちら「25」、相手「30」）".
std::string describe(const MergeConflict& conflict);
