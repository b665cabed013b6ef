// A private card (mode 600, someone else's; or one whose access list shuts
// a user out) stays private while it is being replaced: nobody else can open
// the new file before it has the card's owner, access list and mode, and so
// nobody reads what it is then given; and the new card keeps them.
#include "child_process.h"
#include "file_io.h"
#include "replace_batch.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <acl/libacl.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

using namespace profile;
using testsupport::TempFolder;

namespace {

constexpr uid_t kCardOwner = 4301;
constexpr uid_t kOtherUser = 4302;
constexpr int kCards = 600;

std::string nameOf(int i) { return std::to_string(1000 + i) + ".ini"; }

// Another user watching the folder, who opens every file the moment it is
// created. Stops when told (a byte on `stop`) and reports how many of the
// files it opened hold something it could read: what leaked.
class Snooper {
public:
    explicit Snooper(const std::string& folder)
    {
        int ready[2], stop[2];
        if (::pipe(ready) != 0 || ::pipe(stop) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(stop[1]);
            ::_exit(snoop(folder, ready[1], stop[0]));
        }
        ::close(ready[1]);
        ::close(stop[0]);
        stop_ = stop[1];
        char byte = 0;
        watching_ = ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }

    bool watching() const { return watching_; }

    // Files whose content the other user could read; -1 when the snooper failed.
    int leaks()
    {
        (void)::write(stop_, "x", 1);
        ::close(stop_);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) < 250 ? WEXITSTATUS(status) : -1;
    }

private:
    static int snoop(const std::string& folder, int ready, int stop)
    {
        if (::setgid(kOtherUser) != 0 || ::setuid(kOtherUser) != 0)
            return 251;
        const int watch = ::inotify_init1(IN_NONBLOCK);
        if (watch < 0 || ::inotify_add_watch(watch, folder.c_str(), IN_CREATE) < 0)
            return 252;
        (void)::write(ready, "r", 1);
        std::vector<int> opened;
        const auto openEveryNewFile = [&] {
            alignas(inotify_event) char buffer[64 * 1024];
            for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
                for (ssize_t at = 0; at < n;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                    at += ssize_t(sizeof(inotify_event) + event->len);
                    const int fd = ::open((folder + "/" + event->name).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
                    if (fd >= 0)
                        opened.push_back(fd);
                }
        };
        for (bool done = false; !done;) {
            pollfd fds[2] = {{watch, POLLIN, 0}, {stop, POLLIN, 0}};
            (void)::poll(fds, 2, -1);
            done = fds[1].revents != 0;  // the writer is done: what is queued still counts
            openEveryNewFile();
        }
        int leaks = 0;
        for (const int fd : opened) {
            char byte;
            leaks += ::pread(fd, &byte, 1, 0) == 1;
        }
        return std::min(leaks, 249);
    }

    pid_t pid_ = -1;
    int stop_ = -1;
    bool watching_ = false;
};

// The card's access list as text, numeric IDs; "" when it has none beyond its mode.
std::string accessList(const std::string& path)
{
    if (::acl_extended_file(path.c_str()) != 1)
        return "";
    acl_t list = ::acl_get_file(path.c_str(), ACL_TYPE_ACCESS);
    char* text = ::acl_to_any_text(list, nullptr, ',', TEXT_NUMERIC_IDS);
    std::string result = text ? text : "?";
    ::acl_free(text);
    ::acl_free(list);
    return result;
}

bool setAccessList(const std::string& path, acl_type_t type, const std::string& text)
{
    acl_t list = ::acl_from_text(text.c_str());
    const bool set = list && ::acl_set_file(path.c_str(), type, list) == 0;
    ::acl_free(list);
    return set;
}

// What another user gets from opening the card: 0, or the kernel's refusal.
int openAs(uid_t user, const std::string& path)
{
    return testsupport::inChild([&] {
        if (::setgid(user) != 0 || ::setuid(user) != 0)
            return 255;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        return fd >= 0 ? 0 : errno;
    });
}

// Cards of kCardOwner's, private by their mode (600), or readable by all (644)
// but for kOtherUser, whom their access list shuts out; each with an extended
// attribute of its own.
class PrivateCards : public ::testing::TestWithParam<bool> {
protected:
    const bool byList = GetParam();
    const mode_t mode = byList ? 0644 : 0600;
    const std::string list = "user::rw-,user:" + std::to_string(kOtherUser) + ":---,group::r--,mask::r--,other::r--";

    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root, to be three users";
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        for (int i = 0; i < kCards; ++i) {
            const std::string path = dir.file(nameOf(i));
            dir.write(nameOf(i), "old private card");
            ASSERT_EQ(::chown(path.c_str(), kCardOwner, kCardOwner), 0);
            ASSERT_EQ(::chmod(path.c_str(), mode), 0);
            if (byList)
                ASSERT_TRUE(setAccessList(path, ACL_TYPE_ACCESS, list));
            ASSERT_EQ(::setxattr(path.c_str(), "user.velmar-test", "kept", 4, 0), 0);
        }
    }

