#include "card_file.h"
#include "card_folder.h"
#include "card_test_fixtures.h"
#include "child_process.h"
#include "ini_access.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testsupport::inChild;

using testsupport::modeOf;

}  // namespace

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

TEST_F(FailedSave, ReadOnlyFolder)
{
    ::chmod(folder.path().c_str(), 0555);
    EXPECT_TRUE(writeCard(folder.file("000.ini"), twoLevelCard()));
    EXPECT_TRUE(writeCard(folder.file("new.ini"), twoLevelCard()));
    ::chmod(folder.path().c_str(), 0755);
    expectUntouched();
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
