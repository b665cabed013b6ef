// velmar-cards report against its floors, measured in the same run on the
// same file system (TMPDIR), rounds interleaved; medians are compared:
//   - report of 100,000 varied cards against export --csv of the same folder
//     (target <= 1.5);
//   - report's peak memory at 10,000 and 100,000 cards (target <= 1 KB more a card);
//   - the page of 100,000 cards less the chart library (target <= 5 MB);
//   - the page drawn by headless Chromium: the time from the start of the
//     page until its script has drawn every chart (the page notes it as
//     data-drawn-after), 100,000 cards against 1,000 (target <= 3); the whole
//     Chromium process is reported beside it.
// Prints one line per target; exits 1 when a target is missed, 2 when
// something failed. Options: --rounds N (default 5).
//   report_bench --make-set N FOLDER   writes N varied cards into FOLDER and ends
//   (the set of docs/report.png).

#include "bench_support.h"
#include "report_assets.h"
#include "measure.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using bench::median;

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

// A small generator of its own, so every run makes the same set.
class Draw {
public:
    explicit Draw(std::uint64_t seed)
        : state_(seed)
    {
    }
    double uniform()
    {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return double(state_ >> 11) / double(1ULL << 53);
    }
    int upTo(int n) { return int(uniform() * n); }
    // Roughly normal: the sum of four uniforms, centred.
    double normal(double mean, double spread)
    {
        return mean + spread * (uniform() + uniform() + uniform() + uniform() - 2) * 1.7;
    }

private:
    std::uint64_t state_;
};

// Cards as designers make them: rarity 1 to 5, two to four levels whose hit
// points and powers grow with level and rarity, now and then a card far
// above its peers.
Card variedCard(Draw& draw)
{
    const char* normal[] = {"たいあたり", "かみつく", "ひっかく", "なぎはらい", "つつく", "しっぽ"};
    const char* extended[] = {"ほのおのうず", "かみなり", "ふぶき", "だいちのいかり", "みずでっぽう"};
    const char* ranges[] = {"N", "1F", "2F", "A", "AM", "U", "E"};
    Card card;
    const int rarity = 1 + std::min(4, int(draw.uniform() * draw.uniform() * 6));
    const int levels = 2 + draw.upTo(3);
    card.Rarity = std::to_string(rarity);
    card.MaxLv = std::to_string(levels);
    card.MinLv = "1";
    card.SuperMode = draw.upTo(4);
    for (int n = 1; n <= levels; ++n) {
        LevelRecord& r = card.Levels[n - 1];
        double hp = draw.normal(20 + 8 * rarity + 15 * n * (1 + rarity / 5.0), 6);
        if (draw.uniform() < 0.003)
            hp *= 5;
        r.MaxHP = std::to_string(int(hp));
        r.Power = std::to_string(int(draw.normal(5 + 3 * rarity + 6 * n, 3)));
        r.NomalWaza = normal[draw.upTo(6)];
        r.ExtWazaSpec = std::string(ranges[draw.upTo(7)]) + "/" + std::to_string(int(draw.normal(20 + 10 * n, 5)))
                        + "PDE"[draw.upTo(3)] + "/" + std::to_string(1 + draw.upTo(3));
        r.ExtWaza = extended[draw.upTo(5)];
    }
    return card;
}

void makeSet(const std::string& folder, int count)
{
    Draw draw(42);
    for (int i = 0; i < count; ++i) {
        char id[16];
        std::snprintf(id, sizeof id, "%05d", i);
        bench::writeBytes(cardFilePath(folder, id), cardFileBytes(variedCard(draw)));
    }
}

struct Run {
    double seconds = 0;
    long maxRssKb = 0;
    std::string out;
};

