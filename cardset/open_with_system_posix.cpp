#include "open_with_system.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

CardProblem openWithSystem(const std::string& path)
{
    std::string program = "xdg-open", file = path;
    char* argv[] = {program.data(), file.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t opener = 0;
    const int error = ::posix_spawnp(&opener, argv[0], &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return std::string("ファイルを開くプログラム（xdg-open）を起動できませんでした。xdg-utils "
                           "が入っているか確かめてください。");
    // xdg-open may run as long as the browser it starts: it is waited for on
    // a thread of its own, so that the caller goes on at once and no zombie
    // is left behind.
    std::thread([opener] {
        int status = 0;
        while (::waitpid(opener, &status, 0) < 0 && errno == EINTR) { }
    }).detach();
    return std::nullopt;
}
