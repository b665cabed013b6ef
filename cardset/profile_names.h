#pragma once

// Section and key names as the profile store matches them: without regard
// to letter case in ASCII, Latin-1, Greek, Cyrillic, Roman numerals, circled
// and full-width Latin letters (the letters code page 932 holds in two
// cases), as Windows ignores their case too. The store keeps its own folding
// to itself; this is the same rule, held to it by a test.

#include <string>
#include <string_view>

// A UTF-8 name folded: two names match exactly when their folded forms are equal.
std::string foldedName(std::string_view utf8);
