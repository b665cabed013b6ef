#include "card_file.h"
#include "card_folder.h"
#include "child_process.h"
#include "ini_access.h"
#include "shown_name.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

Card twoLevelCard()
{
    Card card{"3", "4", "1", 2, {}};
    card.Levels[0] = {"20", "10", "N/30P/1", "Strike", "Blast"};
    card.Levels[1] = {"30", "", "N/P/", "", ""};
    return card;
}

using testsupport::inChild;

using testsupport::modeOf;

}  // namespace

TEST(CardPath, JoinsFolderIdAndExtension)
{
    EXPECT_EQ(cardFilePath("/tool", "000"), "/tool/000.ini");
    EXPECT_EQ(cardFilePath("/", "a"), "/a.ini");
    EXPECT_EQ(cardFilePath("/tool/", ""), "/tool/.ini");
    EXPECT_EQ(AddBackslash("/tool"), "/tool/");
    EXPECT_EQ(AddBackslash("/tool/"), "/tool/");
}

TEST(CardId, OnlyPlainFileNamesAreTaken)
{
    for (std::string_view id : {"", "000", "カード１", ".", "..", "a b", "-1"})
        EXPECT_FALSE(checkCardId(id)) << id;
    const std::string tooLong(252, 'x');
    for (std::string_view id : {"a/b", "../000", "..\\000", "a\tb", "a\x7f", "a\xc2\x85", tooLong.c_str()})
        EXPECT_TRUE(checkCardId(id)) << id;
    EXPECT_TRUE(checkCardId(std::string_view("a\0b", 3)));
    EXPECT_FALSE(checkCardId(std::string(251, 'x')));
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

TEST(CardWrite, ReplacesTheWholeFileAndKeepsItsMode)
{
    CardFolder folder;
    folder.write("1.ini", "; notes\r\n[head]\r\nrare=9\r\nextra=1\r\n[Lv4]\r\nHP=1\r\n[other]\r\nx=y\r\n");
    ::chmod(folder.file("1.ini").c_str(), 0640);
    ASSERT_FALSE(writeCard(folder.file("1.ini"), twoLevelCard()));
    EXPECT_EQ(folder.read("1.ini"), kTwoLevelCard);
    EXPECT_EQ(modeOf(folder.file("1.ini")), 0640u);

    const mode_t mask = ::umask(022);
    ASSERT_FALSE(writeCard(folder.file("2.ini"), twoLevelCard()));
    ::umask(mask);
    EXPECT_EQ(modeOf(folder.file("2.ini")), 0644u);
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

// Every failed save leaves the old card byte for byte and no temporary file.
class FailedSave : public ::testing::Test {
protected:
    CardFolder folder;
    const std::string old = "[head]\r\nrare=old\r\n";

    void SetUp() override { folder.write("000.ini", old); }
    void expectUntouched()
    {
        EXPECT_EQ(folder.read("000.ini"), old);
        EXPECT_EQ(folder.names(), std::set<std::string>{"000.ini"});
    }
};

TEST_F(FailedSave, ReadOnlyCard)
{
    ::chmod(folder.file("000.ini").c_str(), 0444);
    const auto problem = writeCard(folder.file("000.ini"), twoLevelCard());
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("000.ini"), std::string::npos);
    EXPECT_NE(problem->find("読み取り専用"), std::string::npos);
    expectUntouched();
    EXPECT_EQ(modeOf(folder.file("000.ini")), 0444u);
}

TEST_F(FailedSave, ReadOnlyFolder)
{
    ::chmod(folder.path().c_str(), 0555);
    EXPECT_TRUE(writeCard(folder.file("000.ini"), twoLevelCard()));
    EXPECT_TRUE(writeCard(folder.file("new.ini"), twoLevelCard()));
    ::chmod(folder.path().c_str(), 0755);
    expectUntouched();
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

TEST_F(FailedSave, FullDisk)
{
    const int code = inChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{60, 60};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const auto problem = writeCard(folder.file("000.ini"), twoLevelCard());
        return problem && problem->find(std::strerror(EFBIG)) != std::string::npos ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    expectUntouched();
}

TEST(CardReadFailure, UnreadableFileIsAProblemAndKeepsTheCard)
{
    CardFolder folder;
    ::chmod(folder.path().c_str(), 0755);
    folder.write("000.ini", kTwoLevelCard);
    ::chmod(folder.file("000.ini").c_str(), 0);
    std::filesystem::create_directory(folder.file("dir.ini"));

    Card card = twoLevelCard();
    card.Rarity = "kept";
    const auto problem = readCard(folder.file("dir.ini"), card);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("dir.ini"), std::string::npos);
    EXPECT_EQ(card.Rarity, "kept");

    // Root reads any file, so root checks the refusal as an ordinary user.
    const int code = inChild([&] {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            return 2;
        Card inChildCard = card;
        const auto childProblem = readCard(folder.file("000.ini"), inChildCard);
        return childProblem && childProblem->find(std::strerror(EACCES)) != std::string::npos
                       && inChildCard.Rarity == "kept"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(code, 0);
}

TEST(CardWriteKilled, OldOrNewCardSurvivesWhole)
{
    CardFolder folder;
    Card other = twoLevelCard();
    other.Rarity = "5";
    other.Levels[3] = {"80", "8", "E/8E/8", "Eight", "Ocho"};
    ASSERT_FALSE(writeCard(folder.file("k.ini"), other));
    const std::string newer = folder.read("k.ini");
    ASSERT_FALSE(writeCard(folder.file("k.ini"), twoLevelCard()));
    const std::string older = folder.read("k.ini");

    for (int round = 0; round < 20; ++round) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            for (;;) {
                writeCard(folder.file("k.ini"), other);
                writeCard(folder.file("k.ini"), twoLevelCard());
            }
        }
        ::usleep(2000 + 997 * round);
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string survived = folder.read("k.ini");
        ASSERT_TRUE(survived == older || survived == newer) << "round " << round << ":\n" << survived;
    }
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
