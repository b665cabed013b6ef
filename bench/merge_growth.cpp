// How the time of one velmar-cards merge grows with the keys of a card, as
// git starts it (a fresh process per card): a card of N keys whose other
// side changes every key (ours is the base, so the merge writes theirs),
// for N = 2,500 to 40,000, and a card of such keys as near the 64 MiB read
// limit as it gets (over six million keys), set against velmar-cards show
// reading its three sides, each in a process of its own. Rounds alternate
// the programs; OURS is put back before each merge, outside the time.
//
//   merge_growth [--runs N] [--limit-rounds N] VELMAR_CARDS
//
// Floors, checked in the same run: 40,000 keys take at most 5 times what
// 10,000 take (medians of N runs, default 5), and the card at the read
// limit merges in at most 5 times what show takes for its three sides
// (medians of the rounds, default 3). Prints wall-clock and processor
// times and the merge's peak memory; exits 1 when a floor is missed, 2 when
// a program fails or a merge does not give theirs.

#include "measure.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using bench::median;
using bench::monotonicNs;

constexpr std::size_t kReadLimit = std::size_t(64) << 20;  // what velmar-cards reads of a file at most

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct Run {
    double wallMs = -1;  // negative: the program failed
    double cpuMs = 0;    // user and system
    long peakKb = 0;
};

// One run of argv, its output to /dev/null.
Run runOnce(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    Run run;
    const long long start = monotonicNs();
    const int err = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err) {
        std::fprintf(stderr, "%s: %s\n", args[0], std::strerror(err));
        return run;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) { }
    const long long end = monotonicNs();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return run;
    run.wallMs = double(end - start) / 1e6;
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    run.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    run.peakKb = usage.ru_maxrss;
    return run;
}

// A card of `keys` keys after its head, each value `value`; with keys = 0, as
// many as keep it within `limit` bytes.
std::string card(std::size_t keys, char value, std::size_t limit = 0)
{
    std::string text = "[head]\r\nrare=3\r\n[X]\r\n";
    char line[32];
    for (std::size_t i = 0; keys == 0 || i < keys; ++i) {
        const int n = std::snprintf(line, sizeof line, "K%zx=%c\r\n", i, value);
        if (keys == 0 && text.size() + std::size_t(n) > limit)
            break;
        text.append(line, std::size_t(n));
    }
    return text;
}

class Scratch {
public:
    Scratch()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/velmar-growth-XXXXXX";
        if (mkdtemp(pattern.data()))
            dir_ = pattern;
    }
    ~Scratch()
    {
        for (const char* name : {"/base", "/ours", "/theirs"})
            std::remove((dir_ + name).c_str());
        if (!dir_.empty())
            rmdir(dir_.c_str());
    }
    bool ok() const { return !dir_.empty(); }
    std::string path(const char* name) const { return dir_ + "/" + name; }

    void write(const std::string& base, const std::string& theirs)
    {
        base_ = base;
        theirs_ = theirs;
        writeFile(path("base"), base);
        writeFile(path("theirs"), theirs);
    }
    // One merge of the sides written, OURS put back first; a failed run when it does not give theirs.
    Run merge(const std::string& program)
    {
        writeFile(path("ours"), base_);
        Run run = runOnce({program, "merge", path("base"), path("ours"), path("theirs"), "7", "cards/000.ini"});
        if (run.wallMs >= 0 && readFile(path("ours")) != theirs_) {
            std::fprintf(stderr, "the merge did not give theirs\n");
            run.wallMs = -1;
        }
        return run;
    }
    // show of the three sides, each in a process of its own.
    Run show(const std::string& program)
    {
        Run sum{0, 0, 0};
        for (const char* name : {"base", "ours", "theirs"}) {
            const Run run = runOnce({program, "show", path(name)});
            if (run.wallMs < 0)
                return run;
            sum.wallMs += run.wallMs;
            sum.cpuMs += run.cpuMs;
            sum.peakKb = std::max(sum.peakKb, run.peakKb);
        }
        return sum;
    }

