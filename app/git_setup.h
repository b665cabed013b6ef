#pragma once

// velmar-cards git-setup: makes the git repository that holds a card folder
// merge and show cards key by key, and keep half-merged or unsavable cards
// out of its commits. Prints what it did; returns the exit status.

#include <string>

int gitSetup(const std::string& folder);
