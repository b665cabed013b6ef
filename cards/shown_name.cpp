#include "shown_name.h"

#include "code_page.h"

#include <cstdio>

namespace {

void appendEscaped(std::string& out, const char* format, unsigned code)
{
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, format, code);
    out += escaped;
}

std::string escaped(std::string_view text, bool keepLines)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        char32_t c;
        const std::size_t n = profile::decodeUtf8(text, pos, c);
        const bool invalid = c == profile::kReplacementChar && text.substr(pos, n) != "\xEF\xBF\xBD";
        if (invalid)
            appendEscaped(out, "\\x%02x", static_cast<unsigned char>(text[pos]));
        else if (keepLines && (c == U'\n' || c == U'\t'))
            out += static_cast<char>(c);
        else if (c == U'\n')
            out += "\\n";
        else if (c == U'\r')
            out += "\\r";
        else if (c == U'\t')
            out += "\\t";
        else if (c < 0x20 || c == 0x7F)
            appendEscaped(out, "\\x%02x", static_cast<unsigned>(c));
        else if (c >= 0x80 && c < 0xA0)
            appendEscaped(out, "\\u%04x", static_cast<unsigned>(c));
        else
            out.append(text.substr(pos, n));
        pos += n;
    }
    return out;
}

}  // namespace

std::string shownName(std::string_view name) { return escaped(name, false); }

std::string shownText(std::string_view text) { return escaped(text, true); }
