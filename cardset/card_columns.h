#pragma once

// The card set as a table: one row per card, one column per value of the
// card file. The column names are the file's own: the header keys as they
// are ("rare"), a level's keys after their section ("Lv2.P").

#include "card_fields.h"
#include "card_file.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// A card with the ID its file is named after.
struct CardRow {
    std::string id;
    Card card;
};

struct CardColumn {
    std::string name;     // "ID", "rare", "Lv2.P"
    std::string section;  // the file's section, "head" or "Lv1" to "Lv4"; empty for the ID
    std::string key;      // the key in that section; empty for the ID
    int level;            // 1 to 4 for a level's value, 0 otherwise
    CardField field;      // how the user knows the value
};

inline constexpr std::size_t kCardColumnCount = 5 + 4 * 5;

// ID, rare, maxlv, minlv, super, then HP, P, 1, S, 2 of each level.
const std::array<CardColumn, kCardColumnCount>& cardColumns();

// The column of a section and key of the card file; nullptr for any other.
const CardColumn* columnOf(std::string_view section, std::string_view key);

// The column as a message names it: "列「Lv2.P」".
std::string columnLabel(const CardColumn& column);

// The value as the user knows it from the window: "レベル2の通常技のP".
std::string fieldOf(const CardColumn& column);

// Every value of the row, in column order. The super mode is its number,
// or empty when the file holds none that the editor would select.
std::vector<std::string> rowValues(const CardRow& row);

// One of them without a copy; the super mode's digit is kept in `digit`.
std::string_view valueAt(const CardRow& row, const CardColumn& column, char& digit);

// Sets one value from its text. Returns a problem (and keeps the row as it
// was) for a super mode that is neither empty nor a number from 0 to 3.
CardProblem setRowValue(CardRow& row, const CardColumn& column, std::string value);
