#include "profile_service.h"

#include "file_io.h"
#include "profile_text.h"
#include "system_files.h"

#include <algorithm>
#include <cerrno>
#include <new>

namespace profile {
namespace {

thread_local int tLastError = 0;

int write(std::string_view section, std::string_view key, std::string_view value, const std::string& fileName)
{
    if (fileName.empty())
        return EINVAL;
    // Names and value are checked before the file is looked at.
    ProfileText text;
    if (int err = text.set(section, key, value))
        return err;

    // Write through a symbolic link to the file it names.
    const std::string path = sys::resolveLink(fileName.substr(0, fileName.find('\0')));
    const FileInfo folder = fileInfo(folderOf(path));
    if (folder.kind != FileInfo::Kind::Folder || folder.readOnly)
        return folder.error                             ? folder.error
               : folder.kind == FileInfo::Kind::Missing ? ENOENT
               : folder.kind != FileInfo::Kind::Folder  ? ENOTDIR
                                                        : EACCES;
    // Another writer's read, edit and replace in this folder waits for this
    // one's, so no key of either is lost; without the lock nothing is written.
    const FolderLock lock(folderOf(path));
    if (lock.error())
        return lock.error();
    const FileInfo old = fileInfo(path);
    if (old.error)
        return old.error;
    if (old.kind == FileInfo::Kind::Folder)
        return EISDIR;
    if (old.kind == FileInfo::Kind::Other)
        return EINVAL;
    if (old.readOnly)
        return EACCES;
    const bool exists = old.kind == FileInfo::Kind::File;

    std::string bytes;
    if (exists) {
        if (int err = readFileOnce(path, bytes))
            return err;
    }
    text = ProfileText(std::move(bytes));
    if (int err = text.set(section, key, value))
        return err;
    // No flush to disk: a program writing a dozen keys one after the other
    // would wait for the disk a dozen times; one that needs the file durable
    // composes it in memory and replaces it once with replaceFile.
    return replaceFile(path, text.bytes(), false).error;
}

}  // namespace

std::size_t getProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
    std::string& value, std::size_t bufferSize, const std::string& fileName)
{
    std::string bytes;
    // A file that cannot be read (missing, no regular file, too large) reads
    // as one without the key.
    if (!fileName.empty())
        (void)readFileOnce(fileName.substr(0, fileName.find('\0')), bytes);
    try {
        return ProfileText(std::move(bytes)).get(section, key, defaultValue, value, bufferSize);
    } catch (const std::bad_alloc&) {
        return ProfileText().get(section, key, defaultValue, value, bufferSize);
    }
}

bool writeProfileString(
    std::string_view section, std::string_view key, std::string_view value, const std::string& fileName)
{
    tLastError = write(section, key, value, fileName);
    return tLastError == 0;
}

int lastError() { return tLastError; }

int editProfileText(std::string& bytes, std::string_view section, std::string_view key, std::string_view value)
{
    ProfileText text(std::move(bytes));
    const int err = text.set(section, key, value);
    bytes = text.bytes();
    return err;
}

bool pathExists(const std::string& path) { return fileInfo(path).kind != FileInfo::Kind::Missing; }

std::string programFolder()
{
    const std::string exe = sys::executablePath();
    const bool hasFolder = std::any_of(exe.begin(), exe.end(), isPathSeparator);
    return hasFolder ? folderOf(exe) : std::string();
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (!path.empty() && !isPathSeparator(path.back()))
        path += pathSeparator();
    path += name;
    return path;
}

}  // namespace profile
