// Writes that cannot complete fail with the system's reason and leave the old
// file exactly as it was; reads of odd paths never hang.
#include "profile_service.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

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
    testsupport::setReadOnly(path, true);
    EXPECT_FALSE(writeProfileString("a", "k", "new", path));
    EXPECT_EQ(lastError(), EACCES);
    EXPECT_FALSE(writeProfileString("b", "k", "new", path));  // a new section too
    EXPECT_EQ(readBytes(path), kOld);
    EXPECT_EQ(testsupport::modeOf(path), 0444u);
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
