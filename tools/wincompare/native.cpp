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
