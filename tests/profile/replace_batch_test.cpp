// Replacing many files of one folder as one durable batch.
#include "replace_batch.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

using namespace profile;
using testsupport::modeOf;
using testsupport::TempFolder;

namespace {

TEST(ReplaceBatch, PutsEachFileInPlaceOnlyWhenToldAndKeepsItsMode)
{
    TempFolder dir;
    dir.write("a.ini", "old a");
    ASSERT_EQ(::chmod(dir.file("a.ini").c_str(), 0640), 0);
    dir.write("b.ini", "old b");

    ReplaceBatch batch(dir.path());
    for (const char* name : {"a.ini", "b.ini", "c.ini", "d.ini"})
        ASSERT_TRUE(batch.add(name, std::string("new ") + name).ok());
    ASSERT_TRUE(batch.makeDurable().ok());
    EXPECT_EQ(dir.read("a.ini"), "old a");  // written beside, nothing replaced yet
    EXPECT_EQ(dir.names().size(), 6u);

    EXPECT_TRUE(batch.put(0).ok());
    batch.drop(1);
    EXPECT_TRUE(batch.put(2, true).ok());
    dir.write("d.ini", "made meanwhile");
    const ReplaceResult taken = batch.put(3, true);
    EXPECT_EQ(taken.error, EEXIST);
    EXPECT_TRUE(batch.finish().ok());

    EXPECT_EQ(dir.read("a.ini"), "new a.ini");
    EXPECT_EQ(modeOf(dir.file("a.ini")), 0640u);
    EXPECT_EQ(dir.read("b.ini"), "old b");
    EXPECT_EQ(dir.read("c.ini"), "new c.ini");
    EXPECT_EQ(dir.read("d.ini"), "made meanwhile");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"a.ini", "b.ini", "c.ini", "d.ini"}));
}

TEST(ReplaceBatch, AnUnfinishedBatchLeavesTheOldFilesAndNoTemporaryFile)
{
    TempFolder dir;
    dir.write("a.ini", "old a");
    {
        ReplaceBatch batch(dir.path());
        ASSERT_TRUE(batch.add("a.ini", "new a").ok());
        ASSERT_TRUE(batch.add("b.ini", "new b").ok());
    }
    EXPECT_EQ(dir.names(), std::set<std::string>{"a.ini"});
    EXPECT_EQ(dir.read("a.ini"), "old a");

    ReplaceBatch nowhere(dir.file("missing"));
    EXPECT_EQ(nowhere.add("a.ini", "x").step, ReplaceStep::Folder);
}

}  // namespace