// Runs a program (found on PATH when it has no "/"), its standard output kept, its errors thrown away.
Run run(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0)
        fail("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        fail("cannot start " + args[0]);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    Run result;
    char buffer[65536];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        result.out.append(buffer, std::size_t(n));
    ::close(out[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.maxRssKb = usage.ru_maxrss;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(args[0] + " " + (args.size() > 1 ? args[1] : "") + " failed");
    return result;
}

// Headless Chromium opens the page once: how long its script took to draw
// every chart (ms), and the whole process (s).
std::pair<double, double> drawInChromium(const std::string& page, const bench::ScratchFolder& scratch, int n)
{
    const std::string profile = scratch.file("chromium-" + std::to_string(n));
    const Run r = run({"chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
        "--disable-component-update", "--disable-sync", "--no-first-run", "--host-resolver-rules=MAP * ~NOTFOUND",
        "--user-data-dir=" + profile, "--window-size=1280,900", "--dump-dom", "file://" + page});
    const std::string mark = "data-drawn-after=\"";
    const std::size_t at = r.out.find(mark);
    if (at == std::string::npos)
        fail("the page of " + page + " did not finish drawing");
    return {std::atof(r.out.c_str() + at + mark.size()), r.seconds};
}

bench::Targets targets;

}  // namespace

int main(int argc, char** argv)
{
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::string(argv[i]) == "--make-set" && i + 2 < argc) {
            makeSet(argv[i + 2], std::atoi(argv[i + 1]));
            return 0;
        }
    }
    try {
        const bench::ScratchFolder scratch, big, small, tiny;
        std::printf("making 100,000, 10,000 and 1,000 varied cards in %s ...\n", scratch.path().c_str());
        makeSet(big.path(), 100000);
        makeSet(small.path(), 10000);
        makeSet(tiny.path(), 1000);
        ::sync();

        std::printf("\n== report of 100,000 cards against export --csv of them (%d rounds)\n", rounds);
        const std::string csv = scratch.file("cards.csv"), page = scratch.file("report.html");
        std::vector<double> exportRun, reportRun;
        for (int r = 0; r < rounds; ++r) {
            const auto exportOnce = [&] {
                exportRun.push_back(run({VELMAR_CARDS, "export", big.path(), "--csv", csv}).seconds);
            };
            const auto reportOnce = [&] {
                reportRun.push_back(run({VELMAR_CARDS, "report", big.path(), "--html", page}).seconds);
            };
            if (r % 2 == 0)
                exportOnce(), reportOnce();
            else
                reportOnce(), exportOnce();
        }
        const double e = median(exportRun), rep = median(reportRun);
        std::printf("export --csv %.3f s, report %.3f s (%.2f x)\n", e, rep, rep / e);
        targets.check(rep <= 1.5 * e, "report of 100,000 cards / export --csv: %.2f (target <= 1.5)", rep / e);

        std::printf("\n== report's peak memory at 10,000 and 100,000 cards\n");
        const long at10k = run({VELMAR_CARDS, "report", small.path(), "--html", scratch.file("r10k.html")}).maxRssKb;
        const long at100k = run({VELMAR_CARDS, "report", big.path(), "--html", page}).maxRssKb;
        const double perCard = double(at100k - at10k) * 1024 / 90000;
        std::printf("%ld KB at 10,000, %ld KB at 100,000: %.0f bytes per card\n", at10k, at100k, perCard);
        targets.check(perCard <= 1024, "report: peak memory grows %.0f bytes per card (target <= 1024)", perCard);

        std::printf("\n== the page of 100,000 cards\n");
        const double pageBytes = double(bench::fileSize(page)), library = double(chartLibrary().size());
        std::printf("%.0f bytes, of which the chart library %.0f\n", pageBytes, library);
        targets.check(pageBytes - library <= 5e6,
            "the page of 100,000 cards besides the chart library: %.2f MB (target <= 5)", (pageBytes - library) / 1e6);

        const std::string smallPage = scratch.file("report-1000.html");
        run({VELMAR_CARDS, "report", tiny.path(), "--html", smallPage});
        std::printf("\n== the page drawn by headless Chromium, 100,000 cards against 1,000 (%d rounds)\n", rounds);
        std::vector<double> drawBig, drawSmall, processBig, processSmall;
        for (int r = 0; r < rounds; ++r) {
            const auto [ms1, s1] = drawInChromium(smallPage, scratch, 2 * r);
            const auto [ms2, s2] = drawInChromium(page, scratch, 2 * r + 1);
            drawSmall.push_back(ms1), processSmall.push_back(s1);
            drawBig.push_back(ms2), processBig.push_back(s2);
        }
        const double db = median(drawBig), ds = median(drawSmall);
        std::printf(
            "drawn after %.0f ms (1,000 cards, every card a point) and %.0f ms (100,000): %.2f x\n", ds, db, db / ds);
        std::printf(
            "the whole Chromium process: %.2f s and %.2f s (reported)\n", median(processSmall), median(processBig));
        targets.check(db <= 3 * ds, "the page of 100,000 cards drawn / of 1,000: %.2f (target <= 3)", db / ds);
        std::printf("\nremoving the scratch folders ...\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "report_bench: %s\n", e.what());
        return 2;
    }

    return targets.report();
}
