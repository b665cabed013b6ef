#include "card_file.h"
#include "card_folder.h"
#include "card_test_fixtures.h"
#include "file_io.h"
#include "ini_access.h"
#include "shown_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

namespace {

using testsupport::modeOf;

}  // namespace

TEST(CardPath, JoinsFolderIdAndExtension)
{
    // "/tool" and "/" on Linux, "C:\\tool" and "C:\\" on Windows.
    const std::string sep(1, profile::pathSeparator());
    const std::string root = sep == "/" ? "/" : "C:\\", tool = root + "tool";
    EXPECT_EQ(cardFilePath(tool, "000"), tool + sep + "000.ini");
    EXPECT_EQ(cardFilePath(root, "a"), root + "a.ini");
    EXPECT_EQ(cardFilePath(tool + sep, ""), tool + sep + ".ini");
    EXPECT_EQ(AddBackslash(tool), tool + sep);
    EXPECT_EQ(AddBackslash(tool + sep), tool + sep);
}

TEST(CardId, OnlyNamesBothSystemsCanHoldAreTaken)
{
    for (std::string_view id : {"", "000", "カード１", "a b", "-1", ".x", "a.b", "CONSOLE", "COM0", "LPT10", "con-1"})
        EXPECT_FALSE(checkCardId(id)) << id;
    const std::string tooLong(252, 'x');
    for (std::string_view id : {"a/b", "../000", "..\\000", "a\tb", "a\x7f", "a\xc2\x85", tooLong.c_str()})
        EXPECT_TRUE(checkCardId(id)) << id;
    EXPECT_TRUE(checkCardId(std::string_view("a\0b", 3)));
    EXPECT_FALSE(checkCardId(std::string(251, 'x')));

    // Each refusal names its rule.
    const auto why = [](std::string_view id) { return checkCardId(id).value_or("(taken)"); };
    for (std::string_view id : {"CON", "nul", "Aux.old", "com1", "LPT9", "prn .txt"})
        EXPECT_NE(why(id).find("装置に使う名前"), std::string::npos) << id;
    for (std::string_view id : {"a<b", "a>b", "a:b", "a\"b", "a|b", "a?b", "a*b"})
        EXPECT_NE(why(id).find("Windowsのファイル名に使えない文字"), std::string::npos) << id;
    for (std::string_view id : {"\uFEFF000", "0\u200B0", "\u200F000"})
        EXPECT_NE(why(id).find("目に見えない書式文字"), std::string::npos) << id;
    for (std::string_view id : {"000.", "000 ", ".", ".."})
        EXPECT_NE(why(id).find("最後の「.」や空白"), std::string::npos) << id;
}

TEST(CardId, FoldedAsWindowsComparesNames)
{
    EXPECT_EQ(foldedId("abc"), foldedId("ABC"));
    EXPECT_EQ(foldedId("ｃａｒｄé"), foldedId("ＣＡＲＤÉ"));
    EXPECT_EQ(foldedId("мир"), foldedId("МИР"));
    EXPECT_NE(foldedId("カード"), foldedId("かーど"));
    EXPECT_EQ(foldedId("000"), "000");
}

TEST(CardWrite, WritesWhatWindowsWrites)
{
    CardFolder folder;
    ASSERT_FALSE(writeCard(folder.file("000.ini"), twoLevelCard()));
    EXPECT_EQ(folder.read("000.ini"), kTwoLevelCard);
    EXPECT_EQ(folder.names(), std::set<std::string>{"000.ini"});

    Card back;
    ASSERT_FALSE(readCard(folder.file("000.ini"), back));
    Card expected = twoLevelCard();
    expected.Levels[1] = {"30", "", "", "", ""};  // an unused spec is not saved
    EXPECT_EQ(back.Levels, expected.Levels);
    EXPECT_EQ(back.SuperMode, 2);
}

TEST(CardWrite, GivesTheFileThatKeyByKeyWritesGive)
{
    CardFolder folder;
    Card card{" 3 ", "a=b", "\"1\"", 3, {}};
    card.Levels[1] = {"30", "x", "AM/１２０E/3", "突き ", "表示"};
    card.Levels[3] = {"80", "", "", "", ""};
    ASSERT_FALSE(writeCard(folder.file("card.ini"), card));

    INIAccess ini;
    ini.FileName = folder.file("keys.ini");
    for (auto [key, value] : {std::pair{"rare", " 3 "}, {"maxlv", "a=b"}, {"minlv", "\"1\""}, {"super", "3"}})
        ASSERT_TRUE(ini.SetINIData(key, value, "head"));
    for (auto [key, value] : {std::pair{"HP", "30"}, {"P", "x"}, {"1", "突き "}, {"S", "AM/１２０E/3"}, {"2", "表示"}})
        ASSERT_TRUE(ini.SetINIData(key, value, "Lv2"));
    ASSERT_TRUE(ini.SetINIData("HP", "80", "Lv4"));
    EXPECT_EQ(folder.read("card.ini"), folder.read("keys.ini"));
}

