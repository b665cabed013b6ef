#pragma once

// Putting a merge's result into git's file for OURS: the bytes go into a
// new file beside it, which then takes its place in one rename, so OURS is
// never seen half-written and no temporary file is left on failure. Unlike
// a card's Save, it neither flushes to disk (git does not) nor looks the
// folder over for stale temporary files: git calls the driver once per card,
// in the work tree's top folder, which may hold every card.

#include <string>
#include <string_view>

// 0, or the errno value (EACCES, ENOSPC, ...) it failed with; OURS is then as it was.
int replaceMergeResult(const std::string& path, std::string_view content);
