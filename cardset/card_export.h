#pragma once

// The card set as a table to take elsewhere, every value as Load sees it.

#include "card_columns.h"
#include "card_set.h"

#include <functional>

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

// Where a table goes, a piece at a time.
using TableOutput = std::function<void(std::string_view piece)>;

// The CSV and the JSON of every card of the files, each handed to its output
// (an empty output: that table is not made) a card at a time, so a large set
// is never held whole; the cards are read and their rows made on worker
// threads. Returns one message for each card that could not be read, and
// one for each card a merge left with conflicts (its row is the ours side).
std::vector<std::string> exportCardSet(const std::vector<CardFile>& files, const TableOutput& csv,
    const TableOutput& json, const ProgressReport& progress = {});

// A JSON string literal of UTF-8 text (invalid sequences become U+FFFD).
std::string jsonString(std::string_view text);
