#include "console.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace console {

void write(Stream to, std::string_view utf8)
{
    std::FILE* file = to == Stream::Out ? stdout : stderr;
    std::fwrite(utf8.data(), 1, utf8.size(), file);
    if (to == Stream::Err)
        std::fflush(file);
}

bool isTerminal(Stream stream) { return ::isatty(stream == Stream::Out ? STDOUT_FILENO : STDERR_FILENO) == 1; }

bool readInput(std::string& bytes)
{
    bytes.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        bytes.append(buffer, std::size_t(n));
    }
}

}  // namespace console
