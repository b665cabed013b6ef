#pragma once

// Running another program (git, for git-setup) and knowing where this one
// is: what differs between the systems, one file each.

#include <string>
#include <vector>

struct ProgramRun {
    int status = -1;  // the exit status; -1 when the program could not be started
    std::string out;  // what it printed on standard output (its errors are not kept)
};

// Runs argv[0], found on PATH, with the arguments as they are (no shell in
// between), standard input empty, and waits for it.
ProgramRun runProgram(const std::vector<std::string>& argv);

// This executable's absolute path as git's shell takes it in a command: on
// Windows with "/" between folders (git for Windows runs drivers and hooks
// through its own sh). Empty when the system cannot tell.
std::string executablePathForGit();
