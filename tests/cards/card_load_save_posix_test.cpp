// What can go wrong around a card file: a Load racing a Save or meeting an odd
// file, values a reader would cut, someone else's card saved by root, no
// program folder, a file-size limit, a folder this user cannot write.
#include "card_file.h"
#include "card_folder.h"
#include "child_process.h"
#include "code_page.h"
#include "file_io.h"
#include "ini_access.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testsupport::inChild;

// A child process running `loop` until the object goes, also when a test fails early.
class Background {
public:
    template <class Loop>
    explicit Background(Loop loop)
        : pid_(::fork())
    {
        if (pid_ == 0)
            for (;;)
                loop();
    }
    ~Background()
    {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

private:
    pid_t pid_;
};

bool contains(const std::optional<std::string>& problem, const std::string& text)
{
    return problem && problem->find(text) != std::string::npos;
}

// A card whose every field names its version, so a mix of two is visible.
Card versionCard(const std::string& v)
{
    Card card{"r" + v, "x" + v, "n" + v, v == "A" ? 1 : 2, {}};
    for (int n = 0; n < 4; ++n)
        card.Levels[n] = {v + "hp" + std::to_string(n), v + "p", v + "/1P/1", v + "一", v + "二"};
    return card;
}

std::string fileOf(const Card& card)
{
    CardFolder scratch;
    if (writeCard(scratch.file("c.ini"), card))
        throw std::runtime_error("cannot compose the card");
    return scratch.read("c.ini");
}

bool sameCard(const Card& a, const Card& b)
{
    return a.Rarity == b.Rarity && a.MaxLv == b.MaxLv && a.MinLv == b.MinLv && a.SuperMode == b.SuperMode
           && a.Levels == b.Levels;
}

TEST(CardLoad, RacingASaveShowsOneVersionNeverAMix)
{
    CardFolder folder;
    const std::string path = folder.file("000.ini");
    const Card a = versionCard("A"), b = versionCard("B");
    const std::string bytesA = fileOf(a), bytesB = fileOf(b);
    folder.write("000.ini", bytesA);

    const Background writer([&] {
        profile::replaceFile(path, bytesB, false);
        profile::replaceFile(path, bytesA, false);
    });
    // VELMAR_STRESS_LOADS runs a longer race by hand.
    const char* loads = std::getenv("VELMAR_STRESS_LOADS");
    for (long i = 0, n = loads ? std::atol(loads) : 3000; i < n; ++i) {
        Card card;
        ASSERT_FALSE(readCard(path, card));
        ASSERT_TRUE(sameCard(card, a) || sameCard(card, b))
            << "load " << i << " mixed two versions: " << card.Rarity << " " << card.Levels[3].ExtWaza;
    }
}

TEST(CardLoad, OddFilesAreRefusedWithoutBlocking)
{
    CardFolder folder;
    const std::string path = folder.file("000.ini");
    folder.write("card.tmp", kTwoLevelCard);
    folder.write("000.ini", kTwoLevelCard);
    // A writer keeps putting a FIFO and the card in place in turn. Every Load
    // gives the card or a message; one opened for a blocking read would wait
    // for ever, so the loads run in a child with an alarm as a hang guard.
    std::optional<Background> swapper(std::in_place, [&] {
        ::mkfifo(folder.file("fifo.tmp").c_str(), 0644);
        ::rename(folder.file("fifo.tmp").c_str(), path.c_str());
        ::link(folder.file("card.tmp").c_str(), folder.file("copy.tmp").c_str());
        ::rename(folder.file("copy.tmp").c_str(), path.c_str());
    });
    const int code = inChild([&] {
        ::alarm(60);
        for (int i = 0; i < 2000; ++i) {
            Card card;
            const auto problem = readCard(path, card);
            if (problem ? problem->find("通常のファイルではありません") == std::string::npos
                        : card.Levels[1].MaxHP != "30")
                return 1;
        }
        return 0;
    });
    swapper.reset();
    EXPECT_EQ(code, 0);

    // Larger than any card: refused by its size, before anything is read.
    const int fd = ::open(folder.file("big.ini").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(100) << 30), 0);  // 100 GB, sparse
    ::close(fd);
    Card card;
    card.Rarity = "kept";
    const auto problem = readCard(folder.file("big.ini"), card);
    EXPECT_TRUE(contains(problem, "大きすぎ")) << problem.value_or("");
    EXPECT_TRUE(contains(problem, "big.ini"));
    EXPECT_EQ(card.Rarity, "kept");
}

TEST(CardSave, RootKeepsTheOwnerGroupAndModeOfAnotherUsersCard)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    CardFolder folder;
    const std::string path = folder.file("000.ini");
    folder.write("000.ini", kTwoLevelCard);
    ASSERT_EQ(::chown(path.c_str(), 65534, 65533), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    Card card;
    card.Rarity = "9";
    ASSERT_FALSE(writeCard(path, card));
    struct stat st { };
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65533u);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_NE(folder.read("000.ini").find("rare=9"), std::string::npos);
}

TEST(CardSave, AFolderThisUserCannotWriteIsNamedAsTheCause)
{
    // The program copied into a folder of root's and run by an ordinary user:
    // the card file may be writable, the folder is not.
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    CardFolder folder;
    ::chmod(folder.path().c_str(), 0755);
    folder.write("000.ini", kTwoLevelCard);
    ::chown(folder.file("000.ini").c_str(), 65534, 65534);
    const int code = inChild([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            return 2;
        const auto problem = writeCard(folder.file("000.ini"), Card{});
        return contains(problem, "フォルダー「" + folder.path() + "」にはこのユーザーでは書き込めない") ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(folder.read("000.ini"), kTwoLevelCard);
}

TEST(CardSave, AFileSizeLimitIsTheDiskFullMessage)
{
    CardFolder folder;
    folder.write("000.ini", kTwoLevelCard);
    const int code = inChild([&] {
        profile::ignoreFileSizeSignal();
        const rlimit limit{60, 60};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        return contains(writeCard(folder.file("000.ini"), versionCard("A")), "ディスクの空きが足りません") ? 0 : 1;
    });
    EXPECT_EQ(code, 0);  // not killed by SIGXFSZ
    EXPECT_EQ(folder.read("000.ini"), kTwoLevelCard);
    EXPECT_EQ(folder.names(), std::set<std::string>{"000.ini"});
}

TEST(ProgramFolder, NoProgramFolderNoFileAccess)
{
    EXPECT_EQ(cardFilePath("", "000"), "");
    Card card;
    card.Rarity = "kept";
    EXPECT_TRUE(contains(readCard("", card), "プログラムのあるフォルダーが分からない"));
    EXPECT_EQ(card.Rarity, "kept");
    EXPECT_TRUE(contains(writeCard("", card), "プログラムのあるフォルダーが分からない"));

    // Without /proc the program cannot tell its folder: INIAccess then
    // chooses no file, and nothing lands in the working folder or at "/".
    CardFolder cwd;
    const int code = inChild([&] {
        if (::chdir(cwd.path().c_str()) != 0 || ::unshare(CLONE_NEWNS) != 0
            || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("none", "/proc", "tmpfs", 0, nullptr) != 0)
            return 77;
        INIAccess ini;
        ini.SetAppPathFilename("zz-velmar-test.ini");
        const bool wrote = ini.SetINIData("k", "v", "a");
        return ini.FileName.empty() && !wrote && ::access("/zz-velmar-test.ini", F_OK) != 0 ? 0 : 1;
    });
    if (code == 77)
        GTEST_SKIP() << "no mount namespace to hide /proc in";
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(cwd.names().empty());
}

}  // namespace
