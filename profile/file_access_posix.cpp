// Carrying a file's access to the new file that replaces it, on Linux: owner and group, the access
// control list (libacl), the extended attributes of the "user." namespace, and the mode.
#include "system_files.h"

#include <acl/libacl.h>
#include <cerrno>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace profile::sys {
namespace {

constexpr std::string_view kAccessList = "system.posix_acl_access";

// The names of the extended attributes `list` gives, each followed by a NUL; empty when there are none or
// the file system has none. One call for a file with few names, most often none.
template <class List> std::string attributeNames(List list)
{
    std::string names(1024, '\0');
    ssize_t size = list(names.data(), names.size());
    if (size < 0 && errno == ERANGE && (size = list(nullptr, 0)) > 0) {
        names.resize(std::size_t(size));
        size = list(names.data(), names.size());
    }
    names.resize(size > 0 ? std::size_t(size) : 0);
    return names;
}

bool hasName(const std::string& names, std::string_view wanted)
{
    for (std::size_t at = 0; at < names.size();) {
        const std::string_view name(names.c_str() + at);
        if (name == wanted)
            return true;
        at += name.size() + 1;
    }
    return false;
}

int carryAccessList(int fd, const std::string& target)
{
    acl_t list = ::acl_get_file(target.c_str(), ACL_TYPE_ACCESS);
    if (!list)
        return errno == ENOTSUP ? 0 : errno;
    // A file system that holds no access lists where the new file is (a card that is a link to another
    // one) cannot be made to: the mode is all it keeps.
    const int err = ::acl_set_fd(fd, list) == 0 || errno == ENOTSUP ? 0 : errno;
    ::acl_free(list);
    return err;
}

// Those the system lets this user set; any other is left behind.
void carryUserAttributes(int fd, const std::string& target, const std::string& names)
{
    std::string value;
    for (std::size_t at = 0; at < names.size();) {
        const std::string_view name(names.c_str() + at);
        at += name.size() + 1;
        if (!name.starts_with("user."))
            continue;
        const ssize_t size = ::getxattr(target.c_str(), name.data(), nullptr, 0);
        if (size < 0)
            continue;
        value.resize(std::size_t(size));
        const ssize_t got = ::getxattr(target.c_str(), name.data(), value.data(), value.size());
        if (got >= 0)
            (void)::fsetxattr(fd, name.data(), value.data(), std::size_t(got), 0);
    }
}

}  // namespace

int carryAccess(std::intptr_t handle, const std::string&, const std::string& target, const FileInfo& like)
{
    const int fd = int(handle);
    // Give the file back to its owner and group; an ordinary user may
    // still keep the group when the owner cannot be given away.
    if ((like.user != ::geteuid() || like.group != ::getegid()) && ::fchown(fd, like.user, like.group) != 0)
        (void)::fchown(fd, uid_t(-1), like.group);
    // The access list before the mode: with the mode first, someone the list shuts out could open the
    // file in between and read what it is given later.
    const std::string names
        = attributeNames([&](char* out, std::size_t room) { return ::listxattr(target.c_str(), out, room); });
    if (hasName(names, kAccessList)) {
        if (const int err = carryAccessList(fd, target))
            return err;
    } else if (hasName(attributeNames([&](char* out, std::size_t room) { return ::flistxattr(fd, out, room); }),
                   kAccessList)) {
        // The folder's default list gave the new file entries the card never had.
        if (::fremovexattr(fd, kAccessList.data()) != 0)
            return errno;
    }
    // After fchown, which clears set-user-ID bits.
    if (::fchmod(fd, like.mode) != 0)
        return errno;
    carryUserAttributes(fd, target, names);
    return 0;
}

}  // namespace profile::sys
