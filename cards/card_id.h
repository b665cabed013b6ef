#pragma once

// The card's ID is its file's name without ".ini". One rule for Linux and
// Windows, so that a card set can move between them: a name either system
// cannot hold, or that Windows takes for a device, is no ID.

#include <optional>
#include <string>
#include <string_view>

// A problem for the user, in the window's language, naming the rule the ID
// breaks; nullopt for an ID that may be used. An empty ID is allowed (".ini").
std::optional<std::string> checkCardId(std::string_view id);

// The ID as Windows compares file names, without regard to letter case: two
// IDs with the same folded form are one file on Windows and two on Linux.
std::string foldedId(std::string_view id);
