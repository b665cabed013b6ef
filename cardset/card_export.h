#pragma once

// The card set as a table to take elsewhere, every value as Load sees it.

#include "card_columns.h"

#include <string>
#include <vector>

// CSV: a UTF-8 byte-order mark (spreadsheet programs then read the Japanese
// text right), a header row of the column names, one record per card.
std::string cardsCsv(const std::vector<CardRow>& rows);

// JSON: an array with one object per card, the column names as its members,
// every value a string.
std::string cardsJson(const std::vector<CardRow>& rows);

// A JSON string literal of UTF-8 text (invalid sequences become U+FFFD).
std::string jsonString(std::string_view text);
