#include "card_list.h"

#include "code_page.h"
#include "shown_name.h"

#include <array>
#include <cstdio>

namespace {

constexpr std::size_t kBlockBytes = 1 << 20;
constexpr std::size_t kOutputBytes = 64 << 10;

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

// Appends the value as the table shows it and returns the columns it takes:
// control characters (a tab is the only one Save lets through) would break
// the columns and are shown as blanks, invalid UTF-8 as U+FFFD.
std::size_t appendShown(std::string& out, std::string_view value)
{
    std::size_t width = 0;
    for (std::size_t pos = 0; pos < value.size();) {
        const auto byte = static_cast<unsigned char>(value[pos]);
        if (byte >= 0x20 && byte < 0x7F) {  // a run of printable ASCII, one column each
            std::size_t end = pos + 1;
            while (end < value.size() && value[end] >= 0x20 && value[end] < 0x7F)
                ++end;
            out.append(value, pos, end - pos);
            width += end - pos;
            pos = end;
            continue;
        }
        if (byte < 0x80) {
            out += ' ';
            ++width;
            ++pos;
            continue;
        }
        char32_t c;
        const std::size_t n = profile::decodeUtf8(value, pos, c);
        if (c < 0xA0) {
            out += ' ';  // a C1 control character
            ++width;
        } else {
            if (c == profile::kReplacementChar)
                profile::appendUtf8(out, c);
            else
                out.append(value, pos, n);
            width += columnsOf(c);
        }
        pos += n;
    }
    return width;
}

}  // namespace

std::size_t displayWidth(std::string_view utf8)
{
    std::size_t width = 0;
    for (std::size_t pos = 0; pos < utf8.size();) {
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {
            ++width;
            ++pos;
            continue;
        }
        char32_t c;
        pos += profile::decodeUtf8(utf8, pos, c);
        width += columnsOf(c);
    }
    return width;
}

std::string terminalSafe(std::string_view text) { return shownText(text); }

CardListTable::CardListTable()
{
    used_[0] = true;  // the ID, even an empty one
    for (std::size_t i = 0; i < kCardColumnCount; ++i)
        width_[i] = displayWidth(cardColumns()[i].name);
}

// Each value is kept as its width (two bytes) and its text, ended by a NUL.
void CardListTable::addValue(std::size_t column, std::string_view value)
{
    std::string& block = blocks_.back();
    const std::size_t start = block.size();
    block.append(2, '\0');
    const std::size_t width = std::min<std::size_t>(appendShown(block, value), 0xFFFF);
    block[start] = static_cast<char>(width & 0xFF);
    block[start + 1] = static_cast<char>(width >> 8);
    block += '\0';
    if (block.size() == start + 3)
        return;
    used_[column] = true;
    width_[column] = std::max(width_[column], width);
}

void CardListTable::add(const CardRow& row)
{
    if (blocks_.empty() || blocks_.back().size() > kBlockBytes - 4096) {
        blocks_.emplace_back();
        blocks_.back().reserve(kBlockBytes);
    }
    // The ID is a file name: its control characters are shown escaped.
    addValue(0, shownName(row.id));
    char digit = 0;
    for (std::size_t i = 1; i < kCardColumnCount; ++i)
        addValue(i, valueAt(row, cardColumns()[i], digit));
    ++rows_;
}

void CardListTable::write(const std::function<void(std::string_view)>& out) const
{
    struct Cell {
        std::string_view text;
        std::size_t width;
    };
    std::string text;
    text.reserve(kOutputBytes + 4096);
    // One line: the columns used, each padded to its width; the blanks owed
    // to empty cells at the line's end are left out.
    const auto line = [&](const Cell* cells) {
        std::size_t pending = 0;
        for (std::size_t i = 0; i < kCardColumnCount; ++i) {
            if (!used_[i])
                continue;
            if (i > 0)
                pending += 2;
            if (cells[i].text.empty()) {
                pending += width_[i];
                continue;
            }
            text.append(pending, ' ');
            text += cells[i].text;
            pending = width_[i] - cells[i].width;
        }
        text += '\n';
        if (text.size() >= kOutputBytes) {
            out(text);
            text.clear();
        }
    };
    Cell cells[kCardColumnCount];
    for (std::size_t i = 0; i < kCardColumnCount; ++i)
        cells[i] = {cardColumns()[i].name, displayWidth(cardColumns()[i].name)};
    line(cells);
    for (const std::string& block : blocks_) {
        for (std::size_t pos = 0; pos < block.size();) {
            for (Cell& cell : cells) {
                cell.width = static_cast<unsigned char>(block[pos]) | static_cast<unsigned char>(block[pos + 1]) << 8;
                const std::size_t end = block.find('\0', pos + 2);
                cell.text = std::string_view(block).substr(pos + 2, end - pos - 2);
                pos = end + 1;
            }
            line(cells);
        }
    }
    if (!text.empty())
        out(text);
}

std::string cardListTable(const std::vector<CardRow>& rows)
{
    CardListTable table;
    for (const CardRow& row : rows)
        table.add(row);
    std::string text;
    table.write([&](std::string_view piece) { text += piece; });
    return text;
}
