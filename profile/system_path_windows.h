#pragma once

// Windows' side of a path: UTF-8 inside the program, UTF-16 at the system's
// calls. Only the Windows files of the profile store include this.

#include <string>
#include <string_view>

namespace profile::sys {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The path as the *W calls take it: "/" becomes "\", and a long absolute
// path gets the "\\?\" form, so paths of more than 260 characters work.
std::wstring systemPath(const std::string& utf8);

// A Win32 error code as the errno value the rest of the program knows.
int errnoOf(unsigned long win32Error);

}  // namespace profile::sys
