#pragma once

// The cards staged for a commit, as the pre-commit hook that git-setup
// installs hands them over on standard input: first the lines of
//   git diff --cached --raw --no-abbrev --diff-filter=ACM -- <card folders>
// then an empty line, then what
//   git cat-file --batch
// prints for the new object of each of those lines, in their order. The
// cards are checked as they are in the index, not in the work tree.

#include "card_file.h"

#include <string>
#include <string_view>
#include <vector>

struct StagedCard {
    std::string path;   // in the repository, "/" between folders
    std::string bytes;  // the staged content
};

// Reads the stream into `cards` (symbolic links and submodules left out).
// A problem when it is not such a stream; `cards` is then empty.
CardProblem readStagedCards(std::string_view stream, std::vector<StagedCard>& cards);

struct StagedReport {
    std::string text;  // "cards/003.ini:12: ...", one line per problem
    std::size_t refusedCards = 0;
};

// Every problem that keeps a staged card out of a commit: what Save refuses
// to write, and conflict markers a merge left.
StagedReport checkStagedCards(const std::vector<StagedCard>& cards);
