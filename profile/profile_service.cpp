#include "profile_service.h"

#include "file_io.h"
#include "profile_text.h"

#include <cerrno>
#include <cstdlib>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace profile {
namespace {

thread_local int tLastError = 0;

bool isReadOnly(const struct stat& st) { return (st.st_mode & 0222) == 0; }

std::string folderOf(const std::string& path)
{
    std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

int write(std::string_view section, std::string_view key, std::string_view value, const std::string& fileName)
{
    if (fileName.empty())
        return EINVAL;
    // Names and value are checked before the file is looked at.
    ProfileText text;
    if (int err = text.set(section, key, value))
        return err;

    // Write through a symbolic link to the file it names.
    std::string path = fileName.substr(0, fileName.find('\0'));
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }

    struct stat old;
    bool exists = false;
    if (::stat(path.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode))
            return EISDIR;
        if (!S_ISREG(old.st_mode))
            return EINVAL;
        if (isReadOnly(old))
            return EACCES;
        exists = true;
    } else if (errno != ENOENT) {
        return errno;
    }
    struct stat folder;
    if (::stat(folderOf(path).c_str(), &folder) != 0)
        return errno;
    if (!S_ISDIR(folder.st_mode))
        return ENOTDIR;
    if (isReadOnly(folder))
        return EACCES;

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

bool pathExists(const std::string& path)
{
    if (path.empty() || path.find('\0') != std::string::npos)
        return false;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string programFolder()
{
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            break;
        }
        if (buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return buffer.find('/') == std::string::npos ? std::string() : folderOf(buffer);
}

std::string joinPath(std::string_view folder, std::string_view name)
{
    std::string path(folder);
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += name;
    return path;
}

}  // namespace profile
