#include "card_show.h"

#include "code_page.h"
#include "text_lines.h"

#include <cstdio>

namespace {

void appendEscaped(std::string& out, std::string_view bytes)
{
    for (const char c : bytes) {
        char code[8];
        std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
        out += code;
    }
}

// A control character other than a tab, a mark that reorders text shown
// right to left and left to right, or a line or paragraph separator: each
// could make a line of git's diff show other text or look like two lines.
bool isControl(char32_t c)
{
    return (c < 0x20 && c != U'\t') || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x61C || c == 0x200E || c == 0x200F
           || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Whether UTF-8 text holds such a character, told by its first bytes.
bool holdsControl(std::string_view utf8)
{
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x20 || byte == 0x7F || byte == 0xC2 || byte == 0xD8 || byte == 0xE2) {
            char32_t c = 0;
            profile::decodeUtf8(utf8, i, c);
            if (isControl(c))
                return true;
        }
    }
    return false;
}

// One character's bytes in the file's encoding, as UTF-8 or escaped.
void appendCharacter(std::string& out, std::string_view bytes, profile::Encoding encoding)
{
    bool valid = true;
    std::string utf8;
    switch (encoding) {
    case profile::Encoding::Cp932: utf8 = profile::cp932ToUtf8(bytes, &valid); break;
    case profile::Encoding::Utf8: utf8 = profile::sanitizeUtf8(bytes, &valid); break;
    case profile::Encoding::Utf16LE: utf8 = profile::utf16ToUtf8(bytes, false, &valid); break;
    case profile::Encoding::Utf16BE: utf8 = profile::utf16ToUtf8(bytes, true, &valid); break;
    }
    char32_t c = 0;
    if (valid && !utf8.empty())
        profile::decodeUtf8(utf8, 0, c);
    if (!valid || utf8.empty() || isControl(c))
        appendEscaped(out, bytes);
    else
        out += utf8;
}

// The length of the character at `pos` in the file's encoding (its bytes, never past `end`).
std::size_t characterLength(std::string_view bytes, std::size_t pos, std::size_t end, profile::Encoding encoding)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    switch (encoding) {
    case profile::Encoding::Cp932: return profile::cp932CharLength(bytes.substr(0, end), pos);
    case profile::Encoding::Utf8: {
        char32_t c;
        return profile::decodeUtf8(bytes.substr(0, end), pos, c);
    }
    default: {
        if (pos + 2 > end)
            return end - pos;
        const unsigned unit
            = encoding == profile::Encoding::Utf16LE ? byte(pos) | byte(pos + 1) << 8 : byte(pos) << 8 | byte(pos + 1);
        return unit >= 0xD800 && unit < 0xDC00 && pos + 4 <= end ? 4 : 2;
    }
    }
}

}  // namespace

std::string cardFileText(std::string_view bytes)
{
    const TextLines lines(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (const TextLine& line : lines.lines()) {
        const std::string_view text = bytes.substr(line.start, line.end - line.start);
        bool valid = true;
        // A line of plain text in one conversion; one with anything odd character by character.
        std::string utf8;
        if (lines.encoding() == profile::Encoding::Cp932)
            utf8 = profile::cp932ToUtf8(text, &valid);
        else
            valid = false;
        if (valid && !holdsControl(utf8)) {
            out += utf8;
        } else {
            for (std::size_t pos = line.start; pos < line.end;) {
                const std::size_t n = characterLength(bytes, pos, line.end, lines.encoding());
                appendCharacter(out, bytes.substr(pos, n), lines.encoding());
                pos += n;
            }
        }
        if (line.next > line.end)
            out += '\n';
    }
    return out;
}
