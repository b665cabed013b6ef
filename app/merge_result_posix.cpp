#include "merge_result.h"

#include "file_io.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int replaceMergeResult(const std::string& path, std::string_view content)
{
    struct stat old { };
    if (::stat(path.c_str(), &old) != 0)
        return errno;
    std::string temporary = profile::folderOf(path) + "/" + std::string(profile::kTemporaryPrefix) + "XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = ::fchmod(fd, old.st_mode & 07777) == 0 ? 0 : errno;
    for (std::size_t done = 0; !error && done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += std::size_t(n);
    }
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error)
        ::unlink(temporary.c_str());
    return error;
}
