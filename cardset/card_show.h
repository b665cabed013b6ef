#pragma once

// A card file as text for a UTF-8 terminal, line for line: what git's diff,
// log -p and show print for a card through velmar-cards show (the textconv).

#include <string>
#include <string_view>

// The file's lines as UTF-8, each ended by LF (its CR LF or LF; a last line
// without one stays without). The text is read in the file's own encoding
// (code page 932, or UTF-8 / UTF-16 told by a byte-order mark, which is left
// out). A byte that is not a character of that encoding, a control
// character other than a tab, a bidirectional mark (U+061C, U+200E, U+200F,
// U+202A to U+202E, U+2066 to U+2069) and a line or paragraph separator
// (U+2028, U+2029) are shown escaped as \xHH, the file's bytes of the
// character: each is seen and never sent to the terminal, so a card can
// neither reorder nor fake a line of git's diff.
std::string cardFileText(std::string_view bytes);
