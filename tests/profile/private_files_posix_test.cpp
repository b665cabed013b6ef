// A private card (mode 600, someone else's) stays private while it is being
// replaced: nobody else can open the new file before it has the card's owner
// and mode, and so nobody reads what it is then given.
#include "file_io.h"
#include "replace_batch.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

class PrivateCards : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root, to be three users";
        ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
        for (int i = 0; i < kCards; ++i) {
            dir.write(nameOf(i), "old private card");
            ASSERT_EQ(::chown(dir.file(nameOf(i)).c_str(), kCardOwner, kCardOwner), 0);
            ASSERT_EQ(::chmod(dir.file(nameOf(i)).c_str(), 0600), 0);
        }
    }

    void expectStillPrivate()
    {
        for (int i = 0; i < kCards; ++i) {
            struct stat st { };
            ASSERT_EQ(::stat(dir.file(nameOf(i)).c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0600u) << nameOf(i);
            EXPECT_EQ(st.st_uid, kCardOwner) << nameOf(i);
            EXPECT_EQ(dir.read(nameOf(i)), "new private card") << nameOf(i);
        }
    }

    TempFolder dir;
};

TEST_F(PrivateCards, ABatchNeverLetsAnotherUserReadTheNewContent)
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

TEST_F(PrivateCards, ASaveNeverLetsAnotherUserReadTheNewContent)
{
    Snooper snooper(dir.path());
    ASSERT_TRUE(snooper.watching());
    for (int i = 0; i < kCards; ++i)
        ASSERT_TRUE(replaceFile(dir.file(nameOf(i)), "new private card", false).ok());
    EXPECT_EQ(snooper.leaks(), 0);
    expectStillPrivate();
}

}  // namespace
