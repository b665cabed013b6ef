// A stand-in for git.exe under Wine, where git for Windows is not at hand:
// it answers the questions velmar-cards git-setup asks as git would for a
// card folder "cards/" of a repository, and writes every command line it
// was given, one argument a line, to the file FAKE_GIT_LOG names. So the
// test sees the arguments as CreateProcessW handed them over.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <windows.h>

namespace {

std::string utf8(const wchar_t* text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(std::size_t(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), n, nullptr, nullptr);
    return bytes;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::string args;
    for (int i = 1; i < argc; ++i)
        args += utf8(argv[i]) + "\n";
    if (const wchar_t* log = _wgetenv(L"FAKE_GIT_LOG"))
        if (std::FILE* file = _wfopen(log, L"ab")) {
            std::fputs((args + "--\n").c_str(), file);
            std::fclose(file);
        }
    const auto has = [&](const char* word) { return args.find(std::string(word) + "\n") != std::string::npos; };
    if (has("--version"))
        std::puts("git version 2.45.2.windows.1");
    else if (has("--show-prefix"))
        std::puts("cards/");
    else if (has("--show-toplevel"))
        std::puts("C:/repo");
    else if (has("--git-path"))
        std::puts("../.git/hooks");
    else if (has("--get"))
        return 1;  // nothing set yet
    return 0;
}
