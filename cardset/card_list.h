#pragma once

// The card set as a table for the terminal: a header line, then one line per
// card, the columns lined up by the width the characters take on screen (a
// Japanese character takes two). Columns that are empty in every card are
// left out, so a set without level 4 shows no level 4 columns.

#include "card_columns.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The table built card by card. The widths are known only when every card
// has been seen, so each card's values are kept until then, as they are
// shown and packed together (about half of what the card takes in memory).
class CardListTable {
public:
    CardListTable();
    // Takes the next card (the cards come in the order the table shows them).
    void add(const CardRow& row);
    // The whole table, handed to `out` a few kilobytes at a time.
    void write(const std::function<void(std::string_view)>& out) const;

private:
    void addValue(std::size_t column, std::string_view value);

    std::vector<std::string> blocks_;  // every card's shown values, each ended by a NUL; no card spans two blocks
    std::size_t rows_ = 0;
    std::array<std::size_t, kCardColumnCount> width_{};
    std::array<bool, kCardColumnCount> used_{};
};

std::string cardListTable(const std::vector<CardRow>& rows);

// Columns a terminal gives `utf8`; a control character counts as one blank.
std::size_t displayWidth(std::string_view utf8);

// A message safe to print on a terminal: a file name may hold any byte, and
// control characters (escape sequences among them) are shown escaped instead
// of being sent; line breaks and tabs stay (names in messages are escaped
// whole, see shownName).
std::string terminalSafe(std::string_view text);
