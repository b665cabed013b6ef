// Writing keys the way WritePrivateProfileStringA does.
#include "profile_service.h"
#include "code_page.h"
#include "file_io.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <ctime>
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

}  // namespace

namespace {

}  // namespace
