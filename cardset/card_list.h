#pragma once

// The card set as a table for the terminal: a header line, then one line per
// card, the columns lined up by the width the characters take on screen (a
// Japanese character takes two). Columns that are empty in every card are
// left out, so a set without level 4 shows no level 4 columns.

#include "card_columns.h"

#include <string>
#include <vector>

std::string cardListTable(const std::vector<CardRow>& rows);

// Columns a terminal gives `utf8`; a control character counts as one blank.
std::size_t displayWidth(std::string_view utf8);

// A message safe to print on a terminal: a file name may hold any byte, and
// control characters (escape sequences among them) are shown as \xNN instead
// of being sent; line breaks and tabs stay. Invalid UTF-8 becomes U+FFFD.
std::string terminalSafe(std::string_view text);
