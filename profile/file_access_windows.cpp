// Carrying a file's access to the new file that replaces it, on Windows: the
// access list of its security descriptor.
#include "system_files.h"
#include "system_path_windows.h"

#include <cerrno>
#include <vector>
#include <windows.h>

namespace profile::sys {

int carryAccess(std::intptr_t, const std::string& path, const std::string& target, const FileInfo&)
{
    // The access list alone: an owner that is not this user could be given
    // only with a privilege, and ReplaceFileW keeps the rest.
    constexpr SECURITY_INFORMATION kWhat = DACL_SECURITY_INFORMATION;
    const std::wstring from = systemPath(target);
    DWORD size = 0;
    std::vector<unsigned char> descriptor;
    while (!GetFileSecurityW(from.c_str(), kWhat, descriptor.data(), DWORD(descriptor.size()), &size)) {
        const DWORD error = GetLastError();
        if (error == ERROR_NOT_SUPPORTED)  // a file system without security (FAT): nothing to carry
            return 0;
        if (error != ERROR_INSUFFICIENT_BUFFER || size <= descriptor.size())
            return errnoOf(error);
        descriptor.resize(size);
    }
    if (SetFileSecurityW(systemPath(path).c_str(), kWhat, descriptor.data()))
        return 0;
    const DWORD error = GetLastError();
    return error == ERROR_NOT_SUPPORTED ? 0 : errnoOf(error);
}

}  // namespace profile::sys
