// Replacing many files of one folder as one durable batch.
#include "replace_batch.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

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
    const auto mode = modeOf(dir.file("a.ini"));  // on Windows, chmod knows only the write bit
    dir.write("b.ini", "old b");

    dir.write("e.ini", "old e");
    ReplaceBatch batch(dir.path());
    for (const char* name : {"a.ini", "b.ini", "c.ini", "d.ini", "e.ini"})
        ASSERT_TRUE(batch.add(name, std::string("new ") + name).ok());
    ASSERT_TRUE(batch.makeDurable().ok());
    EXPECT_EQ(dir.read("a.ini"), "old a");  // written beside, nothing replaced yet
    EXPECT_EQ(dir.names().size(), 9u);      // five temporary files and the batch's mark beside

    PutCheck check;
    EXPECT_TRUE(batch.put(0).ok());
    // Put in place only over what was there before, or where nothing was.
    dir.write("b.ini", "edited meanwhile");
    EXPECT_TRUE(batch.putIfUnchanged(1, "old b", check).ok());
    EXPECT_TRUE(check.changed);
    EXPECT_TRUE(batch.putIfUnchanged(2, std::nullopt, check).ok());
    EXPECT_FALSE(check.changed);
    dir.write("d.ini", "made meanwhile");
    EXPECT_TRUE(batch.putIfUnchanged(3, std::nullopt, check).ok());
    EXPECT_TRUE(check.changed);
    batch.drop(4);
    EXPECT_TRUE(batch.finish().ok());

    EXPECT_EQ(dir.read("a.ini"), "new a.ini");
    EXPECT_EQ(modeOf(dir.file("a.ini")), mode);
    EXPECT_EQ(dir.read("b.ini"), "edited meanwhile");
    EXPECT_EQ(dir.read("c.ini"), "new c.ini");
    EXPECT_EQ(dir.read("d.ini"), "made meanwhile");
    EXPECT_EQ(dir.read("e.ini"), "old e");
    EXPECT_EQ(dir.names(), (std::set<std::string>{"a.ini", "b.ini", "c.ini", "d.ini", "e.ini"}));
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
