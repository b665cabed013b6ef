// What git's diff shows of a card (the textconv), the cards the pre-commit
// hook hands over and what keeps them out of a commit, and an import over a
// card a merge left with conflicts.

#include "card_import.h"
#include "card_folder.h"
#include "card_show.h"
#include "code_page.h"
#include "staged_cards.h"

#include <gtest/gtest.h>

namespace {

const std::string kConflicted = "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n[Lv1]\r\n"
                                "<<<<<<< ours\r\nHP=25\r\n=======\r\nHP=30\r\n>>>>>>> theirs\r\n";

TEST(CardShow, GivesUtf8LinesWithOddBytesEscaped)
{
    // ひっかく in code page 932, a byte that starts no character, an escape character, a last line without LF.
    const std::string card = "[Lv1]\r\n1=\x82\xD0\x82\xC1\x82\xA9\x82\xAD\r\n2=a\x80z\x1B[31m\nX=\x82";
    EXPECT_EQ(cardFileText(card), "[Lv1]\n1=ひっかく\n2=a\\x80z\\x1B[31m\nX=\\x82");
    const std::string wide = "\xFF\xFE" + profile::utf8ToUtf16("[Lv1]\r\n1=竜\r\n", false);
    EXPECT_EQ(cardFileText(wide), "[Lv1]\n1=竜\n");

    // Marks that reorder what a terminal shows, and separators it may take
    // for a line end, are shown as the file's bytes, in every encoding.
    const std::string marks = "1=a\u202Eb\u2066c\u200Fd\u061Ce\u2028f\u2029g\u2069\u200E\u202A竜";
    EXPECT_EQ(cardFileText("\xEF\xBB\xBF" + marks),
        "1=a\\xE2\\x80\\xAEb\\xE2\\x81\\xA6c\\xE2\\x80\\x8Fd\\xD8\\x9Ce\\xE2\\x80\\xA8f\\xE2\\x80\\xA9g"
        "\\xE2\\x81\\xA9\\xE2\\x80\\x8E\\xE2\\x80\\xAA竜");
    EXPECT_EQ(cardFileText("\xFF\xFE" + profile::utf8ToUtf16("1=a\u202Eb\u2028c", false)), "1=a\\x2E\\x20b\\x28\\x20c");
}

// The hook's stream for staged files: its raw lines, an empty line, then git cat-file --batch's output.
std::string stream(const std::vector<std::tuple<std::string, std::string, std::string>>& files)
{
    std::string raw, batch;
    int n = 0;
    for (const auto& [mode, path, bytes] : files) {
        const std::string object = std::string(39, '0') + char('a' + n++);
        raw += ":000000 " + mode + " " + std::string(40, '0') + " " + object + " A\t" + path + "\n";
        // A submodule's commit is not among the repository's objects.
        batch += mode == "160000" ? object + " missing\n"
                                  : object + " blob " + std::to_string(bytes.size()) + "\n" + bytes + "\n";
    }
    return raw + "\n" + batch;
}

TEST(StagedCards, AreReadFromTheHooksStreamAndRefusedOnlyForWhatSaveRefuses)
{
    const std::string good = "[head]\r\nrare=3\r\n[Lv1]\r\nHP=20\r\nX=unknown keys pass\r\n";
    const std::string long256 = "[Lv1]\r\nHP=20\r\n1=" + std::string(256, 'a') + "\r\n";
    std::vector<StagedCard> cards;
    ASSERT_FALSE(readStagedCards(
        stream({{"100644", "cards/000.ini", good}, {"100644", "\"cards/\\343\\202\\253 \\\"1\\\".ini\"", kConflicted},
            {"120000", "cards/link.ini", "000.ini"}, {"100755", "cards/002.ini", long256},
            {"160000", "cards/module.ini", ""}}),
        cards));
    ASSERT_EQ(cards.size(), 5u);
    EXPECT_EQ(cards[1].path, "cards/カ \"1\".ini");
    EXPECT_EQ(cards[1].bytes, kConflicted);

    // A card in the repository is a file: a link (to a good card) or a submodule is refused.
    const StagedReport report = checkStagedCards(cards);
    EXPECT_EQ(report.refusedCards, 4u);
    EXPECT_EQ(report.text.find("cards/000.ini"), std::string::npos) << report.text;
    EXPECT_NE(report.text.find("cards/カ \"1\".ini:7: マージの衝突"), std::string::npos) << report.text;
    EXPECT_NE(report.text.find("cards/002.ini:3: キー「1」の値は256バイト"), std::string::npos) << report.text;
    EXPECT_NE(report.text.find("cards/link.ini: シンボリックリンクとしてステージされています"), std::string::npos);
    EXPECT_NE(report.text.find("cards/module.ini: サブモジュールとしてステージされています"), std::string::npos);

    // A stream cut short or out of step is no stream: nothing is let through unchecked.
    std::string cut = stream({{"100644", "cards/000.ini", good}});
    cut.resize(cut.size() - 3);
    EXPECT_TRUE(readStagedCards(cut, cards));
    EXPECT_TRUE(cards.empty());
    EXPECT_TRUE(readStagedCards("garbage\n\n", cards));
    EXPECT_FALSE(readStagedCards("\n", cards));  // nothing staged
}

TEST(ImportOfAConflictedCard, WritesItWithoutMarkersEvenWithTheSameValues)
{
    CardFolder folder;
    folder.write("000.ini", kConflicted);
    const std::string table = "ID,rare,maxlv,minlv,super,Lv1.HP,Lv1.P,Lv1.1,Lv1.S,Lv1.2,Lv2.HP,Lv2.P,Lv2.1,Lv2.S,"
                              "Lv2.2,Lv3.HP,Lv3.P,Lv3.1,Lv3.S,Lv3.2,Lv4.HP,Lv4.P,Lv4.1,Lv4.S,Lv4.2\r\n"
                              "000,3,4,1,2,25,,,,,,,,,,,,,,,,,,,\r\n";  // the ours side, as export writes it
    const ImportPlan plan = planImport(table, folder.path());
    ASSERT_TRUE(plan.problems.empty());
    ASSERT_EQ(plan.cards.size(), 1u);
    EXPECT_EQ(plan.cards[0].change, CardChange::Changed);
    EXPECT_TRUE(plan.cards[0].resolvesConflicts);
    EXPECT_FALSE(carryOut(plan).problem);
    EXPECT_EQ(folder.read("000.ini"), "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n[Lv1]\r\nHP=25\r\n");
    EXPECT_EQ(planImport(table, folder.path()).cards[0].change, CardChange::Unchanged);
}

}  // namespace
