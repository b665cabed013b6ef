#include "card_export.h"

#include "code_page.h"
#include "csv.h"

#include <cstdio>

std::string jsonString(std::string_view text)
{
    const std::string utf8 = profile::sanitizeUtf8(text);
    std::string out = "\"";
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

std::string cardsJson(const std::vector<CardRow>& rows)
{
    const auto& columns = cardColumns();
    std::string out = "[";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        out += r == 0 ? "\n  {" : ",\n  {";
        const std::vector<std::string> values = rowValues(rows[r]);
        for (std::size_t i = 0; i < columns.size(); ++i) {
            out += i == 0 ? "" : ", ";
            out += jsonString(columns[i].name);
            out += ": ";
            out += jsonString(values[i]);
        }
        out += '}';
    }
    out += rows.empty() ? "]\n" : "\n]\n";
    return out;
}

std::string cardsCsv(const std::vector<CardRow>& rows)
{
    std::string csv(kUtf8Bom);
    std::vector<std::string> header;
    for (const CardColumn& column : cardColumns())
        header.push_back(column.name);
    csv += csvRecord(header);
    for (const CardRow& row : rows)
        csv += csvRecord(rowValues(row));
    return csv;
}
