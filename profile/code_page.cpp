#include "code_page.h"

#include "code_page_system.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>

namespace profile {
namespace {

// Position of the first invalid UTF-8 sequence, or npos.
std::size_t firstInvalidUtf8(std::string_view s)
{
    std::size_t pos = 0;
    while (pos < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[pos]);
        if (b < 0x80) {
            ++pos;
            continue;
        }
        char32_t c;
        std::size_t n = decodeUtf8(s, pos, c);
        if (c == kReplacementChar && n == 1)
            return pos;
        pos += n;
    }
    return std::string_view::npos;
}

}  // namespace

std::size_t decodeUtf8(std::string_view s, std::size_t pos, char32_t& out)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char b = byte(pos);
    out = kReplacementChar;
    if (b < 0x80) {
        out = b;
        return 1;
    }
    std::size_t len;
    char32_t c;
    char32_t min;
    if (b >= 0xC2 && b <= 0xDF) {
        len = 2, c = b & 0x1F, min = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        len = 3, c = b & 0x0F, min = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        len = 4, c = b & 0x07, min = 0x10000;
    } else {
        return 1;
    }
    if (s.size() - pos < len)
        return 1;
    for (std::size_t i = 1; i < len; ++i) {
        unsigned char t = byte(pos + i);
        if ((t & 0xC0) != 0x80)
            return 1;
        c = (c << 6) | (t & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 1;
    out = c;
    return len;
}

namespace {

// Writes `c` as UTF-8 at `out`, which has room for four bytes; returns the end.
char* putUtf8(char* out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = kReplacementChar;
    if (c < 0x80) {
        *out++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *out++ = static_cast<char>(0xC0 | (c >> 6));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (c >> 12));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (c >> 18));
        *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

}  // namespace

void appendUtf8(std::string& out, char32_t c)
{
    char bytes[4];
    out.append(bytes, putUtf8(bytes, c));
}

namespace {

// The character code page 932 writes for `c` when it holds `c` only as a
// look-alike; `c` itself otherwise.
char32_t lookAlikeTarget(char32_t c)
{
    for (const LookAlike& l : cp932LookAlikes())
        if (l.written == c)
            return l.readBack;
    return c;
}

// What code page 932 makes of each character of the Basic Multilingual
// Plane, asked of the system once: a card set repeats the same few thousand
// characters many times. 0: not asked yet; kUnencodable; else the bytes'
// count (1 or 2) in the high half and the bytes in the low half.
constexpr std::uint32_t kUnencodable = 0xFFFFFFFF;
std::array<std::atomic<std::uint32_t>, 0x10000>& knownCharacters()
{
    static std::array<std::atomic<std::uint32_t>, 0x10000> known{};
    return known;
}

// Code page 932 for `c`; a look-alike gets the bytes Windows writes for it.
std::uint32_t cp932Of(char32_t c)
{
    std::atomic<std::uint32_t>* slot = c < 0x10000 ? &knownCharacters()[c] : nullptr;
    if (slot)
        if (const std::uint32_t known = slot->load(std::memory_order_relaxed))
            return known;
    // One character at a time, so a character that converts to nothing is
    // seen as well as one that does not convert.
    std::string utf8;
    appendUtf8(utf8, lookAlikeTarget(c));
    char buffer[8];
    const std::ptrdiff_t length = sys::toCp932(utf8, buffer);
    std::uint32_t result = kUnencodable;
    if (length == 1)
        result = 1u << 16 | static_cast<unsigned char>(buffer[0]);
    else if (length == 2)
        result = 2u << 16 | static_cast<unsigned char>(buffer[0]) << 8 | static_cast<unsigned char>(buffer[1]);
    if (slot)
        slot->store(result, std::memory_order_relaxed);
    return result;
}

}  // namespace

std::optional<char32_t> firstUnencodable(std::string_view utf8)
{
    for (std::size_t pos = 0; pos < utf8.size();) {
        if (static_cast<unsigned char>(utf8[pos]) < 0x80) {  // code page 932 holds all of ASCII
            ++pos;
            continue;
        }
        char32_t c;
        const std::size_t n = decodeUtf8(utf8, pos, c);
        if (c == kReplacementChar && n == 1)
            return kReplacementChar;  // not valid UTF-8
        if (cp932Of(c) == kUnencodable)
            return c;
        pos += n;
    }
    return std::nullopt;
}

std::optional<std::string> utf8ToCp932(std::string_view utf8)
{
    // Every character takes at most as many bytes in code page 932 as in UTF-8.
    std::string result;
    result.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto byte = static_cast<unsigned char>(utf8[pos]);
        if (byte < 0x80) {
            result += static_cast<char>(byte);
            ++pos;
            continue;
        }
        char32_t c;
        const std::size_t n = decodeUtf8(utf8, pos, c);
        if (c == kReplacementChar && n == 1)
            return std::nullopt;  // not valid UTF-8
        const std::uint32_t code = cp932Of(c);
        if (code == kUnencodable)
            return std::nullopt;
        if (code >> 16 == 2)
            result += static_cast<char>(code >> 8 & 0xFF);
        result += static_cast<char>(code & 0xFF);
        pos += n;
    }
    return result;
}

