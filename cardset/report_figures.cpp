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

std::uint32_t ReportFigures::rarityOf(const std::string& rarity)
{
    const auto [it, added] = rarityNumbers_.try_emplace(rarity, std::uint32_t(rarities_.size()));
    if (added) {
        rarities_.push_back(rarity);
        rarityCards_.push_back(0);
        values_.resize(values_.size() + 16);
    }
    return it->second;
}

std::string_view ReportFigures::text(std::uint32_t card, int piece) const
{
    std::size_t start = cardStart_[card];
    for (int i = 0; i < piece; ++i)
        start = names_.find('\0', start) + 1;
    return std::string_view(names_).substr(start, names_.find('\0', start) - start);
}

void ReportFigures::addValue(
    std::uint32_t card, int level, std::uint32_t rarity, ReportField field, std::string_view text)
{
    if (text.empty())
        return;  // nothing typed
    if (const std::optional<double> number = wholeNumber(text))
        values_[rarity * 16 + (level - 1) * 4 + static_cast<int>(field)].push_back({*number, card});
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
    const std::uint32_t rarity = rarityOf(c.Rarity);
    ++rarityCards_[rarity];
    ++maxLevels_[c.MaxLv];
    ++supers_[c.SuperMode ? *c.SuperMode : 4];
    for (int n = 1; n <= 4; ++n) {
        const LevelRecord& level = c.Levels[n - 1];
        if (!level.MaxHP.empty())
            ++withLevel[n - 1];
        addValue(card, n, rarity, ReportField::HP, level.MaxHP);
        addValue(card, n, rarity, ReportField::P, level.Power);
        if (level.ExtWazaSpec.empty())
            continue;
        ExtMoveFields move;
        if (!decodeExtMoveSpec(level.ExtWazaSpec, move)) {
            notNumbers.push_back({card, n, "S", CardField::ExtWazaSpec, level.ExtWazaSpec});
            continue;
        }
        addValue(card, n, rarity, ReportField::ExtAmount, move.amount);
        addValue(card, n, rarity, ReportField::ExtCount, move.count);
    }
}

void ReportFigures::finish()
{
    const auto ordered = [](std::vector<ValueCount> list) {
        std::sort(list.begin(), list.end(),
            [](const ValueCount& a, const ValueCount& b) { return reportOrder(a.value, b.value); });
        return list;
    };
    byRarity.clear();
    for (std::size_t r = 0; r < rarities_.size(); ++r)
        byRarity.push_back({rarities_[r], rarityCards_[r]});
    byRarity = ordered(std::move(byRarity));
    byMaxLevel.clear();
    for (const auto& [value, cards] : maxLevels_)
        byMaxLevel.push_back({value, cards});
    byMaxLevel = ordered(std::move(byMaxLevel));
    bySuper.clear();
    for (int mode = 0; mode < 5; ++mode)
        if (supers_[mode] > 0)
            bySuper.push_back({mode < 4 ? std::string(1, char('0' + mode)) : std::string(), supers_[mode]});

    groups.clear();
    outliers.clear();
    std::vector<std::uint32_t> rarityOrder(rarities_.size());
    for (std::uint32_t r = 0; r < rarityOrder.size(); ++r)
        rarityOrder[r] = r;
    std::sort(rarityOrder.begin(), rarityOrder.end(),
        [&](std::uint32_t a, std::uint32_t b) { return reportOrder(rarities_[a], rarities_[b]); });
    std::vector<double> sorted;
    for (int slot = 0; slot < 16; ++slot)
        for (const std::uint32_t rarity : rarityOrder)
            addGroup(1 + slot / 4, static_cast<ReportField>(slot % 4), rarities_[rarity], values_[rarity * 16 + slot],
                sorted);
    values_.clear();
    std::stable_sort(outliers.begin(), outliers.end(),
        [](const ReportOutlier& a, const ReportOutlier& b) { return std::fabs(a.z) > std::fabs(b.z); });
}

void ReportFigures::addGroup(int level, ReportField field, const std::string& rarity, std::vector<ReportPoint>& points,
    std::vector<double>& sorted)
{
    if (points.empty())
        return;
    std::sort(points.begin(), points.end(), [](const ReportPoint& a, const ReportPoint& b) {
        return a.value != b.value ? a.value < b.value : a.card < b.card;
    });
    sorted.clear();
    for (const ReportPoint& p : points)
        sorted.push_back(p.value);
    ReportGroup group{level, rarity, field, boxOf(sorted), std::move(points)};
    const std::vector<double> scores = modifiedZScores(sorted);
    for (std::size_t i = 0; i < scores.size(); ++i)
        if (std::fabs(scores[i]) > kOutlierScore)
            outliers.push_back(
                {group.points[i].card, level, rarity, field, group.points[i].value, group.box.median, scores[i]});
    groups.push_back(std::move(group));
}
