// Writing keys the way WritePrivateProfileStringA does.
#include "profile_service.h"
#include "code_page.h"
#include "file_io.h"
#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <future>
#include <fcntl.h>
#include <sys/stat.h>

using namespace profile;
using testsupport::readBytes;
using testsupport::TempFolder;
using testsupport::writeBytes;

namespace {

class WriteOnLinux : public ::testing::Test {
protected:
    TempFolder dir;
    std::string path = dir.file("card.ini");
};

TEST_F(WriteOnLinux, KeepsTheModeAndWritesThroughASymbolicLink)
{
    writeBytes(path, "[a]\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(writeProfileString("a", "k", "v", path));
    EXPECT_EQ(testsupport::modeOf(path), 0640u);

    const std::string link = dir.file("link.ini");
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(writeProfileString("a", "j", "w", link));
    struct stat st { };
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(readBytes(path), "[a]\r\nk=v\r\nj=w\r\n");
}

TEST_F(WriteOnLinux, NewFileGetsTheModeTheUmaskAllows)
{
    mode_t old = ::umask(027);
    bool ok = writeProfileString("a", "k", "v", path);
    ::umask(old);
    ASSERT_TRUE(ok);
    EXPECT_EQ(testsupport::modeOf(path), 0640u);
}

// In a folder its user may write and enter but not list (mode 0333), the
// key writer still locks out another writer: every key of both is kept.
TEST(ConcurrentWritersOnLinux, LockEvenInAFolderTheyCannotList)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to be another user";
    TempFolder dir;
    constexpr uid_t kUser = 4303;
    ASSERT_EQ(::chown(dir.path().c_str(), kUser, kUser), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0333), 0);
    const std::string path = dir.file("card.ini");
    constexpr int kKeys = 300;
    const int lost = testsupport::inChild([&] {
        if (::setgid(kUser) != 0 || ::setuid(kUser) != 0)
            return 255;
        const auto writer = [&](char who) {
            for (int i = 0; i < kKeys; ++i)
                if (!writeProfileString("s", who + std::to_string(i), "v", path))
                    return false;
            return true;
        };
        auto other = std::async(std::launch::async, writer, 'b');
        const bool wroteA = writer('a'), wroteB = other.get();
        if (!wroteA || !wroteB)
            return 254;
        int missing = 0;
        for (char who : {'a', 'b'})
            for (int i = 0; i < kKeys; ++i) {
                std::string value;
                missing += getProfileString("s", who + std::to_string(i), "", value, 256, path) == 0;
            }
        return std::min(missing, 253);
    });
    EXPECT_EQ(lost, 0);
}

}  // namespace
