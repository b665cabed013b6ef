// Import writes its cards as one durable batch: a kill at any point leaves
// each card old or new, a second run finishes the job, and a card saved
// while the import runs is not overwritten.
#include "import_batch_support.h"
#include "child_process.h"
#include "file_io.h"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

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

void makeOld(const CardFolder& folder, const std::string& name) { testsupport::makeOld(folder.file(name), 60); }

struct KillPoint {
    std::size_t cardsPerRound;
    ImportStep step;
    std::size_t done;
    int newAfterKill;  // cards that are new once killed there
};

TEST(ImportBatch, AKillLeavesEachCardOldOrNewAndASecondRunFinishes)
{
    const KillPoint points[] = {
        {kCardsPerRound, ImportStep::Written, kCards / 2, 0},            // half the new contents written
        {kCardsPerRound, ImportStep::Durable, kCards, 0},                // all durable, none in place
        {kCardsPerRound, ImportStep::Replaced, kCards / 2, kCards / 2},  // half in place
        {kCardsPerRound, ImportStep::Replaced, kCards, kCards},          // all in place, the folder not yet flushed
        // In rounds of 64, the third rewriting the old files the second took out of place.
        {64, ImportStep::Written, 150, 128},
        {64, ImportStep::Durable, 192, 128},
    };
    const std::string table = changedTable();
    for (const KillPoint& point : points) {
        SCOPED_TRACE(std::to_string(point.cardsPerRound) + " " + std::to_string(int(point.step)) + " "
                     + std::to_string(point.done));
        CardFolder folder;
        fillFolder(folder);
        const int status = testsupport::inChild([&] {
            const ImportPlan plan = planImport(table, folder.path());
            carryOut(
                plan,
                [&](ImportStep step, std::size_t done) {
                    if (step == point.step && done == point.done)
                        std::raise(SIGKILL);
                },
                point.cardsPerRound);
            return 0;
        });
        ASSERT_EQ(status, 100 + SIGKILL);
        const int newCards = countNewCards(folder);
        if (point.step == ImportStep::Replaced && point.done < kCards) {
            // The other writer may have put one more card in place meanwhile.
            EXPECT_GE(newCards, point.newAfterKill);
            EXPECT_LE(newCards, point.newAfterKill + 1);
        } else {
            EXPECT_EQ(newCards, point.newAfterKill);
        }

        // Left-over temporary files are ours, and the next run that writes
        // removes them once they are old enough not to be another run's.
        const std::vector<std::string> leftovers = temporaryFiles(folder);
        for (const std::string& name : leftovers)
            makeOld(folder, name);

        const ImportPlan again = planImport(table, folder.path());
        ASSERT_TRUE(again.problems.empty());
        EXPECT_EQ(again.count(CardChange::Unchanged), std::size_t(newCards));
        const ImportOutcome outcome = carryOut(again);
        ASSERT_FALSE(outcome.problem) << *outcome.problem;
        EXPECT_EQ(countNewCards(folder), kCards);
        if (outcome.written > 0)
            EXPECT_TRUE(temporaryFiles(folder).empty());
    }
}

}  // namespace
