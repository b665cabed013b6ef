#pragma once

// Writing a whole buffer to a POSIX file descriptor, shared by the system
// files that write with write(2).

#include <cerrno>
#include <cstddef>
#include <string_view>
#include <unistd.h>

namespace profile {

// Writes all of `data`, going on after a partial write or a signal: 0 or the
// system's error.
inline int writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

}  // namespace profile
