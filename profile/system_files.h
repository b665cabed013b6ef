#pragma once

// The file layer's inside, shared by file_io.cpp and replace_batch.cpp: the calls that differ between
// systems (one file per system, with file_io.h's parts that differ; carrying a file's access to its
// replacement in one more file per system) and the temporary files both write into.

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

    // Fails with EEXIST when something is at `path`. With `like` (what is at `target`, a regular file), it
    // is its owner's alone until it has target's access (carryAccess), and only then can it be written.
    int create(const std::string& path, const std::string& target, const FileInfo* like);
    int write(std::string_view data);
    int flush();
    int close();  // reports a delayed write error

private:
    std::intptr_t handle_ = -1;
};

// Gives the new file `handle` at `path`, created its owner's alone, the access of the regular file
// `target` (`like` is what is there): its owner and group as far as this user may give them, its access
// control list, the extended attributes ("user.") this user may set, then its mode (Linux); its
// security descriptor's access list (Windows). A file system without access lists or extended attributes
// has none to carry. 0, or why the new file could not be made as private as `target`.
int carryAccess(std::intptr_t handle, const std::string& path, const std::string& target, const FileInfo& like);

// Puts `temp` in place of `path` (an existing file when `replacing`); durable: the folder entry too.
int putInPlace(const std::string& temp, const std::string& path, bool replacing, bool durable);

// Puts `temp` in place of the file at `path` and keeps what `path` held at that very instant rather than
// freeing it: `old` receives where it is now (`temp` itself on Linux, the two names swapped in one step;
// a sibling temporary file, ReplaceFileW's backup, on Windows). `old` is empty when nothing was at `path`,
// or when the file system cannot swap two names (the old file is then replaced as putInPlace replaces it).
int putInPlaceKeepingOld(const std::string& temp, const std::string& path, std::string& old);

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

// A writer's mark: a file made new at `path` (EEXIST when something is there) and held locked until it is
// dropped, or until its process ends. markHeld tells whether a live writer holds the one at `path`.
int holdMark(const std::string& path, std::intptr_t& handle);
void dropMark(const std::string& path, std::intptr_t handle);
bool markHeld(const std::string& path);

// The folder lock's file (FolderLock), opened without blocking and without following a link: ENOLCK
// when it is no regular file; ENOENT when it is missing and not to be made.
int openLock(const std::string& path, bool make, std::intptr_t& handle);
void closeLock(std::intptr_t handle);
// Takes the lock without waiting: 0, EWOULDBLOCK while another holds it, or the system's error.
int tryLock(std::intptr_t handle);
void unlock(std::intptr_t handle);
// A writer waiting for the lock says so, on a part of the lock file of its own that many may hold at once;
// othersWaiting tells whether anyone else says so.
void sayWaiting(std::intptr_t handle, bool waiting);
bool othersWaiting(std::intptr_t handle);

void remove(const std::string& path);

// Random bytes for names of temporary files (not for secrets).
void randomBytes(unsigned char* out, std::size_t n);

// The full path of the running executable; empty when the system cannot tell.
std::string executablePath();

// The file a symbolic link leads to; `path` itself when it is none.
std::string resolveLink(const std::string& path);

}  // namespace profile::sys

namespace profile {

// One writer's temporary files in a folder (a replaceFile call, a ReplaceBatch, a run of an import): each
// is named after the writer, whose mark is made with the first of them and held until the writer is gone,
// so that removeStaleTemporariesOnce tells them from a killed writer's however long the writer runs.
class WriterRun {
public:
    explicit WriterRun(std::string folder);
    ~WriterRun();  // drops the mark

    // Drops the mark once the writer has no temporary file left; another temporary file makes a new one.
    void end();
    WriterRun(const WriterRun&) = delete;
    WriterRun& operator=(const WriterRun&) = delete;

    // A new temporary file in the folder for `target` (a file of the folder), with `target`'s access when
    // it is a regular file (`replacing`); `temporary` receives its path. On failure nothing is left.
    ReplaceResult createTemporary(
        const std::string& target, sys::NewFile& file, std::string& temporary, bool& replacing);

private:
    std::string folder_;
    std::string name_;  // the mark's name, and so the start of every temporary file's; empty until made
    std::intptr_t mark_ = -1;
};

// Another temporary file name of the same writer as `temporary`, in the same folder.
std::string siblingTemporary(const std::string& temporary);

// Six letters or digits drawn afresh, as temporary files' names end.
std::string freshLetters();

}  // namespace profile
