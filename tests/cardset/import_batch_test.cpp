// Import writes its cards as one durable batch: a kill at any point leaves
// each card old or new, a second run finishes the job, and a card saved
// while the import runs is not overwritten.
#include "import_batch_support.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(outcome.written, std::size_t(kCards - 1));
    EXPECT_EQ(folder.read("1007.ini"), saved);
    EXPECT_EQ(folder.read("new.ini"), cardFileBytes(cardWithHp("888")));
    EXPECT_EQ(folder.read("1008.ini"), newBytes());
    EXPECT_TRUE(temporaryFiles(folder).empty());
}

}  // namespace