std::span<const LookAlike> cp932LookAlikes()
{
    // What iconv's CP932 (and Windows) makes of them; a test checks that no
    // other character of the Basic Multilingual Plane changes on the way.
    static constexpr LookAlike kLookAlikes[] = {
        {U'\u301C', U'\uFF5E'},  // WAVE DASH -> FULLWIDTH TILDE
        {U'\u2212', U'\uFF0D'},  // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS
        {U'\u2016', U'\u2225'},  // DOUBLE VERTICAL LINE -> PARALLEL TO
        {U'\u2014', U'\u2015'},  // EM DASH -> HORIZONTAL BAR
        {U'\u00A2', U'\uFFE0'},  // CENT SIGN -> FULLWIDTH CENT SIGN
        {U'\u00A3', U'\uFFE1'},  // POUND SIGN -> FULLWIDTH POUND SIGN
        {U'\u00AC', U'\uFFE2'},  // NOT SIGN -> FULLWIDTH NOT SIGN
        {U'\u00A5', U'\\'},      // YEN SIGN -> the byte 5C, read as REVERSE SOLIDUS
        {U'\u203E', U'~'},       // OVERLINE -> the byte 7E, read as TILDE
    };
    return kLookAlikes;
}

namespace {

// What code page 932 makes of each character (one byte, or a lead byte and
// its trail byte) as UTF-8, asked of the system once: a card set repeats the
// same few thousand characters many times. The bytes from the lowest, their
// count in the top byte; 0: not asked yet; kNoCharacter: none. Every
// character of code page 932 is in the Basic Multilingual Plane, so three
// bytes hold it.
constexpr std::uint32_t kNoCharacter = 0xFFFFFFFF;

std::uint32_t utf8Of(std::string_view bytes)
{
    static std::array<std::atomic<std::uint32_t>, 0x10000> known{};
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::atomic<std::uint32_t>& slot = known[bytes.size() == 2 ? byte(0) << 8 | byte(1) : byte(0)];
    std::uint32_t packed = slot.load(std::memory_order_relaxed);
    if (packed == 0) {
        packed = kNoCharacter;
        if (const char32_t c = sys::cp932Character(bytes); c != 0 && c < 0x10000) {
            char utf8[4];
            const auto n = std::uint32_t(putUtf8(utf8, c) - utf8);
            packed = n << 24;
            for (std::uint32_t i = 0; i < n; ++i)
                packed |= std::uint32_t(static_cast<unsigned char>(utf8[i])) << 8 * i;
        }
        slot.store(packed, std::memory_order_relaxed);
    }
    return packed;
}

}  // namespace

std::string cp932ToUtf8(std::string_view bytes, bool* allValid)
{
    if (allValid)
        *allValid = true;
    // ASCII is itself in code page 932: most values are nothing else.
    std::size_t pos = 0;
    while (pos < bytes.size() && static_cast<unsigned char>(bytes[pos]) < 0x80)
        ++pos;
    if (pos == bytes.size())
        return std::string(bytes);
    std::string result(3 * bytes.size(), '\0');  // a byte or two become at most three UTF-8 bytes
    char* out = std::copy_n(bytes.data(), pos, result.data());
    while (pos < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[pos]);
        if (lead < 0x80) {
            *out++ = static_cast<char>(lead);
            ++pos;
            continue;
        }
        // A byte that starts no character is U+FFFD for the character
        // Windows would see there (one byte, or a lead and a trail byte).
        const std::size_t n = cp932CharLength(bytes, pos);
        const std::uint32_t utf8 = utf8Of({bytes.data() + pos, n});
        pos += n;
        if (utf8 == kNoCharacter) {
            out = putUtf8(out, kReplacementChar);
            if (allValid)
                *allValid = false;
            continue;
        }
        // Three bytes always fit: what a byte or two became never takes more.
        out[0] = static_cast<char>(utf8), out[1] = static_cast<char>(utf8 >> 8), out[2] = static_cast<char>(utf8 >> 16);
        out += utf8 >> 24;
    }
    result.resize(std::size_t(out - result.data()));
    return result;
}

std::size_t cp932Width(char32_t c)
{
    if (c < 0x80)
        return 1;
    if (c == kReplacementChar || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    const std::uint32_t code = cp932Of(c);
    return code == kUnencodable ? 0 : code >> 16;
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian, bool* allValid)
{
    if (allValid)
        *allValid = true;
    const auto damaged = [&] {
        if (allValid)
            *allValid = false;
        return kReplacementChar;
    };
    std::string result;
    result.reserve(bytes.size() * 3 / 2 + 3);
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t i) -> char32_t {
        auto b0 = static_cast<unsigned char>(bytes[2 * i]);
        auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? (char32_t(b0) << 8 | b1) : (char32_t(b1) << 8 | b0);
    };
    for (std::size_t i = 0; i < units; ++i) {
        char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            char32_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(result, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(result, (u >= 0xD800 && u <= 0xDFFF) ? damaged() : u);
    }
    if (bytes.size() % 2)
        appendUtf8(result, damaged());
    return result;
}

std::string utf8ToUtf16(std::string_view utf8, bool bigEndian)
{
    std::string result;
    result.reserve(utf8.size() * 2);
    const auto put = [&](char32_t u) {
        char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        result += bigEndian ? hi : lo;
        result += bigEndian ? lo : hi;
    };
    for (std::size_t pos = 0; pos < utf8.size();) {
        char32_t c;
        pos += decodeUtf8(utf8, pos, c);
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
    return result;
}

std::string sanitizeUtf8(std::string_view bytes, bool* allValid)
{
    const bool valid = firstInvalidUtf8(bytes) == std::string_view::npos;
    if (allValid)
        *allValid = valid;
    if (valid)
        return std::string(bytes);
    std::string result;
    result.reserve(bytes.size() + 16);
    for (std::size_t pos = 0; pos < bytes.size();) {
        char32_t c;
        std::size_t n = decodeUtf8(bytes, pos, c);
        if (c == kReplacementChar && n == 1)
            appendUtf8(result, c);
        else
            result.append(bytes.substr(pos, n));
        pos += n;
    }
    return result;
}

}  // namespace profile
