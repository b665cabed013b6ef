// Writing keys the way WritePrivateProfileStringA does.
#include "profile_service.h"
#include "code_page.h"
#include "file_io.h"
#include "replace_batch.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <future>
#include <fcntl.h>
#include <sys/stat.h>

using namespace profile;
using testsupport::readBytes;
using testsupport::TempFolder;
using testsupport::writeBytes;

namespace {

class Write : public ::testing::Test {
protected:
    TempFolder dir;
    std::string path = dir.file("card.ini");

    // Writes `content` as the file, then key=value into it; returns the new file.
    std::string put(
        const std::string& content, const std::string& section, const std::string& key, const std::string& value)
    {
        writeBytes(path, content);
        EXPECT_TRUE(writeProfileString(section, key, value, path)) << lastError();
        EXPECT_EQ(lastError(), 0);
        return readBytes(path);
    }
};

TEST_F(Write, CreatesTheFileWithSectionAndKeyInCp932)
{
    ASSERT_TRUE(writeProfileString("head", "Name", "このカードはスーパーカード", path));
    ASSERT_TRUE(writeProfileString("head", "Rarelity", "", path));
    ASSERT_TRUE(writeProfileString("Lv1", "MaxHP", "120", path));
    EXPECT_EQ(readBytes(path),
        "[head]\r\nName=" + *utf8ToCp932("このカードはスーパーカード") + "\r\nRarelity=\r\n[Lv1]\r\nMaxHP=120\r\n");
    std::string value;
    getProfileString("HEAD", "name", "", value, 256, path);
    EXPECT_EQ(value, "このカードはスーパーカード");
    EXPECT_EQ(dir.names(), std::set<std::string>{"card.ini"});  // no temporary file left
}

TEST_F(Write, ReplacesAValueWhereItStandsKeepingTheKeysSpelling)
{
    EXPECT_EQ(put("[Head]\r\n  MaxHP = 1 \r\nother=2\r\n", "head", "maxhp", "5"), "[Head]\r\nMaxHP=5\r\nother=2\r\n");
    EXPECT_EQ(put("[a]\nk=old", "A", "K", "new"), "[a]\nk=new\r\n");
    EXPECT_EQ(put("[a]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\n", "a", "k", "x"), "[a]\r\nk=x\r\nk=2\r\n[a]\r\nk=3\r\n");
}

TEST_F(Write, AppendsANewKeyAfterTheLastNonBlankLineOfItsSection)
{
    EXPECT_EQ(put("[a]\r\nx=1\r\n;note\r\n\r\n[b]\r\ny=2\r\n", "a", "z", "3"),
        "[a]\r\nx=1\r\n;note\r\nz=3\r\n\r\n[b]\r\ny=2\r\n");
    EXPECT_EQ(put("[a]\r\n[b]\r\n", "a", "z", "3"), "[a]\r\nz=3\r\n[b]\r\n");
    EXPECT_EQ(put("[a]", "a", "z", "3"), "[a]\r\nz=3\r\n");
    // The first of two sections of one name takes the key.
    EXPECT_EQ(put("[a]\nx=1\n[b]\n[a]\n", "a", "z", "3"), "[a]\nx=1\nz=3\r\n[b]\n[a]\n");
}

TEST_F(Write, AppendsANewSectionAtTheEndWithoutBlankLines)
{
    EXPECT_EQ(put("[a]\nx=1", "b", "k", "v"), "[a]\nx=1\r\n[b]\r\nk=v\r\n");
    EXPECT_EQ(put("[a]\r\nx=1\r\n", "b", "k", "v"), "[a]\r\nx=1\r\n[b]\r\nk=v\r\n");
    EXPECT_EQ(put("", "b", "k", "v"), "[b]\r\nk=v\r\n");
}

TEST_F(Write, KeepsEveryOtherLineByteForByte)
{
    const std::string before = "; comment \xFF\x80\r\n garbage line\n[a]\r\n\tk = 1\r\nodd\x82\r\n";
    const std::string after = "; comment \xFF\x80\r\n garbage line\n[a]\r\nk=2\r\nodd\x82\r\n";
    EXPECT_EQ(put(before, "a", "k", "2"), after);
    std::string huge(1'000'000, 'h');
    EXPECT_EQ(put(huge + "\n[a]\nk=1\n", "a", "k", "2"), huge + "\n[a]\nk=2\r\n");
}

TEST_F(Write, KeepsAFileInTheEncodingOfItsByteOrderMark)
{
    EXPECT_EQ(put("\xEF\xBB\xBF[a]\r\nk=1\r\n", "a", "k", "カ"), "\xEF\xBB\xBF[a]\r\nk=カ\r\n");
    EXPECT_EQ(put("\xEF\xBB\xBF", "a", "k", "v"), "\xEF\xBB\xBF[a]\r\nk=v\r\n");
    const std::string le = "\xFF\xFE" + utf8ToUtf16("[a]\r\nk=1\r\n", false);
    EXPECT_EQ(put(le, "a", "n", "カ"), "\xFF\xFE" + utf8ToUtf16("[a]\r\nk=1\r\nn=カ\r\n", false));
    const std::string be = "\xFE\xFF" + utf8ToUtf16("[a]\r\nk=1", true);
    EXPECT_EQ(put(be, "a", "k", "2"), "\xFE\xFF" + utf8ToUtf16("[a]\r\nk=2\r\n", true));
    // A last odd byte stays where it is and does not shift the text written.
    EXPECT_EQ(
        put(le + "\x41", "b", "k", "v"), "\xFF\xFE" + utf8ToUtf16("[a]\r\nk=1\r\n[b]\r\nk=v\r\n", false) + "\x41");
}

TEST_F(Write, ValueIsWrittenWholeAndReadBackCut)
{
    const std::string longValue(300, 'v');
    put("", "a", "k", longValue);
    EXPECT_NE(readBytes(path).find(longValue), std::string::npos);
    std::string value;
    EXPECT_EQ(getProfileString("a", "k", "", value, 256, path), 255u);
}

TEST_F(Write, RefusesWhatCodePage932CannotHoldAndWritesNothing)
{
    EXPECT_FALSE(writeProfileString("a", "k", "caf\xC3\xA9", path));
    EXPECT_EQ(lastError(), EILSEQ);
    EXPECT_FALSE(pathExists(path));

    writeBytes(path, "[a]\r\nk=1\r\n");
    EXPECT_FALSE(writeProfileString("a", "k", "\xF0\x9F\x98\x80", path));
    EXPECT_EQ(lastError(), EILSEQ);
    EXPECT_FALSE(writeProfileString("é", "k", "1", path));
    EXPECT_FALSE(writeProfileString("a", "k\xFF", "1", path));
    EXPECT_EQ(lastError(), EILSEQ);
    // Even a UTF-8 file only takes text the A function could have been given.
    writeBytes(path, "\xEF\xBB\xBF[a]\r\nk=1\r\n");
    EXPECT_FALSE(writeProfileString("a", "k", "é", path));
    EXPECT_EQ(readBytes(path), "\xEF\xBB\xBF[a]\r\nk=1\r\n");
    EXPECT_TRUE(writeProfileString("a", "k", "ok", path));
    EXPECT_EQ(lastError(), 0);  // cleared by a successful write
}

TEST_F(Write, EmptyNamesAreRefused)
{
    EXPECT_FALSE(writeProfileString("", "k", "v", path));
    EXPECT_EQ(lastError(), EINVAL);
    EXPECT_FALSE(writeProfileString("a", " ", "v", path));
    EXPECT_FALSE(pathExists(path));
}

}  // namespace

