#include "card_list.h"

#include "code_page.h"

#include <cstdio>

namespace {

// Columns a character takes in a terminal, the same on every system: what a
// Japanese console gives it (its width in code page 932, which all card
// text has), and for other characters two in the East Asian wide blocks
// (hangul, CJK beyond code page 932, emoji), one elsewhere.
std::size_t columnsOf(char32_t c)
{
    if (const std::size_t bytes = profile::cp932Width(c))
        return bytes;
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
                      || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
                      || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1FAFF)
                      || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

// Control characters (a tab is the only one Save lets through) would break
// the columns; they are shown as blanks.
std::string shown(std::string_view value)
{
    std::string out = profile::sanitizeUtf8(value);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return out;
}

}  // namespace

std::size_t displayWidth(std::string_view utf8)
{
    std::size_t width = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t c;
        pos += profile::decodeUtf8(utf8, pos, c);
        width += c < 0x80 ? 1 : columnsOf(c);
    }
    return width;
}

std::string terminalSafe(std::string_view text)
{
    const std::string utf8 = profile::sanitizeUtf8(text);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t c;
        const std::size_t n = profile::decodeUtf8(utf8, pos, c);
        if ((c < 0x20 && c != U'\n' && c != U'\t') || (c >= 0x7F && c < 0xA0)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out.append(utf8, pos, n);
        }
        pos += n;
    }
    return out;
}

std::string cardListTable(const std::vector<CardRow>& rows)
{
    const auto& columns = cardColumns();
    std::vector<std::vector<std::string>> cells;
    cells.reserve(rows.size() + 1);
    std::vector<std::string> header;
    for (const CardColumn& column : columns)
        header.push_back(column.name);
    cells.push_back(std::move(header));
    for (const CardRow& row : rows) {
        std::vector<std::string> values = rowValues(row);
        for (std::string& v : values)
            v = shown(v);
        cells.push_back(std::move(values));
    }

    std::vector<std::size_t> width(columns.size(), 0);
    std::vector<bool> used(columns.size(), false);
    used[0] = true;  // the ID, even an empty one
    for (std::size_t r = 0; r < cells.size(); ++r)
        for (std::size_t i = 0; i < columns.size(); ++i) {
            width[i] = std::max(width[i], displayWidth(cells[r][i]));
            if (r > 0 && !cells[r][i].empty())
                used[i] = true;
        }

    std::string out;
    for (const auto& line : cells) {
        std::string text;
        std::size_t pending = 0;  // blanks owed to the previous column, left out at the line's end
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (!used[i])
                continue;
            if (i > 0)
                pending += 2;
            if (line[i].empty()) {
                pending += width[i];
                continue;
            }
            text.append(pending, ' ');
            text += line[i];
            pending = width[i] - displayWidth(line[i]);
        }
        out += text;
        out += '\n';
    }
    return out;
}
