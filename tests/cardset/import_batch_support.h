#pragma once

// A folder of cards and a table that changes every one of them, shared by
// the import batch tests that run on every system and those on Linux alone.

#include "card_export.h"
#include "card_folder.h"
#include "card_import.h"
#include "file_io.h"

#include <string>
#include <vector>

inline constexpr int kCards = 200;

inline std::string idOf(int i) { return std::to_string(1000 + i); }

inline Card cardWithHp(const std::string& hp)
{
    Card card;
    card.Rarity = "3";
    card.Levels[0] = {hp, "10", "N/30P/1", "たいあたり", "かみなり"};
    return card;
}

// The folder's cards written plainly (not through replaceFile, so this
// process has not yet looked for leftovers in it), every level 1 at 100 HP.
inline std::string oldBytes() { return cardFileBytes(cardWithHp("100")); }
inline std::string newBytes() { return cardFileBytes(cardWithHp("101")); }

inline void fillFolder(const CardFolder& folder)
{
    for (int i = 0; i < kCards; ++i)
        folder.write(idOf(i) + ".ini", oldBytes());
}

// The table that changes every card: each level 1 one HP more.
inline std::string changedTable()
{
    std::string csv = csvStart();
    for (int i = 0; i < kCards; ++i)
        appendCsvRecord(csv, CardRow{idOf(i), cardWithHp("101")});
    return csv;
}

inline std::vector<std::string> temporaryFiles(const CardFolder& folder)
{
    std::vector<std::string> found;
    for (const std::string& name : folder.names())
        if (name.starts_with(profile::kTemporaryPrefix))
            found.push_back(name);
    return found;
}
