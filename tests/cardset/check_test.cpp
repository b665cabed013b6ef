#include "card_check.h"
#include "card_folder.h"

#include <gtest/gtest.h>

namespace {

struct Fixture {
    const char* name;  // the card's ID
    std::string bytes;
    std::size_t line;   // where the one finding is (0: the file as a whole)
    const char* words;  // what its message says
};

const std::string kHead = "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n";
const std::string kLv1 = "[Lv1]\r\nHP=20\r\nP=10\r\n1=Strike\r\nS=N/30P/1\r\n2=Blast\r\n";

// One card file for each kind of problem, each with that one problem only.
std::vector<Fixture> fixtures()
{
    return {
        {"long", "[head]\r\nrare=" + std::string(256, '3') + "\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n", 2, "256バイト"},
        {"notsjis", kHead + "[Lv1]\r\nHP=20\r\nP=10\r\n1=\x85\x40\r\n", 9, "Shift-JISにないバイト"},
        {"utf8", "\xEF\xBB\xBF" + kHead + kLv1, 0, "UTF-8"},
        {"super7", "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=7\r\n", 5, "0から3ではありません"},
        {"nosuper", "[head]\r\nrare=3\r\n", 1, "がないか空"},
        {"range", kHead + "[Lv1]\r\nHP=20\r\nS=X/30P/1\r\n2=Blast\r\n", 8, "範囲"},
        {"effect", kHead + "[Lv1]\r\nHP=20\r\nS=N/30p/1\r\n2=Blast\r\n", 8, "効果の文字"},
        {"parts", kHead + "[Lv1]\r\nHP=20\r\nS=N/30P\r\n2=Blast\r\n", 8, "3つに分かれない"},
        {"pwithout1", kHead + "[Lv1]\r\nHP=20\r\nP=10\r\n", 8, "「P」は消えます"},
        {"swithout2", kHead + "[Lv1]\r\nHP=20\r\nS=N/30P/1\r\n", 8, "「S」は消えます"},
        {"nohp", kHead + "[Lv2]\r\nP=10\r\n1=Strike\r\n", 6, "このレベルのキーはすべて消えます"},
        {"twosections", kHead + kLv1 + "[HEAD]\r\nrare=5\r\n", 12, "行1にもあります"},
        {"twokeys", kHead + "Rare=5\r\n", 6, "行2にもあります"},
        {"unknownsection", kHead + "[Lv5]\r\nHP=20\r\n", 6, "知らない見出し"},
        {"unknownkey", kHead + "note=x\r\n", 6, "知らないキー"},
        {"nokey", kHead + "HP 20\r\n", 6, "見出しでもキーでもない"},
        {"beforehead", "id=1\r\n" + kHead, 1, "最初の見出しより前"},
        {"control", "[head]\r\nrare=3\x01\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n", 2, "制御文字"},
    };
}

}  // namespace

TEST(CardCheck, FindsEachKindOfProblem)
{
    for (const Fixture& f : fixtures()) {
        const auto findings = checkCardText(f.name, f.bytes);
        std::string all;
        for (const CheckFinding& finding : findings)
            all += std::to_string(finding.line) + ": " + finding.message + "\n";
        ASSERT_EQ(findings.size(), 1u) << f.name << ":\n" << all;
        EXPECT_EQ(findings[0].line, f.line) << f.name << ": " << findings[0].message;
        EXPECT_NE(findings[0].message.find(f.words), std::string::npos) << f.name << ": " << findings[0].message;
    }
}

TEST(CardCheck, ReportsCardByCardAndACleanSetAsClean)
{
    CardFolder folder;
    folder.write("000.ini", kTwoLevelCard);
    Card saved;
    saved.Levels[3] = {"80", "", "AM/120E/3", "", "ふぶき"};
    ASSERT_FALSE(writeCard(folder.file("カード1.ini"), saved));
    std::vector<CardFile> files;
    ASSERT_FALSE(findCardFiles(folder.path(), files));
    CheckReport report = checkCardSet(files);
    EXPECT_TRUE(report.clean()) << report.text;
    EXPECT_EQ(report.text, "");
    EXPECT_EQ(report.cards, 2u);

    for (const Fixture& f : fixtures())
        folder.write(std::string(f.name) + ".ini", f.bytes);
    ASSERT_FALSE(findCardFiles(folder.path(), files));
    report = checkCardSet(files);
    EXPECT_FALSE(report.clean());
    EXPECT_EQ(report.cardsWithFindings, fixtures().size());
    EXPECT_NE(report.text.find("long.ini:2: "), std::string::npos) << report.text;
    EXPECT_NE(report.text.find("utf8.ini: "), std::string::npos) << report.text;
    EXPECT_LT(report.text.find("effect.ini:"), report.text.find("long.ini:"));  // sorted by ID
}
