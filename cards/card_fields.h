#pragma once

// The fields of a card as the user knows them, in the window's language. One
// table serves the window (its controls' accessible names) and the messages
// that name a field, so both call a field by the same words.

#include <span>
#include <string>
#include <string_view>

enum class CardField {
    Id,           // txtID
    Rarity,       // txtRarelity, key "rare"
    MaxLv,        // txtMaxLv, key "maxlv"
    MinLv,        // txtMinLv, key "minlv"
    SuperMode,    // cboSuperMode, key "super"
    MaxHP,        // txtMaxHP, key "HP"
    NomalWaza,    // txtNomalWaza, key "1"
    Power,        // txtPower, key "P"
    ExtWaza,      // txtExtWaza, key "2"
    ExtRange,     // cboExWaza1, the range code of key "S"
    ExtAmount,    // txtExtWaza2, the amount of key "S"
    ExtEffect,    // cboExtWaza2, the effect letter of key "S"
    ExtCount,     // txtExtWaza3, the count of key "S"
    ExtWazaSpec,  // key "S" as a whole: the four controls above
};

// The field's name, e.g. "通常技のP".
std::string_view fieldName(CardField field);

// A level's field as a message names it, e.g. "レベル2の通常技のP".
std::string levelFieldName(int level, CardField field);

// The name of a level option, e.g. "レベル2".
std::string levelName(int level);

// The super mode list's entries, mode 0 to 3, as the window lists them.
std::span<const char* const> superModeNames();
// The entry for a mode of 0 to 3, e.g. "このカードはスーパー化する"; empty for any other.
std::string_view superModeName(int mode);
