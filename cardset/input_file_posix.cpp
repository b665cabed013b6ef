// The import's table file on Linux (POSIX).
#include "input_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

InputFile::~InputFile()
{
    if (handle_ >= 0)
        ::close(int(handle_));
}

int InputFile::open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st { };
    const int problem = ::fstat(fd, &st) != 0  ? errno
                        : S_ISDIR(st.st_mode)  ? EISDIR
                        : !S_ISREG(st.st_mode) ? EINVAL
                                               : 0;
    if (problem) {
        ::close(fd);
        return problem;
    }
    handle_ = fd;
    return 0;
}

std::size_t InputFile::read(char* out, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::read(int(handle_), out, size);
        if (n >= 0)
            return std::size_t(n);
        if (errno != EINTR) {
            error_ = errno;
            return 0;
        }
    }
}

bool InputFile::rewind()
{
    if (::lseek(int(handle_), 0, SEEK_SET) == 0)
        return true;
    error_ = errno;
    return false;
}
