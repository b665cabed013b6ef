#pragma once

// A card file as text for a UTF-8 terminal, line for line: what git's diff,
// log -p and show print for a card through velmar-cards show (the textconv).

#include <string>
#include <string_view>

// The file's lines as UTF-8, each ended by LF (its CR LF or LF; a last line
// without one stays without). The text is read in the file's own encoding
// (code page 932, or UTF-8 / UTF-16 told by a byte-order mark, which is left
// out). A byte that is not a character of that encoding, and a control
// character other than a tab, is shown escaped as \xHH, so that it is seen
// and never sent to the terminal.
std::string cardFileText(std::string_view bytes);
