#include "card_import.h"

#include "card_set.h"
#include "code_page.h"
#include "csv.h"
#include "file_io.h"
#include "read_ahead.h"
#include "replace_batch.h"
#include "shown_name.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cerrno>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

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
                std::to_string(i + 1) + "番目の列名「" + shownName(name) + "」はカードの列ではありません。"});
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
                fieldOf(*columns[i])
                    + "にUTF-8の文字ではないバイトがあります（表はUTF-8かShift-JISで保存してください）。"});
            ok = false;
        } else if (auto problem = setRowValue(row, *columns[i], std::move(value))) {
            problems.push_back({record.row, columns[i], std::move(*problem)});
            ok = false;
        }
    }
    return ok;
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

ImportPlan planImport(std::string_view tableBytes, const std::string& folder, const ImportOptions& options)
{
    ImportPlan plan;
    plan.folder = folder;
    auto& problems = plan.problems;
    const TableText decoded = decodeTable(tableBytes);
    plan.encoding = decoded.encoding;
    const CsvTable table = parseCsv(decoded.utf8);
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

    // The rows that are cards, each with its table row; then each compared
    // with its card file (on worker threads: reading the files and composing
    // the new ones is most of the work).
    std::vector<std::pair<CardRow, std::size_t>> rows;
    std::unordered_map<std::string, std::size_t> rowOfId;
    for (std::size_t r = 1; r < table.records.size(); ++r) {
        const CsvRecord& record = table.records[r];
        if (allEmpty(record))
            continue;  // spreadsheet programs may end a table with rows of empty fields
        CardRow row;
        if (!readRow(record, columns, row, problems))
            continue;
        if (auto problem = checkCardId(row.id)) {
            problems.push_back({record.row, &idColumn(), std::move(*problem)});
            continue;
        }
        if (auto [it, added] = rowOfId.emplace(row.id, record.row); !added) {
            problems.push_back({record.row, &idColumn(), "同じIDが行" + std::to_string(it->second) + "にもあります。"});
            continue;
        }

        rows.emplace_back(std::move(row), record.row);
    }

    struct Compared {
        std::optional<ImportCard> card;
        std::vector<ImportProblem> problems;
    };
    std::vector<std::size_t> rowOfCard;
    const bool canWriteFolder = folderWritable(folder);
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
    if (!options.newIds)
        findDroppedZeros(plan, rowOfCard, problems);
    std::stable_sort(
        problems.begin(), problems.end(), [](const ImportProblem& a, const ImportProblem& b) { return a.row < b.row; });
    return plan;
}

namespace {

// One of the threads that carry out an import: its own batch, and a share of
// each round's cards.
struct ImportWriter {
    explicit ImportWriter(const std::string& folder)
        : batch(folder)
    {
    }
    profile::ReplaceBatch batch;
    std::size_t added = 0;  // entries of the batch so far
    std::size_t written = 0;
    std::vector<std::size_t> skipped;
};

// Where the writers meet: the last to arrive runs `then`, before any goes on.
// (Not std::barrier: built with MinGW's GCC 12 library, it hung under Wine.)
class Meeting {
public:
    explicit Meeting(std::size_t parties)
        : parties_(parties)
    {
    }
    void setParties(std::size_t parties) { parties_ = parties; }

    template <class Then> void arriveAndWait(Then then)
    {
        std::unique_lock lock(mutex_);
        const std::size_t generation = generation_;
        if (++arrived_ < parties_) {
            met_.wait(lock, [&] { return generation_ != generation; });
            return;
        }
        then();
        arrived_ = 0;
        ++generation_;
        met_.notify_all();
    }
    void arriveAndWait()
    {
        arriveAndWait([] {});
    }

private:
    std::mutex mutex_;
    std::condition_variable met_;
    std::size_t parties_, arrived_ = 0, generation_ = 0;
};

}  // namespace

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

    // Two writers share each round: writing a card and putting it in place
    // are mostly the system's work on one file, which two processors do side
    // by side. They meet when both their shares are durable, so no card of a
    // round is put in place before the whole round is written, and again at
    // the end of the round.
    constexpr std::size_t kWriters = 2;
    std::mutex mutex;  // over the watch and the problem
    std::atomic<std::size_t> added = 0, replaced = 0;
    std::atomic<bool> failed = false;
    const auto tell = [&](ImportStep step, std::size_t done) {
        if (watch) {
            const std::lock_guard lock(mutex);
            watch(step, done);
        }
    };
    const auto fail = [&](std::string problem) {
        const std::lock_guard lock(mutex);
        if (!outcome.problem)
            outcome.problem = std::move(problem);
        failed = true;
    };
    const std::size_t perRound = std::max<std::size_t>(cardsPerRound, 1);
    std::size_t roundEnd = 0;
    Meeting roundDurable(kWriters), roundDone(kWriters);
    const auto write = [&](ImportWriter& writer, std::size_t share, std::size_t writers) {
        for (std::size_t first = 0; first < toWrite.size(); first += perRound) {
            const std::size_t last = std::min(toWrite.size(), first + perRound);
            if (share == 0)
                roundEnd = last;
            const std::size_t begin = writer.added;
            for (std::size_t k = first + share; k < last && !failed; k += writers) {
                const ImportCard& card = plan.cards[toWrite[k]];
                if (const auto result = writer.batch.add(card.id + ".ini", card.newBytes); !result.ok()) {
                    fail(cannotWrite(card.path, result.error));
                    break;
                }
                ++writer.added;
                tell(ImportStep::Written, ++added);
            }
            if (!failed)
                if (const auto result = writer.batch.makeDurable(); !result.ok())
                    fail("書き込んだカードをディスクに書き出せませんでした：" + systemReason(result.error));
            roundDurable.arriveAndWait([&] {
                if (!failed)
                    tell(ImportStep::Durable, roundEnd);
            });
            if (failed)
                return;
            for (std::size_t e = begin, k = first + share; e < writer.added && !failed; ++e, k += writers) {
                const ImportCard& card = plan.cards[toWrite[k]];
                bool changed = false;
                if (const auto result = writer.batch.putIfUnchanged(e, card.fileBytes, changed); !result.ok()) {
                    fail(cannotWrite(card.path, result.error));
                    break;
                }
                if (changed) {
                    writer.skipped.push_back(toWrite[k]);
                    continue;
                }
                ++writer.written;
                tell(ImportStep::Replaced, ++replaced);
            }
            roundDone.arriveAndWait();
        }
        if (!failed)
            if (const auto result = writer.batch.finish(); !result.ok())
                fail("カードを書き込みましたが、フォルダー「" + shownName(plan.folder)
                     + "」をディスクに書き出せませんでした：" + systemReason(result.error));
    };

    ImportWriter one(plan.folder), two(plan.folder);
    std::thread second;
    try {
        second = std::thread([&] { write(two, 1, kWriters); });
    } catch (const std::system_error&) {
    }
    if (second.joinable()) {
        write(one, 0, kWriters);
        second.join();
    } else {
        // No second thread to be had: this one writes alone.
        roundDurable.setParties(1);
        roundDone.setParties(1);
        write(one, 0, 1);
    }
    for (const ImportWriter* writer : {&one, &two}) {
        outcome.written += writer->written;
        outcome.skipped.insert(outcome.skipped.end(), writer->skipped.begin(), writer->skipped.end());
    }
    std::sort(outcome.skipped.begin(), outcome.skipped.end());
    if (outcome.problem && outcome.written == 0)
        *outcome.problem += "\nどのカードもそのままです。";
    return outcome;
}
