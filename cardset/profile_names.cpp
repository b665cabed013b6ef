#include "profile_names.h"

#include "code_page.h"

namespace {

char32_t foldCase(char32_t c)
{
    if (c < 0x80)
        return c - U'A' < 26u ? c + 0x20 : c;
    if (c < 0xC0)
        return c;
    if (c <= 0xDE && c != 0xD7)
        return c + 0x20;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return c + 0x20;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c >= 0x2160 && c <= 0x216F)
        return c + 0x10;
    if (c >= 0x24B6 && c <= 0x24CF)
        return c + 0x1A;
    if (c >= 0xFF21 && c <= 0xFF3A)
        return c + 0x20;
    return c;
}

}  // namespace

std::string foldedName(std::string_view utf8)
{
    std::string folded;
    folded.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t c;
        pos += profile::decodeUtf8(utf8, pos, c);
        profile::appendUtf8(folded, foldCase(c));
    }
    return folded;
}
