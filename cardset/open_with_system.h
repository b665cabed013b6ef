#pragma once

// Handing a file to the program the user's system opens it with (a page to
// the default browser): xdg-open on Linux, the shell on Windows. One file
// per system.

#include "card_file.h"

#include <string>

// Starts the opener on `path` (UTF-8) and returns at once, without waiting
// for it: no shell is in between, so the path is taken as it is. A problem
// when the opener could not be started.
CardProblem openWithSystem(const std::string& path);
