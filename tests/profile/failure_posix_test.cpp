// Writes that cannot complete fail with the system's reason and leave the old
// file exactly as it was; reads of odd paths never hang.
#include "file_io.h"
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
    EXPECT_EQ(readFileOnce(fifo, value), EINVAL);
    EXPECT_FALSE(writeProfileString("a", "k", "v", fifo));
    EXPECT_EQ(lastError(), EINVAL);
}

}  // namespace
