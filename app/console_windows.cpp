#include "console.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <windows.h>

namespace console {
namespace {

HANDLE handleOf(Stream stream) { return GetStdHandle(stream == Stream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE); }

bool isConsole(HANDLE h)
{
    DWORD mode = 0;
    return h != INVALID_HANDLE_VALUE && h != nullptr && GetConsoleMode(h, &mode);
}

}  // namespace

void write(Stream to, std::string_view utf8)
{
    const HANDLE h = handleOf(to);
    if (!isConsole(h)) {
        // A file or a pipe: the UTF-8 bytes, as on Linux, line ends included.
        std::FILE* file = to == Stream::Out ? stdout : stderr;
        static const bool binary
            = _setmode(_fileno(stdout), _O_BINARY) != -1 && _setmode(_fileno(stderr), _O_BINARY) != -1;
        (void)binary;
        std::fwrite(utf8.data(), 1, utf8.size(), file);
        std::fflush(file);
        return;
    }
    if (utf8.empty())
        return;
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
    // A console wants its line ends as CR LF.
    std::wstring lines;
    lines.reserve(wide.size());
    for (wchar_t c : wide) {
        if (c == L'\n' && (lines.empty() || lines.back() != L'\r'))
            lines += L'\r';
        lines += c;
    }
    for (std::size_t done = 0; done < lines.size();) {
        DWORD written = 0;
        const DWORD chunk = DWORD(std::min<std::size_t>(lines.size() - done, 8192));
        if (!WriteConsoleW(h, lines.data() + done, chunk, &written, nullptr) || written == 0)
            return;
        done += written;
    }
}

bool isTerminal(Stream stream) { return isConsole(handleOf(stream)); }

bool readInput(std::string& bytes)
{
    bytes.clear();
    _setmode(_fileno(stdin), _O_BINARY);  // no CR LF made LF
    char buffer[65536];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, stdin);
        bytes.append(buffer, n);
        if (n < sizeof buffer)
            return !std::ferror(stdin);
    }
}

}  // namespace console
