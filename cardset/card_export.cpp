#include "card_export.h"

#include "code_page.h"
#include "csv.h"
#include "read_ahead.h"

#include <cstdio>

namespace {

void appendJsonString(std::string& out, std::string_view text)
{
    // Copied only when it holds bytes that are not UTF-8, which card values never do.
    std::string sanitized;
    for (std::size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        char32_t c;
        const std::size_t n = profile::decodeUtf8(text, pos, c);
        if (c == profile::kReplacementChar && n == 1) {
            sanitized = profile::sanitizeUtf8(text);
            text = sanitized;
            break;
        }
        pos += n;
    }
    out += '"';
    std::size_t plain = 0;  // the start of the characters not yet written
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '"' && c != '\\' && static_cast<unsigned char>(c) >= 0x20)
            continue;
        out.append(text, plain, i - plain);
        plain = i + 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        }
        }
    }
    out.append(text, plain);
    out += '"';
}

// A CSV field: in quotes when it holds a comma, a quote or a line break.
void appendCsvField(std::string& out, std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

std::string jsonString(std::string_view text)
{
    std::string out;
    appendJsonString(out, text);
    return out;
}

void appendJsonObject(std::string& out, const CardRow& row, bool first)
{
    // The members' names, quoted once.
    static const std::vector<std::string> names = [] {
        std::vector<std::string> quoted;
        for (const CardColumn& column : cardColumns())
            quoted.push_back(jsonString(column.name) + ": ");
        return quoted;
    }();
    out += first ? "\n  {" : ",\n  {";
    char digit = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += names[i];
        appendJsonString(out, valueAt(row, cardColumns()[i], digit));
    }
    out += '}';
}

std::string jsonEnd(bool empty) { return empty ? "]\n" : "\n]\n"; }

std::string cardsJson(const std::vector<CardRow>& rows)
{
    std::string out = "[";
    for (std::size_t r = 0; r < rows.size(); ++r)
        appendJsonObject(out, rows[r], r == 0);
    return out + jsonEnd(rows.empty());
}

std::string csvStart()
{
    std::vector<std::string> header;
    for (const CardColumn& column : cardColumns())
        header.push_back(column.name);
    return std::string(kUtf8Bom) + csvRecord(header);
}

void appendCsvRecord(std::string& out, const CardRow& row)
{
    char digit = 0;
    for (std::size_t i = 0; i < kCardColumnCount; ++i) {
        if (i > 0)
            out += ',';
        appendCsvField(out, valueAt(row, cardColumns()[i], digit));
    }
    out += "\r\n";
}

std::string cardsCsv(const std::vector<CardRow>& rows)
{
    std::string csv = csvStart();
    for (const CardRow& row : rows)
        appendCsvRecord(csv, row);
    return csv;
}

std::vector<std::string> exportCardSet(
    const std::vector<CardFile>& files, const TableOutput& csv, const TableOutput& json, const ProgressReport& progress)
{
    struct Rows {
        CardProblem problem;
        std::vector<CardConflict> conflicts;
        std::string csv, json;
    };
    std::vector<std::string> problems;
    std::size_t written = 0;
    if (csv)
        csv(csvStart());
    if (json)
        json("[");
    readAhead<Rows>(
        files.size(),
        [&](std::size_t i, Rows& rows) {
            CardRow row{files[i].id, {}};
            rows.problem = readCard(files[i].path, row.card, nullptr, nullptr, &rows.conflicts);
            if (rows.problem)
                return;
            if (csv)
                appendCsvRecord(rows.csv, row);
            if (json)
                appendJsonObject(rows.json, row, false);  // the first one loses its comma below
        },
        [&](std::size_t i, Rows& rows) {
            if (progress && i % 64 == 0)
                progress(i, files.size());
            if (rows.problem) {  // the last line speaks of the window
                problems.push_back(rows.problem->substr(0, rows.problem->rfind('\n')));
                return;
            }
            if (!rows.conflicts.empty())
                problems.push_back(unresolvedConflicts(files[i].path, rows.conflicts));
            if (csv)
                csv(rows.csv);
            if (json)
                json(std::string_view(rows.json).substr(written == 0 ? 1 : 0));
            ++written;
        });
    if (progress)
        progress(files.size(), files.size());
    if (json)
        json(jsonEnd(written == 0));
    return problems;
}
