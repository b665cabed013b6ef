#pragma once

// The platform layer behind INIAccess: the profile-string service (read and
// write one key of an INI-style profile file, the way the Windows functions
// GetPrivateProfileStringA / WritePrivateProfileStringA do), the path-exists
// query, the program folder and path joining.
//
// All strings are UTF-8. Files are held in Windows code page 932 unless they
// start with a UTF-8 or UTF-16 byte-order mark; a write keeps a file in the
// encoding it has. Nothing is cached: every call opens, reads (and for a
// write, replaces) the file, so a write is visible to the next read at once.
// The parsing and the edit are ProfileText's (profile_text.h); the file
// access is file_io.h's.

#include "profile_text.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace profile {

// Reads the value of `key` in `section` of `fileName` into `value`, by the
// rules of ProfileText::get. A file that is missing, no regular file, larger
// than kMaxProfileFileBytes or unreadable reads as one without the key: the
// result is `defaultValue` without trailing blanks.
std::size_t getProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
    std::string& value, std::size_t bufferSize, const std::string& fileName);

// Writes key=value into `section` of `fileName`, creating the file and the
// section as needed; an existing key's value is replaced where it stands,
// keeping the key's spelling; a new key goes after the last non-blank line of
// its section, a new section at the end of the file. Written lines end in
// CR LF; all other lines stay byte for byte as they were.
//
// The file is replaced as a whole through a temporary file in its folder
// (replaceFile, not flushed to disk), so it is never left half-written: on
// failure it is exactly as it was. Returns false, with lastError() telling why, when:
//   EINVAL  section or key is empty, or the path names no regular file;
//   EILSEQ  a name or the value holds a character code page 932 cannot hold
//           (nothing is written; no "?" is substituted);
//   EACCES  the file or its folder is read-only (no write bits set);
//   EISDIR  a folder is in the way; ENOENT/ENOTDIR the folder is missing;
//   ENOLCK  the folder's lock file (".velmar.lock") is no regular file;
//   ETIMEDOUT another writer held the folder's lock longer than
//           folderLockPatience() (file_io.h);
//   EFBIG, ENOSPC, EIO, ... the system's own reason the write failed, or
//           that the folder's lock file could not be made.
// Names and value end at a NUL character, as C strings do.
bool writeProfileString(
    std::string_view section, std::string_view key, std::string_view value, const std::string& fileName);

// Why the last writeProfileString call of this thread failed (an errno
// value), 0 after a successful one. Like Windows' GetLastError; the text for
// the user comes from strerror().
int lastError();

// writeProfileString applied to file bytes held in memory; 0 or an errno value.
int editProfileText(std::string& bytes, std::string_view section, std::string_view key, std::string_view value);

// True when a file or folder exists at `path` (like PathFileExistsA).
bool pathExists(const std::string& path);

// The folder that holds the running executable, without a trailing "/"
// except for the root "/". Empty when the system cannot tell.
std::string programFolder();

// folder + "/" + name, leaving out the "/" when the folder already ends in
// one; just `name` when the folder is empty.
std::string joinPath(std::string_view folder, std::string_view name);

}  // namespace profile
