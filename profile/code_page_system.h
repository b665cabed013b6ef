#pragma once

// The system's own code page 932 tables, one file per system: iconv on Linux
// (code_page_iconv.cpp), MultiByteToWideChar and WideCharToMultiByte on
// Windows (code_page_windows.cpp). code_page.cpp builds everything else on
// these two calls, so both systems write the same bytes for the same text.

#include <cstddef>
#include <string_view>

namespace profile::sys {

// Valid UTF-8 in code page 932, written at `out` (room for utf8.size()
// bytes). Returns the number of bytes written, or -1 when a character has no
// code of its own: never a best fit, a "?" or a dropped character.
std::ptrdiff_t toCp932(std::string_view utf8, char* out);

// The character that one code page 932 character's bytes (one byte, or a
// lead and a trail byte) stand for; 0 when they stand for none.
char32_t cp932Character(std::string_view bytes);

}  // namespace profile::sys
