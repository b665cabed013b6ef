#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The values of one level, as typed (UTF-8).
struct LevelRecord {
    std::string MaxHP;
    std::string Power;
    std::string ExtWazaSpec;  // range code "/" amount effect-letter "/" count
    std::string NomalWaza;
    std::string ExtWaza;

    bool operator==(const LevelRecord&) const = default;
};

// Levels 1 to 4 at indexes 0 to 3.
using LevelBuffer = std::array<LevelRecord, 4>;

// Index of the level the level controls show; -1 means they belong to none.
using LevelIndex = std::int16_t;

// Range codes by index of the reach list, effect letters by index of the effect list.
inline constexpr std::array<std::string_view, 7> kRangeCodes{"N", "1F", "2F", "A", "AM", "U", "E"};
inline constexpr std::array<std::string_view, 3> kEffectLetters{"P", "D", "E"};

// What the four extended-move controls show.
struct ExtMoveFields {
    int rangeIndex = 0;
    std::string amount;
    int effectIndex = 0;
    std::string count;

    bool operator==(const ExtMoveFields&) const = default;
};

// Packs the four controls into one spec, e.g. 1F/30D/2.
std::string encodeExtMoveSpec(const ExtMoveFields& fields);

// Applies a spec to the controls' values. A spec that is empty or does not
// split into exactly three parts changes nothing and returns false. An
// unknown range code or effect letter leaves that selection as it was.
bool decodeExtMoveSpec(std::string_view spec, ExtMoveFields& fields);
