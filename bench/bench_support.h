#pragma once

// Shared by the benchmarks: a scratch folder that is removed afterwards and
// the full four-level card they load and save.

#include "card_file.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace bench {

// A fresh folder under $TMPDIR (or /tmp); gone when this object is.
class ScratchFolder {
public:
    ScratchFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmar-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        path_ = pattern;
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string path() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::uintmax_t fileSize(const std::string& path) { return std::filesystem::file_size(path); }

inline std::string readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every field of every level filled, Japanese move names included: the
// largest card a user makes.
inline Card fullCard()
{
    Card card;
    card.Rarity = "5";
    card.MaxLv = "4";
    card.MinLv = "1";
    card.SuperMode = 2;
    const char* normal[] = {"たいあたり", "かみつく", "ひっかく", "なぎはらい"};
    const char* extended[] = {"ほのおのうず", "かみなり", "ふぶき", "だいちのいかり"};
    const char* spec[] = {"N/30P/1", "1F/40D/2", "AM/50E/3", "U/120D/1"};
    for (int n = 0; n < 4; ++n) {
        LevelRecord& r = card.Levels[n];
        r.MaxHP = std::to_string(100 + 50 * n);
        r.Power = std::to_string(10 + 10 * n);
        r.NomalWaza = normal[n];
        r.ExtWaza = extended[n];
        r.ExtWazaSpec = spec[n];
    }
    return card;
}

}  // namespace bench
