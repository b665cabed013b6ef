// Starts programs that print "shown <CLOCK_MONOTONIC ns>" once their window is
// exposed (see startup_probe.h), alternately, and compares their start-up
// times: from just before posix_spawn to that stamp.
//
//   startup_compare [--runs N] [--limit R | --no-limit] PROGRAM BASELINE
//
// Each program is run once first to warm the caches (not counted), then N
// times each, alternating. Prints every program's median, minimum and
// maximum, and PROGRAM's median over BASELINE's. Exits 1 when that ratio is
// above R (default 1.25; --no-limit only reports it), 2 when a program fails.

#include "measure.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using bench::median;
using bench::monotonicNs;

// Milliseconds from spawn to the program's "shown" stamp; negative on failure.
double runOnce(const std::string& program)
{
    int out[2];
    if (pipe(out) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
    pid_t pid = 0;
    const long long start = monotonicNs();
    const int err = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (err != 0) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), std::strerror(err));
        close(out[0]);
        return -1;
    }
    std::string text;
    char buffer[256];
    for (;;) {
        ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, size_t(n));
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    long long shown = 0;
    if (std::sscanf(text.c_str(), "shown %lld", &shown) != 1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s: no start-up stamp (status %d)\n", program.c_str(), status);
        return -1;
    }
    return double(shown - start) / 1e6;
}

std::string baseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

}  // namespace

int main(int argc, char** argv)
{
    int runs = 30;
    double limit = 1.25;
    bool checkLimit = true;
    std::vector<std::string> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--limit" && i + 1 < argc)
            limit = std::atof(argv[++i]);
        else if (arg == "--no-limit")
            checkLimit = false;
        else
            programs.push_back(arg);
    }
    if (programs.size() != 2) {
        std::fprintf(stderr, "usage: %s [--runs N] [--limit R] PROGRAM BASELINE\n", argv[0]);
        return 2;
    }
    for (const auto& p : programs)
        if (runOnce(p) < 0)
            return 2;
    std::vector<std::vector<double>> times(programs.size());
    for (int r = 0; r < runs; ++r)
        for (size_t p = 0; p < programs.size(); ++p) {
            const double ms = runOnce(programs[p]);
            if (ms < 0)
                return 2;
            times[p].push_back(ms);
        }
    std::printf("%-18s %5s %10s %10s %10s\n", "program", "runs", "median ms", "min ms", "max ms");
    for (size_t p = 0; p < programs.size(); ++p)
        std::printf("%-18s %5d %10.2f %10.2f %10.2f\n", baseName(programs[p]).c_str(), runs, median(times[p]),
            *std::min_element(times[p].begin(), times[p].end()), *std::max_element(times[p].begin(), times[p].end()));
    const double ratio = median(times[0]) / median(times[1]);
    std::printf("ratio %s / %s (medians): %.3f", baseName(programs[0]).c_str(), baseName(programs[1]).c_str(), ratio);
    if (!checkLimit) {
        std::printf("\n");
        return 0;
    }
    std::printf(" (target <= %.2f): %s\n", limit, ratio <= limit ? "met" : "MISSED");
    return ratio <= limit ? 0 : 1;
}