    void expectStillPrivate()
    {
        for (int i = 0; i < kCards; ++i) {
            const std::string path = dir.file(nameOf(i));
            struct stat st { };
            ASSERT_EQ(::stat(path.c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, mode) << nameOf(i);
            EXPECT_EQ(st.st_uid, kCardOwner) << nameOf(i);
            EXPECT_EQ(accessList(path), byList ? list : "") << nameOf(i);
            char attribute[8] = {};
            EXPECT_EQ(::getxattr(path.c_str(), "user.velmar-test", attribute, sizeof attribute), 4) << nameOf(i);
            EXPECT_STREQ(attribute, "kept") << nameOf(i);
            EXPECT_EQ(dir.read(nameOf(i)), "new private card") << nameOf(i);
        }
        // Root reads any file: the kernel is asked as the other user.
        EXPECT_EQ(openAs(kOtherUser, dir.file(nameOf(0))), EACCES);
    }

    TempFolder dir;
};

INSTANTIATE_TEST_SUITE_P(ByModeOrByList, PrivateCards, ::testing::Bool());

TEST_P(PrivateCards, ABatchNeverLetsAnotherUserReadTheNewContent)
{
    Snooper snooper(dir.path());
    ASSERT_TRUE(snooper.watching());
    ReplaceBatch batch(dir.path());
    for (int i = 0; i < kCards; ++i)
        ASSERT_TRUE(batch.add(nameOf(i), "new private card").ok());
    ASSERT_TRUE(batch.makeDurable().ok());
    for (int i = 0; i < kCards; ++i)
        ASSERT_TRUE(batch.put(std::size_t(i)).ok());
    ASSERT_TRUE(batch.finish().ok());
    EXPECT_EQ(snooper.leaks(), 0);
    expectStillPrivate();
}

TEST_P(PrivateCards, ASaveNeverLetsAnotherUserReadTheNewContent)
{
    Snooper snooper(dir.path());
    ASSERT_TRUE(snooper.watching());
    for (int i = 0; i < kCards; ++i)
        ASSERT_TRUE(replaceFile(dir.file(nameOf(i)), "new private card", false).ok());
    EXPECT_EQ(snooper.leaks(), 0);
    expectStillPrivate();
}

// A folder whose default access list lets kOtherUser read what is made in it
// (made after the card was): the card, readable by its group alone, does not
// become readable by kOtherUser through being replaced.
TEST(PrivateCardsInAFolder, TheFoldersDefaultListGivesAReplacedCardNothingItDidNotHave)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to be another user";
    TempFolder dir;
    const std::string card = dir.file("card.ini");
    dir.write("card.ini", "old");
    ASSERT_EQ(::chmod(card.c_str(), 0640), 0);
    ASSERT_TRUE(setAccessList(dir.path(), ACL_TYPE_DEFAULT,
        "user::rwx,user:" + std::to_string(kOtherUser) + ":r--,group::r-x,mask::r-x,other::r-x"));
    ASSERT_TRUE(replaceFile(card, "new", true).ok());
    EXPECT_EQ(accessList(card), "");
    EXPECT_EQ(testsupport::modeOf(card), 0640u);
    EXPECT_EQ(openAs(kOtherUser, card), EACCES);
}

}  // namespace
