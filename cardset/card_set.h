#pragma once

// The card files of a folder and reading them all, each as Load reads it.

#include "card_columns.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct CardFile {
    std::string id;  // the file name without ".ini"
    std::string path;
};

// Told how many of how many cards are done, now and then during a long run.
using ProgressReport = std::function<void(std::size_t done, std::size_t total)>;

// The ID of every *.ini in the folder (not the folders among them), handed
// to `visit` in the folder's own order. A problem when the folder cannot be
// read.
CardProblem listCardIds(const std::string& folder, const std::function<void(std::string_view id)>& visit);

// Every *.ini in the folder (not the folders among them), sorted by ID byte
// for byte. A problem when the folder cannot be read; `files` is then empty.
CardProblem findCardFiles(const std::string& folder, std::vector<CardFile>& files);

struct CardSet {
    std::vector<CardRow> rows;          // the cards that could be read, in the files' order
    std::vector<std::string> problems;  // one message for each card that could not
};

// The message for a card file that holds unresolved merge conflicts.
std::string unresolvedConflicts(const std::string& path, const std::vector<CardConflict>& conflicts);

// A card's read problem as the card set tells it: without the last line, which speaks of the window.
std::string cardSetProblem(const std::string& readProblem);

CardSet readCardSet(const std::vector<CardFile>& files, const ProgressReport& progress = {});

// Reads the cards one after another, each handed to `visit` and then let go,
// so a large set is never held whole: the rows come in the files' order, one
// problem message for each card that could not be read. A card that a merge
// left with conflicts is handed on as Load reads it (its "ours" side), with
// a problem message that says so.
void forEachCard(const std::vector<CardFile>& files, const std::function<void(const CardRow&)>& visit,
    std::vector<std::string>& problems, const ProgressReport& progress = {});
