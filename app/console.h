#pragma once

// Standard output and error for text in UTF-8, one file per system: on
// Windows a console gets the text as UTF-16 (WriteConsoleW), so Japanese
// shows whatever the console's code page; a file or a pipe gets the UTF-8
// bytes, as on Linux.

#include <string>
#include <string_view>

namespace console {

enum class Stream { Out, Err };

void write(Stream to, std::string_view utf8);

// True when the stream is a terminal (a console window on Windows).
bool isTerminal(Stream stream);

// All of standard input, byte for byte (no line ends converted); false when it could not be read.
bool readInput(std::string& bytes);

}  // namespace console
