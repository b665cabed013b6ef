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

// Code page 932 to code points, as iconv converts: from `in` as far as the
// `room` code points at `out` go; advances `in`, `inLeft` and `out`. Returns
// 0 when all was converted, E2BIG when `out` is full, and EILSEQ (or EINVAL)
// at a character that is not valid code page 932, where `in` then stands.
int fromCp932(const char*& in, std::size_t& inLeft, char32_t*& out, std::size_t room);

}  // namespace profile::sys
