// One velmar-cards merge of a card, as git starts it (a fresh process per
// card), against the floor: a minimal program that reads the three files
// and writes one. Both start alternately from just before posix_spawn to
// their exit; OURS is put back before each run, outside the time.
//
//   merge_compare [--runs N] [--limit R] VELMAR_CARDS MERGE_FLOOR
//
// One warm-up run each, then N runs each (default 200). Prints medians and
// minimums and the ratio of the medians; exits 1 when it is above R
// (default 1.5), 2 when a program fails or the merge is not the clean one.

#include "measure.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using bench::median;
using bench::monotonicNs;

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Milliseconds from spawn to exit; negative when it failed.
double runOnce(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const long long start = monotonicNs();
    if (const int err = posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ)) {
        std::fprintf(stderr, "%s: %s\n", args[0], std::strerror(err));
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    const long long end = monotonicNs();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? double(end - start) / 1e6 : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 200;
    double limit = 1.5;
    std::vector<std::string> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (arg == "--limit" && i + 1 < argc)
            limit = std::atof(argv[++i]);
        else
            programs.push_back(arg);
    }
    if (programs.size() != 2 || runs < 1) {
        std::fprintf(stderr, "usage: merge_compare [--runs N] [--limit R] VELMAR_CARDS MERGE_FLOOR\n");
        return 2;
    }
    char folder[] = "/tmp/velmar-merge-XXXXXX";
    if (!mkdtemp(folder))
        return 2;
    const std::string dir = folder;
    // A full level as Save writes it (ひっかく in code page 932); HP against P.
    const std::string head = "[head]\r\nrare=3\r\nmaxlv=4\r\nminlv=1\r\nsuper=2\r\n[Lv1]\r\n";
    const std::string tail = "1=\x82\xD0\x82\xC1\x82\xA9\x82\xAD\r\nS=1F/30D/2\r\n2=Blast\r\n[Lv2]\r\nHP=30\r\n";
    const std::string base = head + "HP=20\r\nP=10\r\n" + tail, ours = head + "HP=25\r\nP=10\r\n" + tail,
                      theirs = head + "HP=20\r\nP=15\r\n" + tail, merged = head + "HP=25\r\nP=15\r\n" + tail;
    writeFile(dir + "/base", base);
    writeFile(dir + "/theirs", theirs);
    const std::vector<std::string> commands[2] = {
        {programs[0], "merge", dir + "/base", dir + "/ours", dir + "/theirs", "7", "cards/000.ini"},
        {programs[1], dir + "/base", dir + "/ours", dir + "/theirs"},
    };
    std::vector<double> times[2];
    int status = 0;
    for (int run = -1; run < runs && status == 0; ++run)
        for (int p = 0; p < 2; ++p) {
            writeFile(dir + "/ours", ours);
            const double ms = runOnce(commands[p]);
            if (ms < 0 || (p == 0 && readFile(dir + "/ours") != merged)) {
                std::fprintf(stderr, "%s failed or did not merge cleanly\n", commands[p][0].c_str());
                status = 2;
                break;
            }
            if (run >= 0)
                times[p].push_back(ms);
        }
    for (const char* name : {"/base", "/ours", "/theirs"})
        std::remove((dir + name).c_str());
    rmdir(folder);
    if (status)
        return status;
    const char* names[2] = {"velmar-cards merge", "merge_floor"};
    for (int p = 0; p < 2; ++p)
        std::printf("%-20s median %.3f ms, min %.3f ms (%d runs)\n", names[p], median(times[p]),
            *std::min_element(times[p].begin(), times[p].end()), runs);
    const double ratio = median(times[0]) / median(times[1]);
    std::printf("ratio velmar-cards merge / merge_floor: %.2f (target <= %.2f): %s\n", ratio, limit,
        ratio <= limit ? "met" : "MISSED");
    return ratio <= limit ? 0 : 1;
}
