#pragma once

// The cards staged for a commit, as the pre-commit hook that git-setup
// installs hands them over on standard input: first the lines of
//   git diff --cached --raw --no-abbrev --no-renames --diff-filter=d -- <card folders>
// (every card added or changed, a moved one under its new name), then an
// empty line, then what
//   git cat-file --batch
// prints for the new object of each of those lines, in their order. The
// cards are checked as they are in the index, not in the work tree.

#include "card_file.h"

#include <string>
#include <string_view>
#include <vector>

struct StagedCard {
    enum class Kind { File, SymbolicLink, Submodule };
    std::string path;   // in the repository, "/" between folders
    std::string bytes;  // the staged content (a link's: where it leads)
    Kind kind = Kind::File;
};

// Reads the stream into `cards`.
// A problem when it is not such a stream; `cards` is then empty.
CardProblem readStagedCards(std::string_view stream, std::vector<StagedCard>& cards);

struct StagedReport {
    std::string text;  // "cards/003.ini:12: ...", one line per problem
    std::size_t refusedCards = 0;
};

// Every problem that keeps a staged card out of a commit: what Save refuses
// to write, conflict markers a merge left, and a card that is no file (a
// card in the repository is a file, as the editor writes one).
StagedReport checkStagedCards(const std::vector<StagedCard>& cards);
