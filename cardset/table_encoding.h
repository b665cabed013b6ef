#pragma once

// The text encoding of a card table as spreadsheet programs save it. "CSV
// UTF-8" has a byte-order mark; the plain "CSV" of Japanese Excel ("CSV
// (コンマ区切り)") is code page 932 without one; LibreOffice saves UTF-8
// without one. Tables are told apart field by field, as a table is read a
// record at a time.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

enum class TableEncoding {
    Utf8,   // with a byte-order mark, given, or all of it UTF-8 and no other reading
    Cp932,  // given, or every byte a code page 932 character and not all of it UTF-8
    Other,  // neither: its bytes stay as they are, and the fields not UTF-8 are refused
};

// "UTF-8", "Shift-JIS（コードページ932）"
const char* encodingName(TableEncoding encoding);

// A field of the table, in its encoding, made UTF-8 in place; false (and the
// field as good as it gets, invalid bytes as U+FFFD) when some byte is not a
// character of that encoding. Other is read as UTF-8.
bool decodeField(std::string& field, TableEncoding encoding);

// What the fields of a table without a byte-order mark say of its encoding,
// each read as UTF-8 and as code page 932.
class EncodingEvidence {
public:
    struct Place {
        std::size_t row = 0;    // 1-based, as CsvRecord numbers rows
        std::size_t field = 0;  // 1-based
        bool operator==(const Place&) const = default;
    };
    // The first field that reads as both, as different text.
    struct Difference {
        Place place;
        std::string asUtf8, asCp932;
        bool operator==(const Difference&) const = default;
    };

    void look(std::string_view field, Place place);

    // UTF-8 when all of it is UTF-8 and has no other reading (ASCII reads
    // the same either way); code page 932 when only that; Other when
    // neither; nullopt when it is both and the readings differ
    // (difference()): only the user can tell then.
    std::optional<TableEncoding> verdict() const;
    const std::optional<Difference>& difference() const { return difference_; }
    bool operator==(const EncodingEvidence&) const = default;

private:
    std::optional<Place> notUtf8_, notCp932_;
    std::optional<Difference> difference_;
};