namespace {

TEST(ReplaceFile, LongestFileNameWorksAndNothingIsLeftBehind)
{
    TempFolder dir;
    const std::string name = std::string(251, 'n') + ".ini";  // 255 bytes, the most a name may have
    ASSERT_TRUE(writeProfileString("a", "k", "v", dir.file(name))) << lastError();
    ASSERT_TRUE(writeProfileString("a", "k", "w", dir.file(name))) << lastError();
    EXPECT_EQ(readBytes(dir.file(name)), "[a]\r\nk=w\r\n");
    EXPECT_EQ(dir.names(), std::set<std::string>{name});
}

TEST(ReplaceFile, RemovesOnlyStaleTemporaryFilesOfKilledRuns)
{
    TempFolder dir;
    const auto age = [&](const std::string& name, int minutes) {
        const auto path = testsupport::fsPath(dir.file(name));
        std::error_code error;  // Windows keeps a folder's time as it is
        std::filesystem::last_write_time(
            path, std::filesystem::file_time_type::clock::now() - std::chrono::minutes(minutes), error);
        ASSERT_TRUE(!error || std::filesystem::is_directory(path));
    };
    const auto makeFile = [&](const std::string& name, int minutesOld) {
        writeBytes(dir.file(name), "x");
        age(name, minutesOld);
    };
    const std::string prefix(kTemporaryPrefix);
    makeFile(prefix + "Ab3xYz", 11);         // a killed run's
    makeFile(prefix + "Qq9Rr8", 2);          // another process's, still writing
    makeFile(prefix + "Ab3xYz.keep", 60);    // not of this scheme
    makeFile(prefix + "Dead00-Ab3xYz", 11);  // a killed writer's, its mark gone with it
    makeFile(".card.ini.tmp4242.7", 11);     // an earlier version's killed run
    makeFile(".CARD.INI.tmp4242.8", 11);     // the same, any letter case
    makeFile("card.ini.tmp4242.7", 60);      // no leading dot: someone's own file
    makeFile(".notes.tmp2024.1", 60);        // the same shape, but no profile file's name
    makeFile("notes" + prefix + "Ab3xYz", 60);
    ASSERT_TRUE(std::filesystem::create_directory(testsupport::fsPath(dir.file(prefix + "Dir123"))));
    age(prefix + "Dir123", 60);  // only files are removed
    // A writer still at work after an hour (an import of many cards): its
    // files and its mark are old, and stay.
    const std::set<std::string> before = dir.names();
    ReplaceBatch live(dir.path());
    ASSERT_TRUE(live.add("live.ini", "x").ok());
    std::set<std::string> liveFiles;
    for (const std::string& name : dir.names())
        if (!before.contains(name)) {
            liveFiles.insert(name);
            std::error_code held;  // Windows lets nobody touch a held mark
            std::filesystem::last_write_time(testsupport::fsPath(dir.file(name)),
                std::filesystem::file_time_type::clock::now() - std::chrono::minutes(60), held);
        }
    ASSERT_EQ(liveFiles.size(), 2u);  // its temporary file and its mark

    EXPECT_FALSE(replaceFile(dir.file("folder/none.ini"), "x", false).ok());
    EXPECT_EQ(dir.names().count(prefix + "Ab3xYz"), 1u);  // a failed write cleans nothing

    ASSERT_TRUE(replaceFile(dir.file("card.ini"), "[a]\r\n", true).ok());
    std::set<std::string> kept{"card.ini", prefix + "Qq9Rr8", prefix + "Ab3xYz.keep", "card.ini.tmp4242.7",
        ".notes.tmp2024.1", "notes" + prefix + "Ab3xYz", prefix + "Dir123"};
    kept.insert(liveFiles.begin(), liveFiles.end());
    EXPECT_EQ(dir.names(), kept);
}

TEST(ReplaceFile, LooksForLeftoversOncePerFolder)
{
    TempFolder first, second;
    const auto leaveStale = [](const TempFolder& dir, const std::string& name) {
        writeBytes(dir.file(name), "x");
        testsupport::makeOld(dir.file(name), 60);
    };
    const std::string prefix(kTemporaryPrefix);
    leaveStale(first, prefix + "Old111");
    const std::size_t scans = staleTemporaryScans();

    ASSERT_TRUE(replaceFile(first.file("a.ini"), "1", true).ok());
    EXPECT_EQ(first.names(), std::set<std::string>{"a.ini"});
    EXPECT_EQ(staleTemporaryScans(), scans + 1);

    // Later writes into the same folder do not look again.
    leaveStale(first, prefix + "Old222");
    ASSERT_TRUE(replaceFile(first.file("a.ini"), "2", true).ok());
    ASSERT_TRUE(replaceFile(first.file("b.ini"), "3", false).ok());
    EXPECT_EQ(staleTemporaryScans(), scans + 1);
    EXPECT_TRUE(first.names().contains(prefix + "Old222"));

    ASSERT_TRUE(replaceFile(second.file("a.ini"), "1", true).ok());
    EXPECT_EQ(staleTemporaryScans(), scans + 2);
}

}  // namespace

