#pragma once

// CSV as RFC 4180 has it and spreadsheet programs write it: fields separated
// by commas, records by CR LF (a bare LF is taken too), a field in double
// quotes when it holds a comma, a quote or a line break, a quote inside one
// doubled. A UTF-8 byte-order mark in front is written and skipped.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// One record followed by CR LF.
std::string csvRecord(const std::vector<std::string>& fields);

struct CsvRecord {
    std::size_t row = 0;  // 1-based, as a spreadsheet numbers its rows: a line break in quotes starts none
    std::vector<std::string> fields;
};

// Where the text stops being CSV: row and field (1-based) and why.
struct CsvError {
    std::size_t row = 0;
    std::size_t field = 0;
    std::string reason;
};

struct CsvTable {
    std::vector<CsvRecord> records;
    std::optional<CsvError> error;  // the records before it are kept
};

// Splits the text into records. Empty lines are skipped (they still count as
// rows). Fields keep their bytes as they are, line breaks inside quotes included.
CsvTable parseCsv(std::string_view text);
