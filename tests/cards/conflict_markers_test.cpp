// git's conflict markers: which lines are markers, the "ours" side and the
// other side of each conflict, in the file's own encoding; and Load of such
// a card (its ours side, each conflict's fields with both values).

#include "card_file.h"
#include "card_folder.h"
#include "code_page.h"
#include "conflict_markers.h"

#include <gtest/gtest.h>

namespace {

// A card a merge left with two conflicts, the second in git's diff3 style.
const std::string kConflicted = "[head]\r\nrare=3\r\nsuper=2\r\n[Lv1]\r\n"
                                "<<<<<<< ours\r\nHP=25\r\n=======\r\nHP=30\r\n>>>>>>> theirs\r\n"  // lines 5-9
                                "P=10\r\n"
                                "<<<<<<< HEAD\r\n1=Strike\r\n||||||| base\r\n1=Hit\r\n=======\r\n1=Slash\r\n"
                                "S=N/30P/1\r\n>>>>>>> feature\r\n";  // lines 11-18
const std::string kOurs = "[head]\r\nrare=3\r\nsuper=2\r\n[Lv1]\r\nHP=25\r\nP=10\r\n1=Strike\r\n";

TEST(ConflictMarkers, AreFoundOnlyAsGitWritesThem)
{
    EXPECT_FALSE(ConflictMarkers::find(kTwoLevelCard));
    // Six characters, a name right after the marker, a marker inside a value: no markers.
    EXPECT_FALSE(ConflictMarkers::find("[Lv1]\r\n<<<<<< ours\r\n<<<<<<<x=1\r\n>>>>>>>>y=2\r\nP=<<<<<<< a\r\n"));
    const auto eight = ConflictMarkers::find("[Lv1]\r\n<<<<<<<<\r\nHP=1\r\n========\r\nHP=2\r\n>>>>>>>>\r\n");
    ASSERT_TRUE(eight);
    EXPECT_EQ(eight->conflictLines(), std::vector<std::size_t>{2});
    // A marker line outside any conflict is one of its own; it is never read.
    const auto stray = ConflictMarkers::find("[Lv1]\r\nHP=1\r\n=======\r\n");
    ASSERT_TRUE(stray);
    EXPECT_EQ(stray->conflictLines(), std::vector<std::size_t>{3});
    EXPECT_EQ(stray->ours(), "[Lv1]\r\nHP=1\r\n");
}

TEST(ConflictMarkers, GiveOursAndEachConflictsOtherSide)
{
    const auto markers = ConflictMarkers::find(kConflicted);
    ASSERT_TRUE(markers);
    EXPECT_EQ(markers->conflictLines(), (std::vector<std::size_t>{5, 11}));
    EXPECT_EQ(markers->ours(), kOurs);
    EXPECT_EQ(markers->oursLineNumbers(), (std::vector<std::size_t>{1, 2, 3, 4, 6, 10, 12}));
    EXPECT_EQ(markers->withTheirs(0), "[head]\r\nrare=3\r\nsuper=2\r\n[Lv1]\r\nHP=30\r\nP=10\r\n1=Strike\r\n");
    EXPECT_EQ(
        markers->withTheirs(1), "[head]\r\nrare=3\r\nsuper=2\r\n[Lv1]\r\nHP=25\r\nP=10\r\n1=Slash\r\nS=N/30P/1\r\n");
}

TEST(ConflictMarkers, AreFoundInUtf16)
{
    for (const bool bigEndian : {false, true}) {
        const std::string bom = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        const auto markers = ConflictMarkers::find(bom + profile::utf8ToUtf16(kConflicted, bigEndian));
        ASSERT_TRUE(markers) << bigEndian;
        EXPECT_EQ(markers->conflictLines(), (std::vector<std::size_t>{5, 11}));
        EXPECT_EQ(markers->ours(), bom + profile::utf8ToUtf16(kOurs, bigEndian));
    }
}

TEST(CardLoad, ReadsOursOfAConflictedCardAndTellsItsFields)
{
    CardFolder folder;
    folder.write("000.ini", kConflicted);
    Card card;
    CardFingerprint read;
    std::optional<std::string> bytes;
    std::vector<CardConflict> conflicts;
    ASSERT_FALSE(readCard(folder.file("000.ini"), card, &read, &bytes, &conflicts));
    EXPECT_EQ(card.Levels[0], (LevelRecord{"25", "10", "", "Strike", ""}));
    EXPECT_EQ(bytes, kConflicted);  // what the overwrite question compares with is the file itself
    EXPECT_TRUE(unchangedSince(read, currentFingerprint(folder.file("000.ini"))));
    ASSERT_EQ(conflicts.size(), 2u);
    EXPECT_EQ(conflicts[0].line, 5u);
    ASSERT_EQ(conflicts[0].fields.size(), 1u);
    EXPECT_EQ(conflictFieldName(conflicts[0].fields[0]), "レベル1のMaxHP");
    EXPECT_EQ(conflicts[0].fields[0].ours, "25");
    EXPECT_EQ(conflicts[0].fields[0].theirs, "30");
    ASSERT_EQ(conflicts[1].fields.size(), 2u);  // the normal move, and the spec theirs added
    EXPECT_EQ(conflicts[1].fields[0].field, CardField::NomalWaza);
    EXPECT_EQ(conflicts[1].fields[0].theirs, "Slash");
    EXPECT_EQ(conflicts[1].fields[1].field, CardField::ExtWazaSpec);
    EXPECT_EQ(conflicts[1].fields[1].ours, "");
    EXPECT_EQ(conflicts[1].fields[1].theirs, "N/30P/1");

    // A card without markers loads as ever and has no conflicts.
    folder.write("000.ini", kTwoLevelCard);
    ASSERT_FALSE(readCard(folder.file("000.ini"), card, nullptr, nullptr, &conflicts));
    EXPECT_TRUE(conflicts.empty());
    EXPECT_EQ(card.Levels[0], (LevelRecord{"20", "10", "N/30P/1", "Strike", "Blast"}));
}

}  // namespace
