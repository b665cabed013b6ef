#pragma once

// The text encoding of a card table as spreadsheet programs save it. "CSV
// UTF-8" has a byte-order mark; the plain "CSV" of Japanese Excel ("CSV
// (コンマ区切り)") is code page 932 without one.

#include <string>
#include <string_view>

enum class TableEncoding {
    Utf8,   // with or without a byte-order mark
    Cp932,  // no byte-order mark, not UTF-8, every byte a code page 932 character
    Other,  // neither: its bytes stay as they are, and the rows are refused
};

struct TableText {
    std::string utf8;  // the table as UTF-8 (for Other, the bytes as read)
    TableEncoding encoding = TableEncoding::Utf8;
};

// A table with a byte-order mark, or valid as UTF-8, is UTF-8; otherwise it
// is read as code page 932 with the conversion that reads the cards.
TableText decodeTable(std::string_view bytes);

// "UTF-8", "Shift-JIS（コードページ932）"
const char* encodingName(TableEncoding encoding);
