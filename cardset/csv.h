#pragma once

// CSV as RFC 4180 has it and spreadsheet programs write it: fields separated
// by commas, records by CR LF (a bare LF is taken too), a field in double
// quotes when it holds a comma, a quote or a line break, a quote inside one
// doubled. A UTF-8 byte-order mark in front is written and skipped.

#include "table_input.h"

#include <cstddef>
#include <cstdint>
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

// The most a record may hold before its line break: far above the largest
// row a card makes (export writes at most 18,149 bytes for one), and what
// stops a table with a quote left open from being read whole into one field.
inline constexpr std::size_t kMaxCsvRecordBytes = std::size_t(1) << 20;

// The same a record at a time, from input that is never held whole: memory
// holds one record and one piece of the input. Only the bytes of the
// structure are looked at (, " CR LF), which are the same in UTF-8 and in
// code page 932, where no byte of a two-byte character is one of them.
class CsvReader {
public:
    explicit CsvReader(TableInput& input, std::size_t maxRecordBytes = kMaxCsvRecordBytes);

    // Whether the text starts with a UTF-8 byte-order mark (next() skips it).
    bool startsWithBom();

    // The next record into `record`, reusing its strings. False at the end
    // of the input (also when a read failed: the input's error()) and where
    // the text stops being CSV or a record holds more than maxRecordBytes
    // (error()); nothing more is read then.
    bool next(CsvRecord& record);
    const std::optional<CsvError>& error() const { return error_; }

private:
    bool fill();
    int peek(std::size_t ahead = 0);
    bool fail(std::size_t field, std::string reason);

    TableInput& input_;
    std::size_t maxRecordBytes_;
    std::string buffer_;          // the piece being read
    std::size_t pos_ = 0;         // the next byte of it to take
    std::uint64_t consumed_ = 0;  // the bytes before buffer_ taken
    bool ended_ = false;
    bool started_ = false;  // the byte-order mark has been looked for
    std::size_t row_ = 1;
    std::optional<CsvError> error_;
};
