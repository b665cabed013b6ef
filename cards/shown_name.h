#pragma once

// Names (files, folders, IDs) and other outside text in what the programs
// print or show: a control character in a name is shown escaped, never sent,
// so a file named "z\n0000.ini:2: ..." cannot make up a line of output and
// an escape sequence in one cannot drive the terminal.

#include <string>
#include <string_view>

// `name` with every control character escaped: \n, \r, \t, \x1b (C0 and
// DEL), \u009b (C1); bytes that are not UTF-8 as \xff. Everything else as it is.
std::string shownName(std::string_view name);

// The same for a message of several lines: its line breaks and tabs stay.
std::string shownText(std::string_view text);
