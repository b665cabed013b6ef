#include "csv.h"

std::string csvRecord(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        const std::string& f = fields[i];
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            line += f;
            continue;
        }
        line += '"';
        for (char c : f) {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    }
    line += "\r\n";
    return line;
}

CsvTable parseCsv(std::string_view text)
{
    CsvTable table;
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());

    std::size_t row = 1;
    std::size_t pos = 0;
    const auto fail = [&](std::size_t field, std::string reason) {
        table.error = CsvError{row, field, std::move(reason)};
        return table;
    };
    const auto atLineEnd = [&](std::size_t p) {
        return p >= text.size() || text[p] == '\n' || (text[p] == '\r' && p + 1 < text.size() && text[p + 1] == '\n')
               || (text[p] == '\r' && p + 1 == text.size());
    };
    while (pos < text.size()) {
        if (atLineEnd(pos)) {  // an empty line is no record
            pos += text[pos] == '\r' ? 2 : 1;
            ++row;
            continue;
        }
        CsvRecord record;
        record.row = row;
        for (;;) {
            std::string field;
            if (pos < text.size() && text[pos] == '"') {
                ++pos;
                for (;;) {
                    const std::size_t quote = text.find('"', pos);
                    if (quote == std::string_view::npos)
                        return fail(record.fields.size() + 1, "「\"」で始まるフィールドが閉じられていません。");
                    field.append(text.substr(pos, quote - pos));
                    pos = quote + 1;
                    if (pos < text.size() && text[pos] == '"') {
                        field += '"';
                        ++pos;
                        continue;
                    }
                    break;
                }
                if (!atLineEnd(pos) && text[pos] != ',')
                    return fail(record.fields.size() + 1, "閉じる「\"」の後に「,」か改行がありません。");
            } else {
                const std::size_t end = text.find_first_of(",\n", pos);
                std::size_t stop = end == std::string_view::npos ? text.size() : end;
                if (stop > pos && text[stop - 1] == '\r' && (stop == text.size() || text[stop] == '\n'))
                    --stop;  // the CR of a CR LF
                field.assign(text.substr(pos, stop - pos));
                pos = stop;
            }
            record.fields.push_back(std::move(field));
            if (pos < text.size() && text[pos] == ',') {
                ++pos;
                continue;
            }
            break;
        }
        if (pos < text.size())
            pos += text[pos] == '\r' ? 2 : 1;
        table.records.push_back(std::move(record));
        ++row;
    }
    return table;
}
