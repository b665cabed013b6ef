#include "card_columns.h"

#include "card_fields.h"
#include "shown_name.h"

namespace {

std::array<CardColumn, kCardColumnCount> makeColumns()
{
    std::array<CardColumn, kCardColumnCount> columns{{
        {"ID", "", "", 0, CardField::Id},
        {"rare", "head", "rare", 0, CardField::Rarity},
        {"maxlv", "head", "maxlv", 0, CardField::MaxLv},
        {"minlv", "head", "minlv", 0, CardField::MinLv},
        {"super", "head", "super", 0, CardField::SuperMode},
    }};
    const std::pair<const char*, CardField> levelKeys[] = {
        {"HP", CardField::MaxHP},
        {"P", CardField::Power},
        {"1", CardField::NomalWaza},
        {"S", CardField::ExtWazaSpec},
        {"2", CardField::ExtWaza},
    };
    std::size_t i = 5;
    for (int level = 1; level <= 4; ++level) {
        const std::string section = "Lv" + std::to_string(level);
        for (const auto& [key, field] : levelKeys)
            columns[i++] = {section + "." + key, section, key, level, field};
    }
    return columns;
}

// The text of a value held as text; nullptr for the super mode.
template <class Row> auto* textOf(Row& row, const CardColumn& column)
{
    auto& card = row.card;
    if (column.level > 0) {
        auto& r = card.Levels[column.level - 1];
        switch (column.field) {
        case CardField::MaxHP: return &r.MaxHP;
        case CardField::Power: return &r.Power;
        case CardField::NomalWaza: return &r.NomalWaza;
        case CardField::ExtWazaSpec: return &r.ExtWazaSpec;
        default: return &r.ExtWaza;
        }
    }
    switch (column.field) {
    case CardField::Id: return &row.id;
    case CardField::Rarity: return &card.Rarity;
    case CardField::MaxLv: return &card.MaxLv;
    case CardField::MinLv: return &card.MinLv;
    default: return static_cast<decltype(&card.Rarity)>(nullptr);
    }
}

}  // namespace

const std::array<CardColumn, kCardColumnCount>& cardColumns()
{
    static const auto columns = makeColumns();
    return columns;
}

const CardColumn* columnOf(std::string_view section, std::string_view key)
{
    for (const CardColumn& column : cardColumns())
        if (!column.section.empty() && column.section == section && column.key == key)
            return &column;
    return nullptr;
}

std::string columnLabel(const CardColumn& column) { return "列「" + column.name + "」"; }

std::string fieldOf(const CardColumn& column)
{
    return column.level > 0 ? levelFieldName(column.level, column.field) : std::string(fieldName(column.field));
}

std::string_view valueAt(const CardRow& row, const CardColumn& column, char& digit)
{
    if (const std::string* text = textOf(row, column))
        return *text;
    if (!row.card.SuperMode)
        return {};
    digit = static_cast<char>('0' + *row.card.SuperMode);
    return {&digit, 1};
}

std::vector<std::string> rowValues(const CardRow& row)
{
    std::vector<std::string> values;
    values.reserve(kCardColumnCount);
    for (const CardColumn& column : cardColumns()) {
        if (const std::string* text = textOf(row, column))
            values.push_back(*text);
        else
            values.push_back(row.card.SuperMode ? std::to_string(*row.card.SuperMode) : std::string());
    }
    return values;
}

CardProblem setRowValue(CardRow& row, const CardColumn& column, std::string value)
{
    if (std::string* text = textOf(row, column)) {
        *text = std::move(value);
        return std::nullopt;
    }
    // The list has four entries; an empty value is saved as the first, as the
    // editor saves a card whose file named none.
    if (value.empty()) {
        row.card.SuperMode.reset();
        return std::nullopt;
    }
    if (value.size() != 1 || value[0] < '0' || value[0] > '3')
        return fieldOf(column) + "の値「" + shownName(value) + "」は使えません：0から3の数字か空にしてください。";
    row.card.SuperMode = value[0] - '0';
    return std::nullopt;
}
