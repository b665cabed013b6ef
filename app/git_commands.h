#pragma once

// The commands for a card folder kept in git: show (the textconv of git's
// diff), merge (git's merge driver) and check --staged (the pre-commit
// hook's check). Each prints what it found and returns the exit status.

#include <string>
#include <vector>

int showCard(const std::string& path);

// BASE OURS THEIRS [PATH], or BASE OURS THEIRS MARKER-SIZE PATH (%O %A %B %L %P).
int mergeCard(const std::vector<std::string>& positional);

int checkStaged();
