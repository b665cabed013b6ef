// Import writes its cards as one durable batch: a kill at any point leaves
// each card old or new, a second run finishes the job, and a card saved
// while the import runs is not overwritten.
#include "import_batch_support.h"
#include "ini_access.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

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
    EXPECT_EQ(outcome.written.size(), std::size_t(kCards - 1));
    EXPECT_EQ(folder.read("1007.ini"), saved);
    EXPECT_EQ(folder.read("new.ini"), cardFileBytes(cardWithHp("888")));
    EXPECT_EQ(folder.read("1008.ini"), newBytes());
    EXPECT_TRUE(temporaryFiles(folder).empty());
}

// The moment between the import's last look at a card and its replace. No
// writer of this program gets in: each waits for the folder's lock (here,
// where the import cannot go on while they wait, they give up and say so),
// and so none is lost.
TEST(ImportBatch, NoSaveLandsBetweenTheLastLookAndTheReplace)
{
    CardFolder folder;
    fillFolder(folder);
    const auto patience = profile::folderLockPatience();
    profile::setFolderLockPatience(std::chrono::milliseconds(200));
    CardProblem saved;
    bool keyWritten = true;
    const ImportOutcome outcome
        = carryOut(planImport(changedTable(), folder.path()), [&](ImportStep step, std::size_t done) {
              if (step != ImportStep::Checked || done != 5)  // card 1004, about to be replaced
                  return;
              saved = writeCard(folder.file("1004.ini"), cardWithHp("777"));
              INIAccess keys;
              keys.FileName = folder.file("1004.ini");
              keyWritten = keys.SetINIData("HP", "888", "Lv1");
          });
    profile::setFolderLockPatience(patience);
    ASSERT_FALSE(outcome.problem) << *outcome.problem;
    EXPECT_EQ(outcome.written.size(), std::size_t(kCards));
    ASSERT_TRUE(saved);
    EXPECT_NE(saved->find("ほかのプログラムがこのフォルダーに書き込んでいて"), std::string::npos) << *saved;
    EXPECT_FALSE(keyWritten);
    EXPECT_EQ(folder.read("1004.ini"), newBytes());
    EXPECT_FALSE(writeCard(folder.file("1004.ini"), cardWithHp("777")));  // once the import is done
}

// What another program (one that takes no lock) writes into a card in that
// moment, in place or as a new file put over it, is kept beside the card and
// named; the card gets the import's content.
TEST(ImportBatch, WhatAnotherProgramWritesInTheLastMomentIsKeptBeside)
{
    CardFolder folder;
    fillFolder(folder);
    const ImportPlan plan = planImport(changedTable(), folder.path());
    const ImportOutcome outcome = carryOut(plan, [&](ImportStep step, std::size_t done) {
        if (step == ImportStep::Checked && done == 5)
            folder.write("1004.ini", "written in place");
        if (step == ImportStep::Checked && done == 8) {
            folder.write("elsewhere", "put over it");
            std::filesystem::rename(
                testsupport::fsPath(folder.file("elsewhere")), testsupport::fsPath(folder.file("1007.ini")));
        }
    });
    ASSERT_FALSE(outcome.problem) << *outcome.problem;
    EXPECT_EQ(outcome.written.size(), std::size_t(kCards));
    ASSERT_EQ(outcome.kept.size(), 2u);
    EXPECT_EQ(plan.cards[outcome.kept[0].card].id, "1004");
    EXPECT_EQ(testsupport::readBytes(outcome.kept[0].path), "written in place");
    EXPECT_EQ(plan.cards[outcome.kept[1].card].id, "1007");
    EXPECT_EQ(testsupport::readBytes(outcome.kept[1].path), "put over it");
    EXPECT_TRUE(outcome.kept[1].path.starts_with(folder.file("1007.ini.kept-"))) << outcome.kept[1].path;
    EXPECT_EQ(folder.read("1004.ini"), newBytes());
    EXPECT_EQ(folder.read("1007.ini"), newBytes());
    EXPECT_TRUE(temporaryFiles(folder).empty());
}

}  // namespace
