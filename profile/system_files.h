#pragma once

// The file layer's inside, shared by file_io.cpp and replace_batch.cpp: the calls that differ between
// systems (one file per system, with file_io.h's parts that differ) and the temporary file both write into.

#include "file_io.h"

#include <optional>
#include <vector>

namespace profile::sys {

// A file created new and empty, for writing; held open until closed.
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Fails with EEXIST when something is at `path`. With `like`, it is its owner's alone until it has
    // like's owner and group (as far as this user may give them), then like's mode (Linux).
    int create(const std::string& path, const FileInfo* like);
    int write(std::string_view data);
    int flush();
    int close();  // reports a delayed write error

private:
    std::intptr_t handle_ = -1;
};

// Puts `temp` in place of `path` (an existing file when `replacing`); durable: the folder entry too.
int putInPlace(const std::string& temp, const std::string& path, bool replacing, bool durable);

// Puts `temp` at `path` only when nothing is there: EEXIST otherwise.
int putNew(const std::string& temp, const std::string& path);

// Makes the content of the files `names` in `folder` durable: one flush of the
// file system where the system has it (Linux), else each file's own (Windows).
int flushFiles(const std::string& folder, const std::vector<std::string_view>& names);

// Makes the names in `folder` durable (renames into it included).
int flushFolder(const std::string& folder);

// Every name in `folder`, and nothing else asked of the system per entry.
void listNames(const std::string& folder, const std::function<void(std::string_view name)>& visit);

// Seconds since the regular file at `path` (a link not followed) was written; nullopt for anything else.
std::optional<std::int64_t> regularFileAge(const std::string& path);

void remove(const std::string& path);

// Random bytes for names of temporary files (not for secrets).
void randomBytes(unsigned char* out, std::size_t n);

// The full path of the running executable; empty when the system cannot tell.
std::string executablePath();

// The file a symbolic link leads to; `path` itself when it is none.
std::string resolveLink(const std::string& path);

}  // namespace profile::sys

namespace profile {

// A new temporary file beside `target`, named as replaceFile names them, with
// `target`'s owner, group and mode when it is a regular file (`replacing`);
// `temporary` receives its path. On failure nothing is left.
ReplaceResult createTemporary(const std::string& target, sys::NewFile& file, std::string& temporary, bool& replacing);

}  // namespace profile
