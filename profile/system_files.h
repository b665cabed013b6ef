#pragma once

// The file layer's inside, shared by file_io.cpp and replace_batch.cpp: the
// few calls that differ between systems, one file per system
// (system_files_posix.cpp, system_files_windows.cpp, which hold FileReader
// and FolderLock too), and the making of a temporary file that replaceFile
// and ReplaceBatch share. Paths are UTF-8; errors are errno values.

#include "file_io.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profile::sys {

bool isSeparator(char c);
char separator();

FileInfo info(const std::string& path);

// A file created new and empty, for writing; held open until closed.
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Fails with EEXIST when something is at `path`. `ownerOnly`: nobody but
    // its owner may open it until copyOwnership gives it a mode.
    int create(const std::string& path, bool ownerOnly);
    // Gives the file the owner and group of the file `old` tells of (as far
    // as this user may give them), then its mode, where the system has them
    // (Linux); nothing to do on Windows, where the replace keeps them.
    int copyOwnership(const FileInfo& old);
    int write(std::string_view data);
    int flush();
    int close();  // reports a delayed write error

private:
    std::intptr_t handle_ = -1;
};

// Puts `temp` in place of `path` (an existing file when `replacing`).
// Durable: the folder entry reaches the disk too.
int putInPlace(const std::string& temp, const std::string& path, bool replacing, bool durable);

// Puts `temp` at `path` only when nothing is there: EEXIST otherwise.
int putNew(const std::string& temp, const std::string& path);

// Makes the content of `files`, written in `folder`, durable: one flush of
// the whole file system where the system has it (Linux), each file's own
// flush where it does not (Windows).
int flushFiles(const std::string& folder, const std::vector<std::string>& files);

// Makes the names in `folder` durable (renames into it included).
int flushFolder(const std::string& folder);

int listFolder(const std::string& folder, const std::function<void(std::string_view name, bool isFolder)>& visit);

// Every name in `folder`, and nothing else asked of the system per entry.
void listNames(const std::string& folder, const std::function<void(std::string_view name)>& visit);

// How many seconds ago the regular file at `path` (a link is not followed)
// was last written; nullopt for anything else.
std::optional<std::int64_t> regularFileAge(const std::string& path);

void remove(const std::string& path);

// Random bytes for names of temporary files (not for secrets: creating the
// file checks that the name is free anyway).
void randomBytes(unsigned char* out, std::size_t n);

// The full path of the running executable; empty when the system cannot tell.
std::string executablePath();

// The file a symbolic link leads to; `path` itself when it is none.
std::string resolveLink(const std::string& path);

void ignoreFileSizeSignal();

}  // namespace profile::sys

namespace profile {

// A new temporary file beside `target`, under a name of replaceFile's scheme,
// for `target`'s new content; `temporary` receives its path. When `target`
// is a regular file (`replacing`), the temporary file is readable by its
// owner alone until it has that file's owner, group and mode, so nobody sees
// the new content who could not read the old. On failure nothing is left.
ReplaceResult createTemporary(const std::string& target, sys::NewFile& file, std::string& temporary, bool& replacing);

}  // namespace profile