private:
    std::string dir_, base_, theirs_;
};

bool check(const char* what, double ratio, double limit)
{
    std::printf("%s: %.2f (target <= %.0f): %s\n", what, ratio, limit, ratio <= limit ? "met" : "MISSED");
    return ratio <= limit;
}

}  // namespace

int main(int argc, char** argv)
{
    int runs = 5, limitRounds = 3;
    std::vector<std::string> programs;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (arg == "--limit-rounds" && i + 1 < argc)
            limitRounds = std::atoi(argv[++i]);
        else
            programs.push_back(arg);
    }
    if (programs.size() != 1 || runs < 1 || limitRounds < 1) {
        std::fprintf(stderr, "usage: merge_growth [--runs N] [--limit-rounds N] VELMAR_CARDS\n");
        return 2;
    }
    const std::string& velmar = programs[0];
    Scratch scratch;
    if (!scratch.ok())
        return 2;

    // Growth: each size in turn, its runs in a row (a size's files are written once).
    const std::size_t sizes[] = {2500, 5000, 10000, 20000, 40000};
    double medians[std::size(sizes)] = {};
    std::printf("%8s %12s %12s %10s\n", "keys", "median ms", "cpu ms", "peak KB");
    for (std::size_t s = 0; s < std::size(sizes); ++s) {
        scratch.write(card(sizes[s], 'a'), card(sizes[s], 'b'));
        std::vector<double> wall, cpu;
        long peak = 0;
        for (int r = -1; r < runs; ++r) {  // one warm-up run
            const Run run = scratch.merge(velmar);
            if (run.wallMs < 0)
                return 2;
            if (r < 0)
                continue;
            wall.push_back(run.wallMs);
            cpu.push_back(run.cpuMs);
            peak = std::max(peak, run.peakKb);
        }
        medians[s] = median(wall);
        std::printf("%8zu %12.1f %12.1f %10ld\n", sizes[s], medians[s], median(cpu), peak);
    }
    bool met = check("merge of 40,000 keys / of 10,000", medians[4] / medians[2], 5);

    // The read limit: merge and show alternately.
    const std::string base = card(0, 'a', kReadLimit), theirs = card(0, 'b', kReadLimit);
    scratch.write(base, theirs);
    std::printf("card at the read limit: %zu bytes, %zu keys (%d rounds)\n", base.size(),
        std::size_t(std::count(base.begin(), base.end(), '=')) - 1, limitRounds);
    std::vector<double> mergeWall, mergeCpu, showWall, showCpu;
    long mergePeak = 0, showPeak = 0;
    for (int r = 0; r < limitRounds; ++r) {
        const Run merged = scratch.merge(velmar), shown = scratch.show(velmar);
        if (merged.wallMs < 0 || shown.wallMs < 0)
            return 2;
        mergeWall.push_back(merged.wallMs);
        mergeCpu.push_back(merged.cpuMs);
        showWall.push_back(shown.wallMs);
        showCpu.push_back(shown.cpuMs);
        mergePeak = std::max(mergePeak, merged.peakKb);
        showPeak = std::max(showPeak, shown.peakKb);
    }
    std::printf("merge:              median %.2f s, cpu %.2f s, peak %ld MB\n", median(mergeWall) / 1e3,
        median(mergeCpu) / 1e3, mergePeak / 1024);
    std::printf("show of its sides:  median %.2f s, cpu %.2f s, peak %ld MB\n", median(showWall) / 1e3,
        median(showCpu) / 1e3, showPeak / 1024);
    std::printf("merge / show, processor time: %.2f (reported)\n", median(mergeCpu) / median(showCpu));
    met &= check("merge / show of the three sides at the read limit", median(mergeWall) / median(showWall), 5);
    return met ? 0 : 1;
}
