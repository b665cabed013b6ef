#pragma once

#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

// Runs `body` in a child process and returns its exit code (100 + signal when killed).
template <class Body> int inChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

}  // namespace testsupport
