#pragma once

// The few calls of the file layer that differ between systems, one file per
// system (system_files_posix.cpp, system_files_windows.cpp). Everything above
// them (names of temporary files, the clean-up rule, profile text, cards) is
// the same on both. Paths are UTF-8; errors are errno values.

#include "file_io.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace profile::sys {

bool isSeparator(char c);
char separator();

// readFileOnce's work, after the checks every system shares.
int readFile(const std::string& path, std::string& bytes, std::size_t maxBytes);

FileInfo info(const std::string& path);

// Creates `path` new and empty, for writing; fails with EEXIST when
// something is there. Holds the open file until commit or abandon.
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    int create(const std::string& path);
    // Gives the new file the owner, group and mode of `old` where the system
    // has them (Linux); nothing to do on Windows, where the replace keeps them.
    int copyOwnership(const std::string& old);
    int write(std::string_view data);
    int flush();
    int close();

private:
    std::intptr_t handle_ = -1;
};

// Puts `temp` in place of `path` (an existing file when `replacing`).
// Durable: the folder entry reaches the disk too.
int putInPlace(const std::string& temp, const std::string& path, bool replacing, bool durable);

int listFolder(const std::string& folder, const std::function<void(std::string_view name, bool isFolder)>& visit);

void remove(const std::string& path);

// Calls `visit` with every entry of `folder`: its name, whether it is a
// regular file, and how many seconds ago it was last written.
void forEachEntry(const std::string& folder,
    const std::function<void(std::string_view name, bool regular, std::int64_t ageSeconds)>& visit);

// Random bytes for names of temporary files (not for secrets: creating the
// file checks that the name is free anyway).
void randomBytes(unsigned char* out, std::size_t n);

// The full path of the running executable; empty when the system cannot tell.
std::string executablePath();

// The file a symbolic link leads to; `path` itself when it is none.
std::string resolveLink(const std::string& path);

void ignoreFileSizeSignal();

}  // namespace profile::sys
