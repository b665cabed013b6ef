#pragma once

// Importing a card table (CSV, as export writes it and spreadsheet programs
// save it) into a card folder. Planning reads and checks everything and
// writes nothing; only a plan without problems is carried out, so one bad
// row leaves every card as it was.

#include "card_columns.h"

#include <string>
#include <string_view>
#include <vector>

// A problem of the table: its row (1-based, the header is row 1; 0 for the
// table as a whole), the column it is in (nullptr for the whole row) and why.
struct ImportProblem {
    std::size_t row = 0;
    const CardColumn* column = nullptr;
    std::string reason;
};

// "行3、列「Lv2.P」（レベル2の通常技のP）：reason"
std::string describe(const ImportProblem& problem);

enum class CardChange { New, Changed, Unchanged };

struct ImportCard {
    CardRow row;
    std::string path;
    CardChange change = CardChange::Unchanged;
};

struct ImportPlan {
    std::vector<ImportCard> cards;        // in the table's order
    std::vector<ImportProblem> problems;  // every one found; nothing may be written when any
    std::size_t count(CardChange change) const;
};

// Reads the table and compares each row with its card in `folder`. A row
// whose values are those Load reads from the card's file, or whose card Save
// would write as the very bytes the file holds, is unchanged: its file is
// not touched, whatever else it holds. A new or changed card must pass the
// checks Save makes (ID, code page 932, control characters, the read limit,
// a card file that may be replaced).
ImportPlan planImport(std::string_view csvText, const std::string& folder);

// Writes the new and changed cards of a plan without problems, each as Save
// writes it. Stops at the first card that cannot be written and returns its
// problem; `written` tells how many were written before.
CardProblem carryOut(const ImportPlan& plan, std::size_t& written);
