#include "console.h"

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

}  // namespace console
