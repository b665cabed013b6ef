// Import writes its cards as one durable batch: a kill at any point leaves
// each card old or new, a second run finishes the job, and a card saved
// while the import runs is not overwritten.
#include "import_batch_support.h"
#include "child_process.h"
#include "file_io.h"
#include "ini_access.h"
#include "profile_service.h"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
        // In rounds of 64: two rounds in place, the third being written or made durable.
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
        EXPECT_EQ(newCards, point.newAfterKill);

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
        if (!outcome.written.empty())
            EXPECT_TRUE(temporaryFiles(folder).empty());
    }
}

// A card that is a symbolic link is written as Save writes it: the link
// gives way to the card, the file it led to stays as it was.
TEST(ImportBatch, ALinkedCardIsWrittenAsSaveWritesIt)
{
    CardFolder folder;
    fillFolder(folder);
    ASSERT_EQ(::mkdir(folder.file("elsewhere").c_str(), 0755), 0);
    for (const char* id : {"1000", "1001"}) {
        folder.write(std::string("elsewhere/") + id, oldBytes());
        ASSERT_EQ(::unlink(folder.file(std::string(id) + ".ini").c_str()), 0);
        ASSERT_EQ(
            ::symlink((std::string("elsewhere/") + id).c_str(), folder.file(std::string(id) + ".ini").c_str()), 0);
    }
    ASSERT_FALSE(writeCard(folder.file("1001.ini"), cardWithHp("101")));

    const ImportOutcome outcome = carryOut(planImport(changedTable(), folder.path()));
    ASSERT_FALSE(outcome.problem) << *outcome.problem;
    EXPECT_TRUE(outcome.skipped.empty());
    EXPECT_EQ(outcome.written.size(), std::size_t(kCards - 1));  // 1001 was new already
    for (const char* id : {"1000", "1001"}) {
        struct stat st { };
        ASSERT_EQ(::lstat(folder.file(std::string(id) + ".ini").c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode)) << id;
        EXPECT_EQ(folder.read(std::string(id) + ".ini"), newBytes()) << id;
        EXPECT_EQ(folder.read(std::string("elsewhere/") + id), oldBytes()) << id;
    }
    EXPECT_EQ(planImport(changedTable(), folder.path()).count(CardChange::Unchanged), std::size_t(kCards));
}

// Other processes that write into the folder meanwhile look for what killed
// runs left there (cards an hour old all around): the running import's
// files stay, even when it has run longer than a killed run's files are
// kept, and their clean-up never breaks it.
TEST(ImportBatch, AnotherProcessCleaningUpNeverBreaksARunningImport)
{
    CardFolder folder;
    constexpr int kMany = 200;
    constexpr std::size_t kPerRound = 64;  // four rounds
    std::string table = csvStart();
    for (int i = 0; i < kMany; ++i) {
        folder.write(idOf(i) + ".ini", oldBytes());
        makeOld(folder, idOf(i) + ".ini");
        appendCsvRecord(table, CardRow{idOf(i), cardWithHp("101")});
    }
    const auto someoneElseWrites = [&] {
        ASSERT_EQ(testsupport::inChild([&] {
            INIAccess other;
            other.FileName = folder.file("other.ini");
            return other.SetINIData("k", "v", "s") ? 0 : 1;
        }),
            0);
    };
    const auto watch = [&](ImportStep step, std::size_t done) {
        if (step == ImportStep::Durable || (step == ImportStep::Replaced && done % kPerRound == 0)) {
            for (const std::string& name : temporaryFiles(folder))
                makeOld(folder, name);  // as if the import had run for an hour
            someoneElseWrites();
        }
    };
    const ImportOutcome outcome = carryOut(planImport(table, folder.path()), watch, kPerRound);
    ASSERT_FALSE(outcome.problem) << *outcome.problem;
    EXPECT_EQ(outcome.written.size(), std::size_t(kMany));
    for (int i = 0; i < kMany; ++i)
        ASSERT_EQ(folder.read(idOf(i) + ".ini"), newBytes()) << idOf(i);
    EXPECT_TRUE(temporaryFiles(folder).empty());
}

// A FIFO (or anything else that is no file) put where the folder's lock
// file goes: every writer says so at once and writes nothing; none waits on it.
TEST(ImportBatch, ALockThatIsNoFileStopsEveryWriterWithAMessage)
{
    CardFolder folder;
    fillFolder(folder);
    ASSERT_EQ(::mkfifo(folder.file(".velmar.lock").c_str(), 0644), 0);
    const int status = testsupport::inChild([&] {
        ::alarm(60);  // a writer that waits on the FIFO fails the test rather than hang it
        const auto named = [](const CardProblem& problem) {
            return problem && problem->find(".velmar.lock」が通常のファイルではありません") != std::string::npos;
        };
        INIAccess keys;
        keys.FileName = folder.file("1000.ini");
        if (keys.SetINIData("HP", "5", "Lv1") || profile::lastError() != ENOLCK)
            return 1;
        if (!named(writeCard(folder.file("1000.ini"), cardWithHp("5"))))
            return 2;
        const ImportOutcome outcome = carryOut(planImport(changedTable(), folder.path()));
        return named(outcome.problem) && outcome.written.empty() ? 0 : 3;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(countNewCards(folder), 0);
    EXPECT_TRUE(temporaryFiles(folder).empty());
}

// A card saved just before the import puts it in place is skipped and kept;
// one saved just after it was put in place is kept too.
TEST(ImportBatch, SavesJustBeforeAndJustAfterAreBothKept)
{
    CardFolder folder;
    fillFolder(folder);
    const ImportPlan plan = planImport(changedTable(), folder.path());
    const ImportOutcome outcome = carryOut(plan, [&](ImportStep step, std::size_t done) {
        if (step == ImportStep::Durable)
            ASSERT_FALSE(writeCard(folder.file(idOf(3) + ".ini"), cardWithHp("777")));
        if (step == ImportStep::Replaced && done == 10)  // cards 0 to 10 but 3 are in place
            ASSERT_FALSE(writeCard(folder.file(idOf(5) + ".ini"), cardWithHp("888")));
    });
    ASSERT_FALSE(outcome.problem) << *outcome.problem;
    ASSERT_EQ(outcome.skipped.size(), 1u);
    EXPECT_EQ(plan.cards[outcome.skipped[0]].id, idOf(3));
    EXPECT_EQ(folder.read(idOf(3) + ".ini"), cardFileBytes(cardWithHp("777")));
    EXPECT_EQ(folder.read(idOf(5) + ".ini"), cardFileBytes(cardWithHp("888")));
    EXPECT_EQ(folder.read(idOf(6) + ".ini"), newBytes());
}

}  // namespace
