#pragma once

// The figures of the card set's balance report: how many cards of each kind,
// and for each level, rarity and numeric field the spread of the values
// (quartiles), and the cards far from their peers (the modified z-score of
// Iglewicz and Hoaglin). Plain data, filled a card at a time.

#include "card_columns.h"

#include <array>
#include <cstdint>
#include <unordered_map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The numbers of a level that the report looks at: HP, P, and the amount and
// the count of the extended move (the numbers of S).
enum class ReportField { HP, P, ExtAmount, ExtCount };
inline constexpr std::array<ReportField, 4> kReportFields{
    ReportField::HP, ReportField::P, ReportField::ExtAmount, ReportField::ExtCount};

// The field's name in the JSON: "HP", "P", "S.amount", "S.count".
std::string_view reportFieldKey(ReportField field);

// The field of the window: MaxHP, the power, the extended move's amount and count.
CardField shownField(ReportField field);

// The field as the window names it at a level: "レベル1のMaxHP".
std::string reportFieldName(int level, ReportField field);

// The number a value stands for: an optional "-" and 1 to 15 digits, nothing
// else (so every such number is exact in a double); nullopt for any other text.
std::optional<double> wholeNumber(std::string_view text);

// The quantile p (0 to 1) of values sorted ascending, by linear interpolation
// between the closest ranks (R's type 7, NumPy's default). `sorted` is not empty.
double quantile(std::span<const double> sorted, double p);

struct BoxFigures {
    std::size_t count = 0;
    double min = 0, q1 = 0, median = 0, q3 = 0, max = 0;
};

// The box of values sorted ascending (not empty).
BoxFigures boxOf(std::span<const double> sorted);

// A group with fewer values than this, or whose values do not spread (a median
// absolute deviation of 0), has no outliers.
inline constexpr std::size_t kFewestForOutliers = 5;
// A value is an outlier when |value - median| / (1.4826 x MAD) is above this.
inline constexpr double kOutlierScore = 3.5;

// The modified z-score of each value (sorted ascending) against its group, in
// the same order; empty when the group has none (too few values, no spread).
std::vector<double> modifiedZScores(std::span<const double> sorted);

// One card's value in a group.
struct ReportPoint {
    double value = 0;
    std::uint32_t card = 0;  // its place in the order the cards came
};

// The values of one level, rarity and field.
struct ReportGroup {
    int level = 0;
    std::string rarity;  // "rare" as Load reads it
    ReportField field = ReportField::HP;
    BoxFigures box;
    std::vector<ReportPoint> points;  // ascending by value
};

struct ReportOutlier {
    std::uint32_t card = 0;
    int level = 0;
    std::string rarity;
    ReportField field = ReportField::HP;
    double value = 0, median = 0, z = 0;  // z: (value - median) / (1.4826 x MAD)
};

// A value that is not a whole number, so it is left out of the figures.
struct NotANumber {
    std::uint32_t card = 0;
    int level = 0;
    std::string field;  // "HP", "P", "S.amount", "S.count", or "S" for a spec that does not split into three
    CardField shown = CardField::MaxHP;  // the field as the window names it
    std::string value;
};

// How many cards hold a value ("3" of "rare").
struct ValueCount {
    std::string value;
    std::size_t cards = 0;
};

class ReportFigures {
public:
    // Takes the next card.
    void add(const CardRow& row);
    // Works out the groups and the outliers once every card is in.
    void finish();

    std::size_t cards() const { return cardStart_.size(); }
    std::string_view id(std::uint32_t card) const { return text(card, 0); }
    // The names of a level's normal and extended move (level 1 to 4).
    std::string_view normalMove(std::uint32_t card, int level) const { return text(card, 2 * level - 1); }
    std::string_view extendedMove(std::uint32_t card, int level) const { return text(card, 2 * level); }

    // Filled by finish():
    std::vector<ValueCount> byRarity;        // rarities in their order (numbers by value, then text)
    std::vector<ValueCount> bySuper;         // "0" to "3", then "" for a card whose list shows none
    std::vector<ValueCount> byMaxLevel;      // "maxlv" values, ordered as the rarities
    std::array<std::size_t, 4> withLevel{};  // cards with a MaxHP at each level
    std::vector<ReportGroup> groups;         // by level, field, rarity
    std::vector<ReportOutlier> outliers;     // farthest first
    std::vector<NotANumber> notNumbers;      // in the cards' order

private:
    std::string_view text(std::uint32_t card, int piece) const;
    void addValue(std::uint32_t card, int level, std::uint32_t rarity, ReportField field, std::string_view text);

    // A rarity's number in the order first seen; its values are at
    // values_[rarity * 16 + (level - 1) * 4 + field].
    std::uint32_t rarityOf(const std::string& rarity);
    // Sorts a group's values and takes its box and outliers.
    void addGroup(int level, ReportField field, const std::string& rarity, std::vector<ReportPoint>& points,
        std::vector<double>& sorted);
    std::unordered_map<std::string, std::uint32_t> rarityNumbers_;
    std::vector<std::string> rarities_;
    std::vector<std::size_t> rarityCards_;
    std::vector<std::vector<ReportPoint>> values_;
    std::unordered_map<std::string, std::size_t> maxLevels_;
    std::array<std::size_t, 5> supers_{};
    // Each card's ID and move names, one after another, each ended by a NUL.
    std::string names_;
    std::vector<std::size_t> cardStart_;
};

// Rarities and levels as the report orders them: whole numbers by value
// first, then any other text byte for byte.
bool reportOrder(std::string_view a, std::string_view b);
