// The same command line as wincompare.exe, answered by this program's profile
// store, so that both can be run on the same files and their output compared.
// Build: g++ -std=c++20 -I../../profile native.cpp ../../profile/*.cpp -o native
#include "code_page.h"
#include "profile_service.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static std::string unhex(const char* hex)
{
    std::string out;
    for (std::size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        out += static_cast<char>(std::strtoul(std::string(hex + i, 2).c_str(), nullptr, 16));
    return out;
}

static std::string utf8(const char* hex) { return profile::cp932ToUtf8(unhex(hex)); }

int main(int argc, char** argv)
{
    // A script on standard input, as wincompare.exe takes it: one answer per
    // line; "-" stands for an empty string.
    if (argc == 3 && std::strcmp(argv[1], "script") == 0) {
        const std::string file = unhex(argv[2]);
        char line[4096];
        while (std::fgets(line, sizeof line, stdin)) {
            char op[8] = {}, a[2048] = {}, b[2048] = {}, c[2048] = {}, d[32] = {};
            const int n = std::sscanf(line, "%7s %2047s %2047s %2047s %31s", op, a, b, c, d);
            if (n == 5 && std::strcmp(op, "get") == 0) {
                std::string value;
                const std::size_t got
                    = profile::getProfileString(utf8(a), utf8(b), utf8(c), value, std::strtoul(d, nullptr, 10), file);
                std::printf("%zu ", got);
                for (unsigned char ch : profile::utf8ToCp932(value).value_or("<unencodable>"))
                    std::printf("%02x", ch);
                std::printf("\n");
            } else if (n == 4 && std::strcmp(op, "set") == 0) {
                std::printf("%d\n", profile::writeProfileString(utf8(a), utf8(b), utf8(c), file) ? 1 : 0);
            }
        }
        return 0;
    }
    if (argc == 7 && std::strcmp(argv[1], "get") == 0) {
        std::string value;
        std::size_t n = profile::getProfileString(
            utf8(argv[3]), utf8(argv[4]), utf8(argv[5]), value, std::strtoul(argv[6], nullptr, 10), unhex(argv[2]));
        std::string bytes = profile::utf8ToCp932(value).value_or("<unencodable>");
        std::printf("%zu ", n);
        for (unsigned char c : bytes)
            std::printf("%02x", c);
        std::printf("\n");
        return 0;
    }
    if (argc == 6 && std::strcmp(argv[1], "set") == 0) {
        bool ok = profile::writeProfileString(utf8(argv[3]), utf8(argv[4]), utf8(argv[5]), unhex(argv[2]));
        std::printf("%d %d\n", ok ? 1 : 0, profile::lastError());
        return 0;
    }
    std::fprintf(stderr, "usage: native get FILE SECTION KEY DEFAULT SIZE | set FILE SECTION KEY VALUE\n");
    return 2;
}