TEST(CardWrite, LeavesOutWhatHasNoPlace)
{
    CardFolder folder;
    Card card{"", "", "", 0, {}};
    ASSERT_FALSE(writeCard(folder.file("c.ini"), card));
    EXPECT_EQ(folder.read("c.ini"), "[head]\r\nrare=\r\nmaxlv=\r\nminlv=\r\nsuper=0\r\n");

    card.Levels[0] = {"5", "99", "A/1P/1", "", "Fly"};  // a power without a normal move
    card.Levels[1] = {"", "1", "N/P/", "Hit", "Zap"};   // no hit points: no section
    card.Levels[2] = {"7", "3", "U/2E/", "Kick", ""};   // a spec without an extended move
    ASSERT_FALSE(writeCard(folder.file("c.ini"), card));
    EXPECT_EQ(folder.read("c.ini"), "[head]\r\nrare=\r\nmaxlv=\r\nminlv=\r\nsuper=0\r\n"
                                    "[Lv1]\r\nHP=5\r\nS=A/1P/1\r\n2=Fly\r\n"
                                    "[Lv3]\r\nHP=7\r\nP=3\r\n1=Kick\r\n");
}

TEST(CardRead, ReadsFilesWrittenOnWindows)
{
    CardFolder folder;
    // Shift-JIS text (ソ and 表 end in the byte of "\"), other letter case,
    // blanks, quotes, a comment, LF and a last line without a line end.
    folder.write("w.ini", "; card\r\n[ HEAD ]\r\n RARE = \x83\x5c\x95\x5c \r\nMaxLv=\"4\"\r\nsuper = 03\r\n"
                          "[lv1]\nhp=20\n1=\x93\xcb\x82\xab\ns=1F/30D/2\n2=x\n[Lv1]\nHP=99\n[LV3]\nHP=7");
    Card card;
    ASSERT_FALSE(readCard(folder.file("w.ini"), card));
    EXPECT_EQ(card.Rarity, "ソ表");
    EXPECT_EQ(card.MaxLv, "4");
    EXPECT_EQ(card.MinLv, "");
    EXPECT_EQ(card.SuperMode, 3);
    EXPECT_EQ(card.Levels[0], (LevelRecord{"20", "", "1F/30D/2", "突き", "x"}));
    EXPECT_EQ(card.Levels[1], LevelRecord{});
    EXPECT_EQ(card.Levels[2].MaxHP, "7");
}

TEST(CardRead, SuperModeIsAWholeNumberFromZeroToThree)
{
    CardFolder folder;
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"0", 0},
        {"3", 3},
        {"02", 2},
        {"000", 0},
        {"", std::nullopt},
        {"4", std::nullopt},
        {"-1", std::nullopt},
        {"1.0", std::nullopt},
        {"x", std::nullopt},
        {"99999999999999999999", std::nullopt},
    };
    for (auto [text, expected] : cases) {
        folder.write("s.ini", std::string("[head]\r\nsuper=") + text + "\r\n");
        Card card;
        ASSERT_FALSE(readCard(folder.file("s.ini"), card));
        EXPECT_EQ(card.SuperMode, expected) << text;
    }
}

TEST(CardRead, MissingFileIsAnEmptyCardAndIsNotCreated)
{
    CardFolder folder;
    Card card = twoLevelCard();
    ASSERT_FALSE(readCard(folder.file("none.ini"), card));
    EXPECT_EQ(card.Levels, LevelBuffer{});
    EXPECT_EQ(card.Rarity, "");
    EXPECT_FALSE(card.SuperMode);
    EXPECT_TRUE(folder.names().empty());
}

TEST_F(FailedSave, ReadOnlyCard)
{
    testsupport::setReadOnly(folder.file("000.ini"), true);
    const auto problem = writeCard(folder.file("000.ini"), twoLevelCard());
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("000.ini"), std::string::npos);
    EXPECT_NE(problem->find("読み取り専用"), std::string::npos);
    expectUntouched();
    EXPECT_EQ(modeOf(folder.file("000.ini")), 0444u);
}

TEST_F(FailedSave, FolderInTheWay)
{
    std::filesystem::create_directory(folder.file("dir.ini"));
    const auto problem = writeCard(folder.file("dir.ini"), twoLevelCard());
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("フォルダー"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("dir.ini")));
    std::filesystem::remove(folder.file("dir.ini"));
    expectUntouched();
}

TEST_F(FailedSave, TextTheFileCannotHold)
{
    Card card = twoLevelCard();
    card.Levels[1].MaxHP = "3\xf0\x9f\x98\x80";  // an emoji
    const auto problem = writeCard(folder.file("000.ini"), card);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("レベル2のMaxHP"), std::string::npos) << *problem;
    EXPECT_NE(problem->find("U+1F600"), std::string::npos) << *problem;
    expectUntouched();

    // A line break would put lines of its own into the file.
    card.Levels[1].MaxHP = "3\r\n[Lv4]\r\nHP=999";
    const auto lineBreak = writeCard(folder.file("000.ini"), card);
    ASSERT_TRUE(lineBreak);
    EXPECT_NE(lineBreak->find("レベル2のMaxHP"), std::string::npos) << *lineBreak;
    expectUntouched();

    // Text that is never written does not stop the save.
    card.Levels[1].MaxHP = "3";
    card.Levels[1].Power = "\xf0\x9f\x98\x80";
    EXPECT_FALSE(writeCard(folder.file("000.ini"), card));
}

TEST(ShownName, ControlCharactersAndStrayBytesAreEscapedTheRestKept)
{
    EXPECT_EQ(shownName("z\n0000.ini:2: x"), "z\\n0000.ini:2: x");
    EXPECT_EQ(shownName("a\r\tb\x1b[31m\x7f"), "a\\r\\tb\\x1b[31m\\x7f");
    EXPECT_EQ(shownName("c\xC2\x9B"
                        "d\xFF"),
        "c\\u009bd\\xff");
    EXPECT_EQ(shownName("カード 1.ini"), "カード 1.ini");
    EXPECT_EQ(shownText("line\n\tnext\x1b"), "line\n\tnext\\x1b");
}
