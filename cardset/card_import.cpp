#include "card_import.h"

#include "card_set.h"
#include "file_io.h"
#include "import_table.h"
#include "profile_service.h"
#include "read_ahead.h"
#include "replace_batch.h"
#include "shown_name.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <numeric>
#include <optional>

namespace {

const CardColumn& idColumn() { return cardColumns()[0]; }

bool folderWritable(const std::string& path)
{
    const profile::FileInfo info = profile::fileInfo(path);
    return info.kind == profile::FileInfo::Kind::Folder && !info.readOnly;
}

bool sameValues(const CardRow& a, const CardRow& b)
{
    char digitA = 0, digitB = 0;
    for (const CardColumn& column : cardColumns())
        if (valueAt(a, column, digitA) != valueAt(b, column, digitB))
            return false;
    return true;
}

bool allDigits(std::string_view id)
{
    return !id.empty() && id.find_first_not_of("0123456789") == std::string_view::npos;
}

// The number an all-digit ID stands for, as its digits without leading zeros.
std::string_view numberOf(std::string_view id)
{
    const std::size_t first = id.find_first_not_of('0');
    return first == std::string_view::npos ? id.substr(id.size() - 1) : id.substr(first);
}

// New cards whose all-digit ID is, with its leading zeros dropped, that of a
// card in the folder: "7" beside "007" is what a spreadsheet makes of "007".
void findDroppedZeros(
    const ImportPlan& plan, const std::vector<std::size_t>& rowOfCard, std::vector<ImportProblem>& problems)
{
    const auto isCandidate = [](const ImportCard& c) { return c.change == CardChange::New && allDigits(c.id); };
    if (std::none_of(plan.cards.begin(), plan.cards.end(), isCandidate))
        return;
    std::vector<CardFile> files;
    if (findCardFiles(plan.folder, files))
        return;  // an unreadable folder is told when the cards are written
    std::multimap<std::string_view, std::string_view> padded;  // number -> IDs with leading zeros
    for (const CardFile& file : files)
        if (allDigits(file.id) && file.id.size() > 1 && file.id[0] == '0')
            padded.emplace(numberOf(file.id), file.id);
    for (std::size_t i = 0; i < plan.cards.size(); ++i) {
        const ImportCard& card = plan.cards[i];
        if (!isCandidate(card))
            continue;
        const auto [first, last] = padded.equal_range(numberOf(card.id));
        const auto other = std::find_if(first, last, [&](const auto& entry) { return entry.second != card.id; });
        if (other == last)
            continue;
        problems.push_back({rowOfCard[i], &idColumn(),
            "ID「" + card.id + "」は新しいカードになりますが、フォルダーには同じ番号で先頭に0のあるカード「"
                + std::string(other->second)
                + "」があります。表計算ソフトがIDの列を数値として読むと先頭の0が消えます。"
                  "IDの列の書式を「文字列」にして表を作り直してください。別のカードとして作るときは "
                  "--new-ids を付けてください。"});
    }
}

// Rows that give a card an ID that an earlier row gave, found once every
// row is planned: the plan's cards in row order, sorted by ID (a table of
// IDs held apart would cost more than the plan does per card).
void findRepeatedIds(
    const ImportPlan& plan, const std::vector<std::size_t>& rowOfCard, std::vector<ImportProblem>& problems)
{
    std::vector<std::size_t> byId(plan.cards.size());
    std::iota(byId.begin(), byId.end(), std::size_t(0));
    std::stable_sort(
        byId.begin(), byId.end(), [&](std::size_t a, std::size_t b) { return plan.cards[a].id < plan.cards[b].id; });
    for (std::size_t k = 1, first = 0; k < byId.size(); ++k) {
        if (plan.cards[byId[k]].id != plan.cards[byId[first]].id) {
            first = k;
            continue;
        }
        problems.push_back({rowOfCard[byId[k]], &idColumn(),
            "同じIDが行" + std::to_string(rowOfCard[byId[first]]) + "にもあります。"});
    }
}

std::string cannotWrite(const std::string& path, int error)
{
    return "「" + shownName(path) + "」に書き込めませんでした：" + systemReason(error);
}

// The row set against its card's file: new, changed or unchanged, with the
// problems of a card that is to be written (nullopt: the file cannot be read).
std::optional<ImportCard> compare(const CardRow& row, std::size_t tableRow, const std::string& folder,
    bool folderWritable, std::vector<ImportProblem>& problems)
{
    ImportCard item;
    item.id = row.id;
    item.path = cardFilePath(folder, row.id);
    CardRow current{row.id, {}};
    std::vector<CardConflict> conflicts;
    if (auto problem = readCard(item.path, current.card, nullptr, &item.fileBytes, &conflicts)) {
        problems.push_back({tableRow, &idColumn(), problem->substr(0, problem->rfind('\n'))});
        return std::nullopt;
    }
    const bool exists = item.fileBytes.has_value();
    // A card a merge left with conflicts is never unchanged: writing it as
    // Save writes it is what resolves them.
    item.resolvesConflicts = !conflicts.empty();
    if (exists && !item.resolvesConflicts && sameValues(current, row)) {
        item.fileBytes.reset();
        return item;  // unchanged
    }
    // The file may hold what Save would write while its values read back
    // otherwise: a few characters (〜 and −, for example) are held in
    // Shift-JIS as look-alikes that read back as other characters.
    std::vector<RefusedValue> refused = refusedValues(row.card);
    item.newBytes = cardFileBytes(row.card);
    if (exists && !item.resolvesConflicts && refused.empty() && item.newBytes == *item.fileBytes) {
        item.fileBytes.reset();
        item.newBytes = std::string();
        return item;  // unchanged
    }
    item.change = exists ? CardChange::Changed : CardChange::New;
    for (RefusedValue& value : refused)
        problems.push_back({tableRow, columnOf(value.section, value.key), std::move(value.reason)});
    if (exists && profile::fileInfo(item.path).readOnly)
        problems.push_back(
            {tableRow, &idColumn(), "カードファイル「" + shownName(item.path) + "」が読み取り専用です。"});
    else if (!exists && !folderWritable)
        problems.push_back({tableRow, &idColumn(), "フォルダー「" + shownName(folder) + "」が読み取り専用です。"});
    return item;
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

ImportPlan planImport(TableInput& input, const std::string& folder, const ImportOptions& options)
{
    ImportPlan plan;
    plan.folder = folder;
    auto& problems = plan.problems;
    ImportTable table(input, options.encoding);
    const bool started = table.start(problems);
    plan.encoding = table.encoding();
    plan.tableUnreadable = table.unreadable();
    if (!started)
        return plan;

    // The rows that are cards, a step of them at a time, each with its table
    // row; each step compared with its card files on worker threads (reading
    // the files and composing the new ones is most of the work) and let go.
    constexpr std::size_t kRowsPerStep = 2048;
    std::vector<std::pair<CardRow, std::size_t>> rows;
    rows.reserve(kRowsPerStep);
    std::vector<std::size_t> rowOfCard;
    const bool canWriteFolder = folderWritable(folder);
    struct Compared {
        std::optional<ImportCard> card;
        std::vector<ImportProblem> problems;
    };
    const auto compareRows = [&] {
        readAhead<Compared>(
            rows.size(),
            [&](std::size_t i, Compared& compared) {
                compared.card = compare(rows[i].first, rows[i].second, folder, canWriteFolder, compared.problems);
            },
            [&](std::size_t i, Compared& compared) {
                problems.insert(problems.end(), std::make_move_iterator(compared.problems.begin()),
                    std::make_move_iterator(compared.problems.end()));
                if (!compared.card)
                    return;
                plan.cards.push_back(std::move(*compared.card));
                rowOfCard.push_back(rows[i].second);
            });
        rows.clear();
    };
    CardRow row;
    std::size_t tableRow = 0;
    while (problems.size() <= kMaxImportProblems && table.next(row, tableRow, problems)) {
        if (auto problem = checkCardId(row.id)) {
            problems.push_back({tableRow, &idColumn(), std::move(*problem)});
            continue;
        }
        rows.emplace_back(std::move(row), tableRow);
        if (rows.size() == kRowsPerStep)
            compareRows();
    }
    compareRows();
    plan.tableUnreadable = table.unreadable();
    findRepeatedIds(plan, rowOfCard, problems);
    if (!options.newIds)
        findDroppedZeros(plan, rowOfCard, problems);
    std::stable_sort(
        problems.begin(), problems.end(), [](const ImportProblem& a, const ImportProblem& b) { return a.row < b.row; });
    if (problems.size() > kMaxImportProblems) {
        problems.resize(kMaxImportProblems);
        plan.problemsCut = true;
    }
    return plan;
}

ImportPlan planImport(std::string_view table, const std::string& folder, const ImportOptions& options)
{
    TextInput input(table);
    return planImport(input, folder, options);
}

ImportOutcome carryOut(const ImportPlan& plan, const ImportWatch& watch, std::size_t cardsPerRound)
{
    ImportOutcome outcome;
    if (!plan.problems.empty()) {
        outcome.problem = "表に問題があるため何も書き込んでいません。";
        return outcome;
    }
    std::vector<std::size_t> toWrite;  // the plan's index of each card to write
    for (std::size_t i = 0; i < plan.cards.size(); ++i)
        if (plan.cards[i].change != CardChange::Unchanged)
            toWrite.push_back(i);
    const auto tell = [&](ImportStep step, std::size_t done) {
        if (watch)
            watch(step, done);
    };

    // In rounds: a kill leaves at most one round's temporary files behind,
    // and the import needs room on the disk for one round beside the cards.
    // Each round is a batch of its own; the last one flushes the folder.
    std::optional<profile::ReplaceBatch> batch;
    const std::size_t perRound = std::max<std::size_t>(cardsPerRound, 1);
    std::size_t checked = 0;
    for (std::size_t first = 0; first < toWrite.size() && !outcome.problem; first += perRound) {
        const std::size_t last = std::min(toWrite.size(), first + perRound);
        batch.emplace(plan.folder);
        batch->reserve(last - first);
        for (std::size_t k = first; k < last; ++k) {
            const ImportCard& card = plan.cards[toWrite[k]];
            if (const auto result = batch->add(card.id + ".ini", card.newBytes); !result.ok()) {
                outcome.problem = cannotWrite(card.path, result.error);
                break;
            }
            tell(ImportStep::Written, k + 1);
        }
        if (outcome.problem)
            break;
        if (const auto result = batch->makeDurable(); !result.ok()) {
            outcome.problem = "書き込んだカードをディスクに書き出せませんでした：" + systemReason(result.error);
            break;
        }
        tell(ImportStep::Durable, last);
        // The lock is let go between cards, so a Save waits one card at most.
        profile::FolderLock lock(plan.folder);
        for (std::size_t k = first; k < last; ++k) {
            const std::size_t index = toWrite[k];
            const ImportCard& card = plan.cards[index];
            if (const int err = lock.relock()) {
                outcome.problem
                    = "「" + shownName(card.path) + "」に書き込めませんでした：" + folderLockReason(plan.folder, err);
                break;
            }
            profile::PutCheck check;
            const auto result = batch->putIfUnchanged(
                k - first, card.fileBytes, check, [&] { tell(ImportStep::Checked, ++checked); });
            lock.unlock();
            if (!result.ok()) {
                outcome.problem = cannotWrite(card.path, result.error);
                break;
            }
            if (check.changed) {
                outcome.skipped.push_back(index);
                continue;
            }
            if (!check.keptAs.empty())
                outcome.kept.push_back({index, profile::joinPath(plan.folder, check.keptAs)});
            outcome.written.push_back(index);
            tell(ImportStep::Replaced, outcome.written.size());
        }
    }
    if (batch && (!outcome.written.empty() || !outcome.skipped.empty()))
        if (const auto result = batch->finish(); !result.ok() && !outcome.problem)
            outcome.problem = "カードを書き込みましたが、フォルダー「" + shownName(plan.folder)
                              + "」をディスクに書き出せませんでした：" + systemReason(result.error);
    if (outcome.problem && outcome.written.empty())
        *outcome.problem += "\nどのカードもそのままです。";
    return outcome;
}
