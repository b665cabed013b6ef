// Arbitrary file bytes, then reads and writes of arbitrary keys: nothing may
// crash or hang, and every key a write accepts must read back.

#include "code_page.h"
#include "ini_access.h"
#include "profile_text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& scratchFile()
{
    static const std::string path = [] {
        char pattern[] = "/tmp/velmar-fuzz-XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        return std::string(pattern) + "/card.ini";
    }();
    return path;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Text the profile format can hold as a name or value and give back as it was:
// one line, no NUL, no blanks at either end, no enclosing quotes.
bool holdsAsIs(const std::string& s)
{
    if (s.empty() || isBlank(s.front()) || isBlank(s.back()))
        return false;
    if (s.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return false;
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        return false;
    return true;
}

bool isName(const std::string& s, char forbidden)
{
    return holdsAsIs(s) && s.front() != ';' && s.front() != '[' && s.find(forbidden) == std::string::npos
           && s.find(']') == std::string::npos && s.find('=') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string bytes = input.ConsumeRandomLengthString(4096);
    {
        std::ofstream file(scratchFile(), std::ios::binary | std::ios::trunc);
        file.write(bytes.data(), std::streamsize(bytes.size()));
    }

    // The walk and the look-up take any text and any names.
    const profile::ProfileText text(bytes);
    text.forEachLine([](const profile::ProfileLine&) {});
    {
        FuzzedDataProvider names(data, size > 64 ? 64 : size);
        for (int i = 0; i < 4; ++i) {
            const std::string section = names.ConsumeRandomLengthString(8);
            const std::string key = names.ConsumeRandomLengthString(8);
            std::string value;
            (void)text.get(section, key, "d", value);
        }
    }

    INIAccess ini;
    ini.FileName = scratchFile();
    while (input.remaining_bytes() > 0) {
        const bool write = input.ConsumeBool();
        const std::string section = input.ConsumeRandomLengthString(40);
        const std::string key = input.ConsumeRandomLengthString(40);
        if (!write) {
            (void)ini.GetINIData(key, section);
            continue;
        }
        const std::string value = input.ConsumeRandomLengthString(300);
        if (!ini.SetINIData(key, value, section))
            continue;
        const std::string back = ini.GetINIData(key, section);
        const auto stored = profile::utf8ToCp932(value);
        // Code page 932 has one code for some pairs of characters (the cent
        // sign U+00A2 is stored as 0x8191, which reads as U+FFE0): what comes
        // back is the value as the file's code page holds it.
        if (isName(section, ']') && isName(key, '=') && (value.empty() || holdsAsIs(value)) && stored
            && stored->size() <= 255 && back != profile::cp932ToUtf8(*stored)) {
            std::fprintf(
                stderr, "wrote [%s] %s=%s, read back %s\n", section.c_str(), key.c_str(), value.c_str(), back.c_str());
            std::abort();
        }
    }
    return 0;
}
