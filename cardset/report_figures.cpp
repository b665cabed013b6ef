#include "report_figures.h"

#include "card_fields.h"
#include "level_buffer.h"

#include <algorithm>
#include <cmath>

namespace {

// 1 / Φ⁻¹(3/4): makes the median absolute deviation of normal data its standard deviation.
constexpr double kMadScale = 1.4826;

constexpr std::size_t kMostDigits = 15;

}  // namespace

std::string_view reportFieldKey(ReportField field)
{
    switch (field) {
    case ReportField::HP: return "HP";
    case ReportField::P: return "P";
    case ReportField::ExtAmount: return "S.amount";
    case ReportField::ExtCount: return "S.count";
    }
    return {};
}

CardField shownField(ReportField field)
{
    constexpr CardField shown[] = {CardField::MaxHP, CardField::Power, CardField::ExtAmount, CardField::ExtCount};
    return shown[static_cast<int>(field)];
}

std::string reportFieldName(int level, ReportField field) { return levelFieldName(level, shownField(field)); }

std::optional<double> wholeNumber(std::string_view text)
{
    const bool negative = text.starts_with('-');
    if (negative)
        text.remove_prefix(1);
    if (text.empty() || text.size() > kMostDigits)
        return std::nullopt;
    double value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

double quantile(std::span<const double> sorted, double p)
{
    const double h = double(sorted.size() - 1) * p;
    const std::size_t below = static_cast<std::size_t>(std::floor(h));
    if (below + 1 >= sorted.size())
        return sorted.back();
    return sorted[below] + (h - double(below)) * (sorted[below + 1] - sorted[below]);
}

BoxFigures boxOf(std::span<const double> sorted)
{
    return {sorted.size(), sorted.front(), quantile(sorted, 0.25), quantile(sorted, 0.5), quantile(sorted, 0.75),
        sorted.back()};
}

std::vector<double> modifiedZScores(std::span<const double> sorted)
{
    if (sorted.size() < kFewestForOutliers)
        return {};
    const double median = quantile(sorted, 0.5);
    std::vector<double> deviations;
    deviations.reserve(sorted.size());
    for (const double v : sorted)
        deviations.push_back(std::fabs(v - median));
    std::sort(deviations.begin(), deviations.end());
    const double mad = quantile(deviations, 0.5);
    if (mad == 0)
        return {};
    std::vector<double> scores;
    scores.reserve(sorted.size());
    for (const double v : sorted)
        scores.push_back((v - median) / (kMadScale * mad));
    return scores;
}

bool reportOrder(std::string_view a, std::string_view b)
{
    const std::optional<double> x = wholeNumber(a), y = wholeNumber(b);
    if (x && y)
        return *x != *y ? *x < *y : a < b;  // "03" and "3" are kept apart
    if (x || y)
        return bool(x);
    return a < b;
}

bool ReportFigures::GroupKey::operator<(const GroupKey& other) const
{
    if (level != other.level)
        return level < other.level;
    if (field != other.field)
        return field < other.field;
    return reportOrder(rarity, other.rarity);
}

std::string_view ReportFigures::text(std::uint32_t card, int piece) const
{
    std::size_t start = cardStart_[card];
    for (int i = 0; i < piece; ++i)
        start = names_.find('\0', start) + 1;
    return std::string_view(names_).substr(start, names_.find('\0', start) - start);
}

void ReportFigures::addValue(
    std::uint32_t card, int level, const std::string& rarity, ReportField field, std::string_view text)
{
    if (text.empty())
        return;  // nothing typed
    if (const std::optional<double> number = wholeNumber(text))
        values_[{level, field, rarity}].push_back({*number, card});
    else
        notNumbers.push_back({card, level, std::string(reportFieldKey(field)), shownField(field), std::string(text)});
}

void ReportFigures::add(const CardRow& row)
{
    const auto card = static_cast<std::uint32_t>(cardStart_.size());
    cardStart_.push_back(names_.size());
    names_ += row.id;
    names_ += '\0';
    const Card& c = row.card;
    for (const LevelRecord& level : c.Levels) {
        names_ += level.NomalWaza;
        names_ += '\0';
        names_ += level.ExtWaza;
        names_ += '\0';
    }
    ++rarities_[c.Rarity];
    ++maxLevels_[c.MaxLv];
    ++supers_[c.SuperMode ? *c.SuperMode : 4];
    for (int n = 1; n <= 4; ++n) {
        const LevelRecord& level = c.Levels[n - 1];
        if (!level.MaxHP.empty())
            ++withLevel[n - 1];
        addValue(card, n, c.Rarity, ReportField::HP, level.MaxHP);
        addValue(card, n, c.Rarity, ReportField::P, level.Power);
        if (level.ExtWazaSpec.empty())
            continue;
        ExtMoveFields move;
        if (!decodeExtMoveSpec(level.ExtWazaSpec, move)) {
            notNumbers.push_back({card, n, "S", CardField::ExtWazaSpec, level.ExtWazaSpec});
            continue;
        }
        addValue(card, n, c.Rarity, ReportField::ExtAmount, move.amount);
        addValue(card, n, c.Rarity, ReportField::ExtCount, move.count);
    }
}

void ReportFigures::finish()
{
    const auto counts = [](const std::map<std::string, std::size_t>& byValue) {
        std::vector<ValueCount> list;
        for (const auto& [value, cards] : byValue)
            list.push_back({value, cards});
        std::sort(list.begin(), list.end(),
            [](const ValueCount& a, const ValueCount& b) { return reportOrder(a.value, b.value); });
        return list;
    };
    byRarity = counts(rarities_);
    byMaxLevel = counts(maxLevels_);
    bySuper.clear();
    for (int mode = 0; mode < 5; ++mode)
        if (supers_[mode] > 0)
            bySuper.push_back({mode < 4 ? std::string(1, char('0' + mode)) : std::string(), supers_[mode]});

    groups.clear();
    outliers.clear();
    std::vector<double> sorted;
    for (auto& [key, points] : values_) {
        std::sort(points.begin(), points.end(), [](const ReportPoint& a, const ReportPoint& b) {
            return a.value != b.value ? a.value < b.value : a.card < b.card;
        });
        sorted.clear();
        for (const ReportPoint& p : points)
            sorted.push_back(p.value);
        ReportGroup group{key.level, key.rarity, key.field, boxOf(sorted), std::move(points)};
        const std::vector<double> scores = modifiedZScores(sorted);
        for (std::size_t i = 0; i < scores.size(); ++i)
            if (std::fabs(scores[i]) > kOutlierScore)
                outliers.push_back({group.points[i].card, key.level, key.rarity, key.field, group.points[i].value,
                    group.box.median, scores[i]});
        groups.push_back(std::move(group));
    }
    values_.clear();
    std::stable_sort(outliers.begin(), outliers.end(),
        [](const ReportOutlier& a, const ReportOutlier& b) { return std::fabs(a.z) > std::fabs(b.z); });
}
