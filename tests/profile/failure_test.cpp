// Writes that cannot complete fail with the system's reason and leave the old
// file exactly as it was; reads of odd paths never hang.
#include "profile_service.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace profile;
using testsupport::readBytes;
using testsupport::TempFolder;
using testsupport::writeBytes;

namespace {

const std::string kOld = "[a]\r\nk=old\r\n";

TEST(WriteFailure, ReadOnlyFileStaysReadOnlyAndUnchanged)
{
    TempFolder dir;
    const std::string path = dir.file("card.ini");
    writeBytes(path, kOld);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_FALSE(writeProfileString("a", "k", "new", path));
    EXPECT_EQ(lastError(), EACCES);
    EXPECT_FALSE(writeProfileString("b", "k", "new", path));  // a new section too
    EXPECT_EQ(readBytes(path), kOld);
    EXPECT_EQ(testsupport::modeOf(path), 0444u);
    EXPECT_EQ(dir.names(), std::set<std::string>{"card.ini"});
}

TEST(WriteFailure, ReadOnlyFolderTakesNoWriteAndNoNewFile)
{
    TempFolder dir;
    const std::string path = dir.file("card.ini");
    writeBytes(path, kOld);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_FALSE(writeProfileString("a", "k", "new", path));
    EXPECT_EQ(lastError(), EACCES);
    EXPECT_FALSE(writeProfileString("a", "k", "new", dir.file("other.ini")));
    EXPECT_EQ(lastError(), EACCES);
    EXPECT_EQ(readBytes(path), kOld);
    EXPECT_EQ(dir.names(), std::set<std::string>{"card.ini"});
}

TEST(WriteFailure, FoldersInTheWay)
{
    TempFolder dir;
    EXPECT_FALSE(writeProfileString("a", "k", "v", dir.path()));
    EXPECT_EQ(lastError(), EISDIR);
    EXPECT_FALSE(writeProfileString("a", "k", "v", dir.file("no/such/card.ini")));
    EXPECT_EQ(lastError(), ENOENT);
    writeBytes(dir.file("plain"), "x");
    EXPECT_FALSE(writeProfileString("a", "k", "v", dir.file("plain/card.ini")));
    EXPECT_EQ(lastError(), ENOTDIR);
    EXPECT_EQ(readBytes(dir.file("plain")), "x");
}

TEST(WriteFailure, FullDiskLeavesTheOldFile)
{
    TempFolder dir;
    const std::string path = dir.file("card.ini");
    const std::string old = "[a]\r\nk=" + std::string(100, 'o') + "\r\n";
    writeBytes(path, old);
    // The child may write files of at most 64 bytes; the new content takes 210.
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{64, 64};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        bool ok = writeProfileString("a", "k", std::string(200, 'n'), path);
        ::_exit(ok ? 0 : lastError());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), EFBIG);
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(dir.names(), std::set<std::string>{"card.ini"});
}

TEST(SpecialFiles, FifoIsNeitherReadNorWritten)
{
    TempFolder dir;
    const std::string fifo = dir.file("pipe.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::string value;
    EXPECT_EQ(getProfileString("a", "k", "d", value, 256, fifo), 1u);  // would hang if opened for blocking read
    EXPECT_FALSE(writeProfileString("a", "k", "v", fifo));
    EXPECT_EQ(lastError(), EINVAL);
}

// How long this takes is measured in bench/huge_file_bench.cpp, not here.
TEST(HugeFile, IsReadAndWrittenInFull)
{
    // About 3.5 MB in 200,000 lines; the key sought is the last one.
    TempFolder dir;
    const std::string path = dir.file("big.ini");
    std::string content = "[a]\r\n";
    for (int i = 0; i < 200'000; ++i)
        content += "key" + std::to_string(i) + "=value\r\n";
    writeBytes(path, content);
    std::string value;
    getProfileString("a", "key199999", "", value, 256, path);
    EXPECT_EQ(value, "value");
    ASSERT_TRUE(writeProfileString("a", "key199999", "changed", path));
    ASSERT_TRUE(writeProfileString("a", "new", "x", path));
    getProfileString("a", "new", "", value, 256, path);
    EXPECT_EQ(value, "x");
    // Everything before the changed key is kept byte for byte.
    const std::string expected = content.substr(0, content.size() - std::string("key199999=value\r\n").size())
                                 + "key199999=changed\r\nnew=x\r\n";
    EXPECT_TRUE(readBytes(path) == expected) << "the rewritten file differs";
}

}  // namespace
