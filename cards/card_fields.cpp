#include "card_fields.h"

std::string_view fieldName(CardField field)
{
    switch (field) {
    case CardField::Id: return "ID";
    case CardField::Rarity: return "星";
    case CardField::MaxLv: return "最大LV";
    case CardField::MinLv: return "最低LV";
    case CardField::SuperMode: return "スーパー";
    case CardField::MaxHP: return "MaxHP";
    case CardField::NomalWaza: return "通常技";
    case CardField::Power: return "通常技のP";
    case CardField::ExtWaza: return "拡張技";
    case CardField::ExtRange: return "拡張技の範囲";
    case CardField::ExtAmount: return "拡張技の数";
    case CardField::ExtEffect: return "拡張技の効果";
    case CardField::ExtCount: return "拡張技の回数";
    // Only the amount and the count are typed; the rest come from lists.
    case CardField::ExtWazaSpec: return "拡張技の数・回数";
    }
    return {};
}

std::string levelName(int level) { return "レベル" + std::to_string(level); }

std::string levelFieldName(int level, CardField field)
{
    return levelName(level) + "の" + std::string(fieldName(field));
}

namespace {

constexpr const char* kSuperModeNames[] = {
    "このカードはモンスターカードでない",
    "このカードはスーパー化しない",
    "このカードはスーパー化する",
    "このカードはスーパーカード",
};

}  // namespace

std::span<const char* const> superModeNames() { return kSuperModeNames; }

std::string_view superModeName(int mode)
{
    return mode >= 0 && mode < int(std::size(kSuperModeNames)) ? kSuperModeNames[mode] : std::string_view();
}
