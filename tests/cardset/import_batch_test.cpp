// Import writes its cards as one durable batch: a kill at any point leaves
// each card old or new, a second run finishes the job, and a card saved
// while the import runs is not overwritten.
#include "card_export.h"
#include "card_import.h"
#include "card_folder.h"
#include "child_process.h"
#include "file_io.h"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr int kCards = 200;

std::string idOf(int i) { return std::to_string(1000 + i); }

Card cardWithHp(const std::string& hp)
{
    Card card;
    card.Rarity = "3";
    card.Levels[0] = {hp, "10", "N/30P/1", "たいあたり", "かみなり"};
    return card;
}

// The folder's cards written plainly (not through replaceFile, so this
// process has not yet looked for leftovers in it), every level 1 at 100 HP.
std::string oldBytes() { return cardFileBytes(cardWithHp("100")); }
std::string newBytes() { return cardFileBytes(cardWithHp("101")); }

void fillFolder(const CardFolder& folder)
{
    for (int i = 0; i < kCards; ++i)
        folder.write(idOf(i) + ".ini", oldBytes());
}

// The table that changes every card: each level 1 one HP more.
std::string changedTable()
{
    std::string csv = csvStart();
    for (int i = 0; i < kCards; ++i)
        appendCsvRecord(csv, CardRow{idOf(i), cardWithHp("101")});
    return csv;
}

// How many cards are new; fails the test on a card that is neither old nor new.
int countNewCards(const CardFolder& folder)
{
    int count = 0;
    for (int i = 0; i < kCards; ++i) {
        const std::string bytes = folder.read(idOf(i) + ".ini");
        EXPECT_TRUE(bytes == oldBytes() || bytes == newBytes()) << idOf(i) << ": " << bytes;
        count += bytes == newBytes();
    }
    return count;
}

std::vector<std::string> temporaryFiles(const CardFolder& folder)
{
    std::vector<std::string> found;
    for (const std::string& name : folder.names())
        if (name.starts_with(profile::kTemporaryPrefix))
            found.push_back(name);
    return found;
}

void makeOld(const CardFolder& folder, const std::string& name)
{
    const std::time_t old = std::time(nullptr) - 3600;
    const timespec times[2] = {{old, 0}, {old, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.file(name).c_str(), times, 0), 0);
}

struct KillPoint {
    ImportStep step;
    std::size_t done;
    int newAfterKill;  // cards that are new once killed there
};

TEST(ImportBatch, AKillLeavesEachCardOldOrNewAndASecondRunFinishes)
{
    const KillPoint points[] = {
        {ImportStep::Written, kCards / 2, 0},            // half the new contents written beside their cards
        {ImportStep::Durable, kCards, 0},                // all durable, none in place
        {ImportStep::Replaced, kCards / 2, kCards / 2},  // half in place
        {ImportStep::Replaced, kCards, kCards},          // all in place, the folder not yet flushed
    };
    const std::string table = changedTable();
    for (const KillPoint& point : points) {
        SCOPED_TRACE(int(point.step) * 1000 + int(point.done));
        CardFolder folder;
        fillFolder(folder);
        const int status = testsupport::inChild([&] {
            const ImportPlan plan = planImport(table, folder.path());
            carryOut(plan, [&](ImportStep step, std::size_t done) {
                if (step == point.step && done == point.done)
                    std::raise(SIGKILL);
            });
            return 0;
        });
        ASSERT_EQ(status, 100 + SIGKILL);
        EXPECT_EQ(countNewCards(folder), point.newAfterKill);

        // Left-over temporary files are ours, and the next run that writes
        // removes them once they are old enough not to be another run's.
        const std::vector<std::string> leftovers = temporaryFiles(folder);
        for (const std::string& name : leftovers)
            makeOld(folder, name);

        const ImportPlan again = planImport(table, folder.path());
        ASSERT_TRUE(again.problems.empty());
        EXPECT_EQ(again.count(CardChange::Unchanged), std::size_t(point.newAfterKill));
        const ImportOutcome outcome = carryOut(again);
        ASSERT_FALSE(outcome.problem) << *outcome.problem;
        EXPECT_EQ(countNewCards(folder), kCards);
        if (outcome.written > 0)
            EXPECT_TRUE(temporaryFiles(folder).empty());
    }
}

TEST(ImportBatch, ACardSavedDuringTheImportIsSkippedAndNamed)
{
    CardFolder folder;
    fillFolder(folder);
    std::string table = changedTable();
    appendCsvRecord(table, CardRow{"new", cardWithHp("5")});
    const ImportPlan plan = planImport(table, folder.path());
    ASSERT_TRUE(plan.problems.empty());
    ASSERT_EQ(plan.count(CardChange::New), 1u);

    // The editor saves card 1007 and creates card "new" while the import has
    // checked every card and written the new contents, but replaced none.
    const std::string saved = cardFileBytes(cardWithHp("777"));
    const ImportOutcome outcome = carryOut(plan, [&](ImportStep step, std::size_t) {
        if (step != ImportStep::Durable)
            return;
        ASSERT_FALSE(writeCard(folder.file("1007.ini"), cardWithHp("777")));
        ASSERT_FALSE(writeCard(folder.file("new.ini"), cardWithHp("888")));
    });
    ASSERT_FALSE(outcome.problem) << *outcome.problem;
    ASSERT_EQ(outcome.skipped.size(), 2u);
    EXPECT_EQ(plan.cards[outcome.skipped[0]].id, "1007");
    EXPECT_EQ(plan.cards[outcome.skipped[1]].id, "new");
    EXPECT_EQ(outcome.written, std::size_t(kCards - 1));
    EXPECT_EQ(folder.read("1007.ini"), saved);
    EXPECT_EQ(folder.read("new.ini"), cardFileBytes(cardWithHp("888")));
    EXPECT_EQ(folder.read("1008.ini"), newBytes());
    EXPECT_TRUE(temporaryFiles(folder).empty());
}

}  // namespace
