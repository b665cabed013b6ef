#pragma once

// The velmar-cards command, given its arguments as UTF-8 (the program's name
// first). Returns the exit status. Each system's entry point converts its
// own arguments and calls this.

#include <string>
#include <vector>

int runVelmarCards(const std::vector<std::string>& argv);