namespace {

TEST(ConcurrentWriters, EveryKeyOfTwoWritersIsInTheFile)
{
    // Two writers (each with its own descriptors, as two processes have),
    // each adding its own keys to one file: none may undo the other's.
    TempFolder dir;
    const std::string path = dir.file("card.ini");
    constexpr int kKeys = 300;
    const auto writer = [&](char who) {
        for (int i = 0; i < kKeys; ++i)
            if (!writeProfileString("s", who + std::to_string(i), "v", path))
                return false;
        return true;
    };
    auto other = std::async(std::launch::async, writer, 'b');
    EXPECT_TRUE(writer('a')) << lastError();
    EXPECT_TRUE(other.get());
    int lost = 0;
    for (char who : {'a', 'b'})
        for (int i = 0; i < kKeys; ++i) {
            std::string value;
            lost += getProfileString("s", who + std::to_string(i), "", value, 256, path) == 0;
        }
    EXPECT_EQ(lost, 0);
}

}  // namespace

namespace {

// Writers give up on the folder's lock after this, in these tests.
class ShortPatience {
public:
    ShortPatience() { setFolderLockPatience(std::chrono::milliseconds(200)); }
    ~ShortPatience() { setFolderLockPatience(before_); }

private:
    std::chrono::milliseconds before_ = folderLockPatience();
};

// A writer that never lets go (hung, or stopped in a debugger) is waited for
// a while, then refused with a reason; so is a lock that is no file at all.
TEST(FolderLocks, AreNeverWaitedForWithoutEnd)
{
    TempFolder dir;
    const ShortPatience patience;
    {
        const FolderLock hung(dir.path());
        ASSERT_TRUE(hung.held());
        EXPECT_FALSE(writeProfileString("a", "k", "v", dir.file("card.ini")));
        EXPECT_EQ(lastError(), ETIMEDOUT);
    }
    ASSERT_TRUE(std::filesystem::remove(testsupport::fsPath(dir.file(".velmar.lock"))));
    ASSERT_TRUE(std::filesystem::create_directory(testsupport::fsPath(dir.file(".velmar.lock"))));
    EXPECT_FALSE(writeProfileString("a", "k", "v", dir.file("card.ini")));
    EXPECT_EQ(lastError(), ENOLCK);
    EXPECT_FALSE(pathExists(dir.file("card.ini")));
}

// A writer that takes the lock again and again (an import, card by card)
// lets one that waits (a Save) have it: the Save never waits it out.
TEST(FolderLocks, AWriterThatRelocksLetsAWaitingOneIn)
{
    TempFolder dir;
    std::atomic<bool> saved{false};
    FolderLock importing(dir.path());
    ASSERT_TRUE(importing.held());
    auto save = std::async(std::launch::async, [&] {
        const bool wrote = writeProfileString("a", "k", "v", dir.file("card.ini"));
        saved = true;
        return wrote;
    });
    while (!saved) {
        importing.unlock();
        ASSERT_EQ(importing.relock(), 0);
    }
    EXPECT_TRUE(save.get());
}

}  // namespace
