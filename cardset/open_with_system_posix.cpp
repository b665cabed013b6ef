#include "open_with_system.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kNotStarted = 127;

}  // namespace

CardProblem openWithSystem(const std::string& path)
{
    // xdg-open may run as long as the browser it starts. It is started by a
    // child that leaves at once, so that it belongs to init and no zombie is
    // left behind however long it runs; the child tells whether it started.
    std::string program = "xdg-open", file = path;
    char* argv[] = {program.data(), file.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const pid_t child = ::fork();
    if (child == 0) {
        pid_t opener = 0;
        ::_exit(::posix_spawnp(&opener, argv[0], &actions, nullptr, argv, environ) == 0 ? 0 : kNotStarted);
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (child > 0)
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::string("ファイルを開くプログラム（xdg-open）を起動できませんでした。xdg-utils "
                           "が入っているか確かめてください。");
    return std::nullopt;
}
