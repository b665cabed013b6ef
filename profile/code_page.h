#pragma once

// Text conversion between UTF-8 (how the program holds strings) and the card
// files' code page, Windows code page 932 (Shift-JIS as Japanese Windows
// writes it), plus the UTF-8 / UTF-16 helpers the profile service needs for
// files that start with a byte-order mark. The code page tables are iconv's
// ("CP932"); nothing here carries its own table.
//
// Code page 932 holds a few characters only as a look-alike: they are written
// as the bytes Windows writes for them and read back as another character
// (cp932LookAlikes() lists them). Every other character code page 932 holds
// reads back as itself.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace profile {

inline constexpr char32_t kReplacementChar = U'\uFFFD';

// The first character of `utf8` that code page 932 cannot hold, or nullopt
// when all of it can be written. A byte sequence that is not valid UTF-8
// counts as U+FFFD, which code page 932 cannot hold either. A character that
// the conversion would drop without a trace (the tag characters U+E0000 to
// U+E007F) counts as one it cannot hold.
std::optional<char32_t> firstUnencodable(std::string_view utf8);

// `utf8` in code page 932; nullopt when firstUnencodable() finds a character.
// Never substitutes "?" for a character nor drops one; the look-alikes below
// are written as Windows writes them.
std::optional<std::string> utf8ToCp932(std::string_view utf8);

// A character that code page 932 holds only as another one.
struct LookAlike {
    char32_t written;   // what the user typed
    char32_t readBack;  // what the bytes written for it read back as
};

// All of them: 〜 − ‖ — ¢ £ ¬ ¥ ‾ come back as ～ － ∥ ― ￠ ￡ ￢ \ ~.
std::span<const LookAlike> cp932LookAlikes();

// Code page 932 bytes as UTF-8. Each byte that does not start a valid
// character becomes U+FFFD; a lead byte followed by a trail byte is one
// character, so an unmapped two-byte code becomes a single U+FFFD.
// `allValid`, when given, tells whether no byte needed that.
std::string cp932ToUtf8(std::string_view bytes, bool* allValid = nullptr);

// Length in bytes of the code page 932 character starting at bytes[pos]:
// 2 for a lead byte followed by a trail byte, 1 otherwise (also for a lead
// byte at the end). This is how Windows steps through ANSI text, so the ASCII
// structure characters of a profile line ("[", "]", "=", ";") are only seen
// at character boundaries, never inside a two-byte character.
inline std::size_t cp932CharLength(std::string_view bytes, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    if (lead < 0x81 || (lead > 0x9F && lead < 0xE0) || lead > 0xFC || pos + 1 >= bytes.size())
        return 1;
    const auto trail = static_cast<unsigned char>(bytes[pos + 1]);
    return (trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC) ? 2 : 1;
}

// Bytes code page 932 needs for `c`: 1 or 2, or 0 when it cannot hold it.
std::size_t cp932Width(char32_t c);

// Decodes one UTF-8 character at utf8[pos]; returns its length (at least 1)
// and stores the code point, or U+FFFD for an invalid sequence (overlong,
// surrogate, beyond U+10FFFF, truncated), which then spans one byte.
std::size_t decodeUtf8(std::string_view utf8, std::size_t pos, char32_t& out);

// Appends `c` to `out` as UTF-8.
void appendUtf8(std::string& out, char32_t c);

// UTF-16 (little or big endian) bytes as UTF-8. Lone surrogates and a last
// odd byte become U+FFFD (`allValid`, when given, tells whether none did).
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian, bool* allValid = nullptr);

// Valid UTF-8 as UTF-16 bytes (invalid sequences become U+FFFD).
std::string utf8ToUtf16(std::string_view utf8, bool bigEndian);

// UTF-8 bytes as UTF-8 with every invalid sequence replaced by U+FFFD
// (`allValid`, when given, tells whether there was none).
std::string sanitizeUtf8(std::string_view bytes, bool* allValid = nullptr);

}  // namespace profile
