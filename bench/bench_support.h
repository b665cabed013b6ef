#pragma once

// Shared by the benchmarks: a scratch folder that is removed afterwards and
// the full four-level card they load and save.

#include "card_file.h"
#include "temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace bench {

using ScratchFolder = testsupport::TempFolder;
using testsupport::readBytes;
using testsupport::writeBytes;

inline std::uintmax_t fileSize(const std::string& path) { return std::filesystem::file_size(path); }

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
