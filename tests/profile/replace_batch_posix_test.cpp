// A batch in rounds rewrites the old files that a round took out of place
// with the next round's contents, but never one that someone else can still
// read: held open, linked under another name, or carrying attributes.
#include "replace_batch.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdint>
#include <set>
#include <utility>

using namespace profile;
using testsupport::modeOf;
using testsupport::TempFolder;

namespace {

// Which file a name holds: its inode and birth time (a number freed and given
// to a new file comes with a new birth time).
std::pair<std::uint64_t, std::int64_t> fileOf(const std::string& path)
{
    struct statx st { };
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_INO | STATX_BTIME, &st) != 0)
        return {};
    return {st.stx_ino, std::int64_t(st.stx_btime.tv_sec) * 1000000000 + st.stx_btime.tv_nsec};
}

void putRound(ReplaceBatch& batch, std::size_t first, const std::vector<std::pair<std::string, std::string>>& files)
{
    for (const auto& [name, content] : files)
        ASSERT_TRUE(batch.add(name, content).ok()) << name;
    ASSERT_TRUE(batch.makeDurable().ok());
    for (std::size_t i = 0; i < files.size(); ++i) {
        bool changed = true;
        ASSERT_TRUE(batch.putIfUnchanged(first + i, "old " + files[i].first, changed).ok());
        EXPECT_FALSE(changed) << files[i].first;
    }
}

TEST(ReplaceBatch, ANextRoundReusesOnlyOldFilesNobodyElseCanRead)
{
    TempFolder dir;
    for (const char* name : {"held", "linked", "marked", "free", "d", "e", "f", "g"})
        dir.write(name, std::string("old ") + name);
    const int reader = ::open(dir.file("held").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ASSERT_EQ(::link(dir.file("linked").c_str(), dir.file("other name").c_str()), 0);
    ASSERT_EQ(::setxattr(dir.file("marked").c_str(), "user.velmar-test", "1", 1, 0), 0);
    ASSERT_EQ(::chmod(dir.file("d").c_str(), 0604), 0);
    const std::set mustNotBeRewritten
        = {fileOf(dir.file("held")), fileOf(dir.file("linked")), fileOf(dir.file("marked"))};
    const auto reusable = fileOf(dir.file("free"));

    ReplaceBatch batch(dir.path());
    putRound(
        batch, 0, {{"held", "new held"}, {"linked", "new linked"}, {"marked", "new marked"}, {"free", "new free"}});
    putRound(batch, 4, {{"d", "new d"}, {"e", "new e"}, {"f", "new f"}, {"g", "new g, longer than the old file"}});
    ASSERT_TRUE(batch.finish().ok());

    std::set<std::pair<std::uint64_t, std::int64_t>> roundTwo;
    for (const char* name : {"d", "e", "f", "g"})
        roundTwo.insert(fileOf(dir.file(name)));
    EXPECT_TRUE(roundTwo.count(reusable)) << "the free old file was not reused";
    for (const auto& file : mustNotBeRewritten)
        EXPECT_FALSE(roundTwo.count(file));

    char bytes[32] = {};
    EXPECT_EQ(::pread(reader, bytes, sizeof bytes, 0), 8);
    EXPECT_STREQ(bytes, "old held");
    ::close(reader);
    EXPECT_EQ(dir.read("other name"), "old linked");
    EXPECT_EQ(dir.read("held"), "new held");
    EXPECT_EQ(dir.read("d"), "new d");
    EXPECT_EQ(dir.read("g"), "new g, longer than the old file");
    EXPECT_EQ(modeOf(dir.file("d")), 0604u);
    for (const char* name : {"d", "e", "f", "g"})
        EXPECT_EQ(::getxattr(dir.file(name).c_str(), "user.velmar-test", nullptr, 0), -1) << name;
    EXPECT_EQ(
        dir.names(), (std::set<std::string>{"held", "linked", "other name", "marked", "free", "d", "e", "f", "g"}));
}

}  // namespace
