#include "card_import.h"

#include "code_page.h"
#include "csv.h"
#include "file_io.h"

#include <algorithm>
#include <map>

namespace {

const CardColumn& idColumn() { return cardColumns()[0]; }

// Which column of the table each field is; problems for names that are not
// columns, are given twice or are missing.
std::vector<const CardColumn*> readHeader(const CsvRecord& header, std::vector<ImportProblem>& problems)
{
    std::vector<const CardColumn*> columns;
    std::vector<bool> seen(kCardColumnCount, false);
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        const std::string& name = header.fields[i];
        const auto& all = cardColumns();
        const auto it = std::find_if(all.begin(), all.end(), [&](const CardColumn& c) { return c.name == name; });
        if (it == all.end()) {
            problems.push_back({header.row, nullptr,
                std::to_string(i + 1) + "番目の列名「" + profile::sanitizeUtf8(name)
                    + "」はカードの列ではありません。"});
            columns.push_back(nullptr);
            continue;
        }
        const std::size_t index = std::size_t(it - all.begin());
        if (seen[index])
            problems.push_back({header.row, &*it, "同じ列名が2回あります。"});
        seen[index] = true;
        columns.push_back(&*it);
    }
    std::string missing;
    for (std::size_t i = 0; i < kCardColumnCount; ++i)
        if (!seen[i])
            missing += (missing.empty() ? "「" : "、「") + cardColumns()[i].name + "」";
    if (!missing.empty())
        problems.push_back({header.row, nullptr, "列" + missing + "がありません。"});
    return columns;
}

bool allEmpty(const CsvRecord& record)
{
    return std::all_of(record.fields.begin(), record.fields.end(), [](const std::string& f) { return f.empty(); });
}

bool folderWritable(const std::string& path)
{
    const profile::FileInfo info = profile::fileInfo(path);
    return info.kind == profile::FileInfo::Kind::Folder && !info.readOnly;
}

// Reads one row of the table into a card; problems for what is not text or
// not a value the card can hold.
bool readRow(const CsvRecord& record, const std::vector<const CardColumn*>& columns, CardRow& row,
    std::vector<ImportProblem>& problems)
{
    if (record.fields.size() != columns.size()) {
        problems.push_back({record.row, nullptr,
            "列の数が見出しの行と違います（" + std::to_string(record.fields.size()) + "列、見出しは"
                + std::to_string(columns.size()) + "列）。"});
        return false;
    }
    bool ok = true;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        std::string value = profile::sanitizeUtf8(record.fields[i]);
        if (value != record.fields[i]) {
            problems.push_back({record.row, columns[i],
                fieldOf(*columns[i]) + "にUTF-8の文字ではないバイトがあります（表はUTF-8で保存してください）。"});
            ok = false;
        } else if (auto problem = setRowValue(row, *columns[i], std::move(value))) {
            problems.push_back({record.row, columns[i], std::move(*problem)});
            ok = false;
        }
    }
    return ok;
}

bool sameValues(const CardRow& a, const CardRow& b) { return rowValues(a) == rowValues(b); }

// The file already holds what Save would write for the card. Its values may
// still read back otherwise: a few characters (〜 and −, for example) are
// held in Shift-JIS as look-alikes that read back as other characters.
bool savedAsIs(const std::string& path, const Card& card)
{
    std::string bytes;
    return refusedValues(card).empty() && profile::readFileOnce(path, bytes) == 0 && bytes == cardFileBytes(card);
}

}  // namespace

std::string describe(const ImportProblem& problem)
{
    std::string where;
    if (problem.row > 0)
        where = "行" + std::to_string(problem.row);
    if (problem.column)
        where += (where.empty() ? "" : "、") + columnLabel(*problem.column);
    return where.empty() ? problem.reason : where + "：" + problem.reason;
}

std::size_t ImportPlan::count(CardChange change) const
{
    return std::size_t(
        std::count_if(cards.begin(), cards.end(), [&](const ImportCard& c) { return c.change == change; }));
}

ImportPlan planImport(std::string_view csvText, const std::string& folder)
{
    ImportPlan plan;
    auto& problems = plan.problems;
    const CsvTable table = parseCsv(csvText);
    if (table.records.empty() && !table.error) {
        problems.push_back({0, nullptr, "見出しの行がありません。"});
        return plan;
    }
    std::vector<const CardColumn*> columns;
    if (!table.records.empty() && table.records.front().row == 1)
        columns = readHeader(table.records.front(), problems);
    else if (!table.records.empty())
        problems.push_back({1, nullptr, "1行目は見出しの行でなければなりません。"});
    if (table.error) {
        const std::size_t field = table.error->field;
        const CardColumn* column = field >= 1 && field <= columns.size() ? columns[field - 1] : nullptr;
        problems.push_back({table.error->row, column, table.error->reason});
    }
    if (!problems.empty())
        return plan;

    std::map<std::string, std::size_t> rowOfId;
    const bool canWriteFolder = folderWritable(folder);
    for (std::size_t r = 1; r < table.records.size(); ++r) {
        const CsvRecord& record = table.records[r];
        if (allEmpty(record))
            continue;  // spreadsheet programs may end a table with rows of empty fields
        ImportCard item;
        if (!readRow(record, columns, item.row, problems))
            continue;
        const std::string& id = item.row.id;
        if (auto problem = checkCardId(id)) {
            problems.push_back({record.row, &idColumn(), std::move(*problem)});
            continue;
        }
        if (auto [it, added] = rowOfId.emplace(id, record.row); !added) {
            problems.push_back({record.row, &idColumn(), "同じIDが行" + std::to_string(it->second) + "にもあります。"});
            continue;
        }

        item.path = cardFilePath(folder, id);
        CardRow current{id, {}};
        const profile::FileInfo file = profile::fileInfo(item.path);
        const bool exists = file.kind != profile::FileInfo::Kind::Missing;
        if (auto problem = readCard(item.path, current.card)) {
            problems.push_back({record.row, &idColumn(), problem->substr(0, problem->find('\n'))});
            continue;
        }
        if (exists && (sameValues(current, item.row) || savedAsIs(item.path, item.row.card))) {
            item.change = CardChange::Unchanged;
        } else {
            item.change = exists ? CardChange::Changed : CardChange::New;
            for (RefusedValue& refused : refusedValues(item.row.card))
                problems.push_back({record.row, columnOf(refused.section, refused.key), std::move(refused.reason)});
            if (exists && file.readOnly)
                problems.push_back(
                    {record.row, &idColumn(), "カードファイル「" + item.path + "」が読み取り専用です。"});
            else if (!exists && !canWriteFolder)
                problems.push_back({record.row, &idColumn(), "フォルダー「" + folder + "」が読み取り専用です。"});
        }
        plan.cards.push_back(std::move(item));
    }
    return plan;
}

CardProblem carryOut(const ImportPlan& plan, std::size_t& written)
{
    written = 0;
    if (!plan.problems.empty())
        return "表に問題があるため何も書き込んでいません。";
    for (const ImportCard& item : plan.cards) {
        if (item.change == CardChange::Unchanged)
            continue;
        if (auto problem = writeCard(item.path, item.row.card))
            return problem;
        ++written;
    }
    return std::nullopt;
}
