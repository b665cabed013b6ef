#pragma once

// Finding what in a card file a Windows program or the editor would read
// differently from what the file says, or what the editor's next Save of the
// card would lose.

#include "card_set.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct CheckFinding {
    std::size_t line = 0;  // 1-based; 0 for the file as a whole
    std::string message;
    // Save refuses to write it (bytes that are not code page 932, a value
    // over 255 bytes, a control character, a bad ID), or a merge left its
    // conflict markers: such a card is kept out of a commit.
    bool refused = false;
};

// The findings of one card file's bytes, in line order (the file's own first).
// A file with conflict markers is told so at each conflict's "<<<<<<<" and
// checked as its "ours" side, as everything that reads a card reads it.
// `card`, when given, receives the card Load reads from the same bytes.
std::vector<CheckFinding> checkCardText(std::string_view id, const std::string& bytes, Card* card = nullptr);

struct CheckReport {
    std::string text;                     // "003.ini:12: ...", one line per finding, card by card
    std::vector<std::string> unreadable;  // the cards that could not be read, one message each
    std::size_t cards = 0;
    std::size_t cardsWithFindings = 0;
    std::string summary;  // one line for the end of the report
    bool clean() const { return cardsWithFindings == 0 && unreadable.empty(); }
};

// Every card as forEachCard hands it on, with check's findings of the same
// bytes (each file is read once): a card with conflict markers is told by its
// findings, not by a problem message. `problems` gets one message for each
// card that could not be read.
void forEachCheckedCard(const std::vector<CardFile>& files,
    const std::function<void(const CardRow&, const std::vector<CheckFinding>&)>& visit,
    std::vector<std::string>& problems, const ProgressReport& progress = {});

CheckReport checkCardSet(const std::vector<CardFile>& files, const ProgressReport& progress = {});
