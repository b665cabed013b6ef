#pragma once

// The files the command reads and writes besides the cards: the table it
// imports and the table it exports. Problems name the file and the reason.

#include "card_file.h"

#include <string>

// Reads a whole regular file.
CardProblem readInputFile(const std::string& path, std::string& content);

// Writes the file in one step: a temporary file beside it, then a rename, so
// a failed run leaves no half-written table.
CardProblem writeOutputFile(const std::string& path, const std::string& content);

// A problem when `folder` is not a folder that can be read.
CardProblem checkFolder(const std::string& folder);
