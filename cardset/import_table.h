#pragma once

// The table an import reads, a record at a time, so that a table of any size
// is never held whole: its encoding (told by a byte-order mark, given as
// --encoding, or else told from its whole text, read once before the rows
// are), its header, then each row as a card. What is wrong with the table
// goes into the plan's problems, with its row and column.

#include "card_import.h"
#include "csv.h"
#include "table_encoding.h"
#include "table_input.h"

#include <optional>
#include <vector>

class ImportTable {
public:
    // `given`: the encoding the user gave; nullopt to tell it from the table.
    ImportTable(TableInput& input, std::optional<TableEncoding> given, std::size_t maxRecordBytes = kMaxCsvRecordBytes);

    // Tells the encoding and reads the header; false (told in `problems`)
    // when no row can be read: a table that reads as UTF-8 and as code page
    // 932 as different text is refused here, naming the first field that
    // differs.
    bool start(std::vector<ImportProblem>& problems);

    // The next row of a card, with its row in the table. False at the end of
    // the table and where it cannot be read further. A row with problems is
    // told and skipped, and so is a row of empty fields.
    bool next(CardRow& row, std::size_t& tableRow, std::vector<ImportProblem>& problems);

    TableEncoding encoding() const { return encoding_; }
    // The file could not be read (a problem of the system, not of the table).
    bool unreadable() const { return unreadable_; }

private:
    bool readFailed(std::vector<ImportProblem>& problems);
    std::optional<TableEncoding> tell(std::vector<ImportProblem>& problems);
    bool readRow(CardRow& row, std::vector<ImportProblem>& problems);
    void finish(std::vector<ImportProblem>& problems);

    TableInput& input_;
    std::optional<TableEncoding> given_;
    std::size_t maxRecordBytes_;
    std::optional<CsvReader> reader_;
    TableEncoding encoding_ = TableEncoding::Utf8;
    // When the encoding was told from the text: what the first reading saw,
    // and what the second sees, which must be the same (or the table was
    // changed in between).
    std::optional<EncodingEvidence> told_;
    EncodingEvidence seen_;
    std::vector<const CardColumn*> columns_;
    CsvRecord record_;
    bool unreadable_ = false;
};
