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

// The same a card at a time, for a set too large to hold: the CSV is
// csvStart() and then each card's record; the JSON is "[", each card's
// object (`first` for the first) and then jsonEnd().
std::string csvStart();
void appendCsvRecord(std::string& out, const CardRow& row);
void appendJsonObject(std::string& out, const CardRow& row, bool first);
std::string jsonEnd(bool empty);

// A JSON string literal of UTF-8 text (invalid sequences become U+FFFD).
std::string jsonString(std::string_view text);
