#include "card_folder.h"
#include "open_with_system.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

// PATH set to one folder for the test, put back afterwards.
class PathSetTo {
public:
    explicit PathSetTo(const std::string& folder)
        : old_(std::getenv("PATH") ? std::getenv("PATH") : "")
    {
        ::setenv("PATH", folder.c_str(), 1);
    }
    ~PathSetTo() { ::setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

// Waits (a minute at most) for a file that a child process writes.
bool appears(const std::string& path)
{
    for (int i = 0; i < 600 && !std::filesystem::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return std::filesystem::exists(path);
}

}  // namespace

// A stand-in xdg-open that keeps its arguments and stays until it is told to
// go: the opener gets the path as one argument, with no shell to read it, and
// the call returns while the opener still runs.
TEST(OpenWithSystem, StartsXdgOpenOnThePathAndDoesNotWaitForIt)
{
    CardFolder folder;
    const std::string bin = folder.file("bin"), args = folder.file("args"), go = folder.file("go"),
                      gone = folder.file("gone");
    std::filesystem::create_directory(testsupport::fsPath(bin));
    testsupport::writeBytes(bin + "/xdg-open", "#!/bin/sh\n"
                                               "printf '%s\\n' \"$#\" \"$1\" >'"
                                                   + args + ".tmp' && mv '" + args + ".tmp' '" + args
                                                   + "'\n"
                                                     "i=0; while [ ! -e '"
                                                   + go
                                                   + "' ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i+1)); done\n"
                                                     ": >'"
                                                   + gone + "'\n");
    std::filesystem::permissions(testsupport::fsPath(bin + "/xdg-open"), std::filesystem::perms::owner_all);
    const std::string page = folder.file("a b;$(touch pwned)'.html");

    {
        const PathSetTo path(bin + ":/usr/bin:/bin");
        ASSERT_EQ(openWithSystem(page), std::nullopt);
    }
    // It returned before the opener was told to go, so the opener was not waited for.
    EXPECT_FALSE(std::filesystem::exists(gone));
    ASSERT_TRUE(appears(args));
    EXPECT_EQ(testsupport::readBytes(args), "1\n" + page + "\n");
    EXPECT_FALSE(std::filesystem::exists(folder.file("pwned")));
    testsupport::writeBytes(go, "");
    EXPECT_TRUE(appears(gone));

    const PathSetTo nowhere(folder.file("empty"));
    const auto problem = openWithSystem(page);
    ASSERT_NE(problem, std::nullopt);
    EXPECT_NE(problem->find("xdg-open"), std::string::npos) << *problem;
}
