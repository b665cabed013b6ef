// velmar-cards and Save on large card sets, each measured against its floor
// in the same run, on the same file system (TMPDIR), rounds interleaved so
// that the machine's load falls on both alike; medians are compared:
//   - list, check and export (CSV and JSON) of 100,000 cards against opening
//     and reading every card file once in one process; their peak memory at
//     10,000 and 100,000 cards;
//   - one Save (writeCard, as the editor's Save writes) in a folder of 100,000
//     cards against one in a folder of 10;
//   - import of 100,000 changed cards; import of 10,000 changed cards against
//     writing them all, one syncfs, renaming them all and one folder fsync;
//   - the peak memory of import at 10,000 and 100,000 cards, every card
//     changed and so written (last, as it rewrites both folders).
// Prints a table and one line per target; exits 1 when a target is missed,
// 2 when something failed. Options: --rounds N (default 5); --floor-100k
// also times the batch floor of 100,000 cards, five minutes after the import;
// --only set|save|import|import-memory runs that part alone.

#include "bench_support.h"
#include "card_export.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// Thrown, so the scratch folders are removed on the way out.
[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string idOf(int i)
{
    char id[16];
    std::snprintf(id, sizeof id, "%05d", i);
    return id;
}

// The full card with level 1's hit points raised by `change`: every card of
// a set changes when `change` does.
Card changedCard(int change)
{
    Card card = bench::fullCard();
    card.Levels[0].MaxHP = std::to_string(100 + change);
    return card;
}

void writeWhole(int fd, const std::string& bytes)
{
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        fail(std::string("write: ") + std::strerror(errno));
}

// `count` cards as Save writes them, put there plainly (no flush): the set
// the measurements start from.
void fillFolder(const std::string& folder, int count)
{
    const std::string bytes = cardFileBytes(bench::fullCard());
    for (int i = 0; i < count; ++i) {
        const int fd = ::open(cardFilePath(folder, idOf(i)).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            fail("cannot fill " + folder);
        writeWhole(fd, bytes);
        ::close(fd);
    }
}

// The import table of `count` cards, every one changed by `change`.
std::string importTable(const bench::ScratchFolder& scratch, int count, int change)
{
    const Card card = changedCard(change);
    std::string csv = csvStart();
    for (int i = 0; i < count; ++i)
        appendCsvRecord(csv, CardRow{idOf(i), card});
    const std::string path = scratch.file("import-" + std::to_string(count) + "-" + std::to_string(change) + ".csv");
    bench::writeBytes(path, csv);
    return path;
}

struct Run {
    double seconds = 0;
    long maxRssKb = 0;
};

// velmar-cards with the arguments, its standard output thrown away.
Run runCommand(std::vector<std::string> args)
{
    args.insert(args.begin(), VELMAR_CARDS);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        fail("cannot start velmar-cards");
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Run run{secondsSince(start), usage.ru_maxrss};
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail("velmar-cards " + args[1] + " failed");
    return run;
}

// The floor of list, check and export: every card file of the folder opened
// and read once, in this process.
double readEveryCardOnce(const std::string& folder)
{
    const auto start = Clock::now();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        fail("cannot read " + folder);
    char buffer[4096];
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const int fd = ::open((folder + "/" + entry->d_name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            fail("cannot open a card");
        while (::read(fd, buffer, sizeof buffer) > 0) { }
        ::close(fd);
    }
    ::closedir(dir);
    return secondsSince(start);
}

// The floor of an import: every changed card written to a temporary file,
// one syncfs, every temporary file renamed over its card, one folder fsync.
double batchFloor(const std::string& folder, int count, int change)
{
    const std::string bytes = cardFileBytes(changedCard(change));
    const auto start = Clock::now();
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        fail("cannot open " + folder);
    for (int i = 0; i < count; ++i) {
        const int fd = ::openat(dir, (".floor-" + idOf(i)).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0)
            fail("cannot write the floor's files");
        writeWhole(fd, bytes);
        ::close(fd);
    }
    if (::syncfs(dir) != 0)
        fail("syncfs");
    for (int i = 0; i < count; ++i)
        if (::renameat(dir, (".floor-" + idOf(i)).c_str(), dir, (idOf(i) + ".ini").c_str()) != 0)
            fail("rename");
    ::fsync(dir);
    ::close(dir);
    return secondsSince(start);
}

struct Target {
    std::string text;
    bool met;
};
std::vector<Target> targets;

void check(bool met, const char* format, double value)
{
    char text[256];
    std::snprintf(text, sizeof text, format, value);
    targets.push_back({text, met});
}

void setScale(int rounds, const bench::ScratchFolder& big, const bench::ScratchFolder& small, const std::string& out)
{
    std::printf("\n== list, check, export of 100,000 cards against reading every card once (%d rounds)\n", rounds);
    std::vector<double> floor, list, checkRun, exportRun;
    long rss[2][3] = {};
    for (int r = 0; r < rounds; ++r) {
        floor.push_back(readEveryCardOnce(big.path()));
        list.push_back(runCommand({"list", big.path()}).seconds);
        floor.push_back(readEveryCardOnce(big.path()));
        checkRun.push_back(runCommand({"check", big.path()}).seconds);
        floor.push_back(readEveryCardOnce(big.path()));
        exportRun.push_back(
            runCommand({"export", big.path(), "--csv", out + "/cards.csv", "--json", out + "/cards.json"}).seconds);
    }
    const double f = median(floor);
    std::printf("reading every card once %.3f s; list %.3f s (%.2f x), check %.3f s (%.2f x), "
                "export --csv --json %.3f s (%.2f x)\n",
        f, median(list), median(list) / f, median(checkRun), median(checkRun) / f, median(exportRun),
        median(exportRun) / f);
    check(median(list) <= 2 * f, "list of 100,000 cards / reading them once: %.2f (target <= 2)", median(list) / f);
    check(median(checkRun) <= 2 * f, "check of 100,000 cards / reading them once: %.2f (target <= 2)",
        median(checkRun) / f);
    check(median(exportRun) <= 2 * f, "export --csv --json of 100,000 cards / reading them once: %.2f (target <= 2)",
        median(exportRun) / f);

    std::printf("\n== peak memory (maximum resident set) at 10,000 and 100,000 cards\n");
    const bench::ScratchFolder* folders[2] = {&small, &big};
    for (int s = 0; s < 2; ++s) {
        const std::string path = folders[s]->path();
        rss[s][0] = runCommand({"list", path}).maxRssKb;
        rss[s][1] = runCommand({"check", path}).maxRssKb;
        rss[s][2] = runCommand({"export", path, "--csv", out + "/cards.csv", "--json", out + "/cards.json"}).maxRssKb;
    }
    const char* names[3] = {"list", "check", "export"};
    for (int c = 0; c < 3; ++c) {
        const double perCard = double(rss[1][c] - rss[0][c]) * 1024 / 90000;
        std::printf("%-6s %6ld KB at 10,000, %6ld KB at 100,000: %.0f bytes per card\n", names[c], rss[0][c], rss[1][c],
            perCard);
        char format[128];
        std::snprintf(format, sizeof format, "%s: peak memory grows %%.0f bytes per card (target <= 1024)", names[c]);
        check(perCard <= 1024, format, perCard);
    }
}

void saveScale(const bench::ScratchFolder& big)
{
    constexpr int kSaves = 200;
    std::printf(
        "\n== one Save (writeCard, durable) in a folder of 100,000 cards against one of 10 (%d each)\n", kSaves);
    const bench::ScratchFolder few;
    fillFolder(few.path(), 10);
    const Card card = bench::fullCard();
    const auto save = [&](const bench::ScratchFolder& folder) {
        const auto start = Clock::now();
        if (writeCard(folder.file("save.ini"), card))
            fail("Save failed");
        return secondsSince(start);
    };
    // The first Save of the process into a folder also looks for leftovers of killed runs.
    const double firstBig = save(big), firstFew = save(few);
    std::vector<double> inBig, inFew;
    for (int i = 0; i < kSaves; ++i) {
        inBig.push_back(save(big));
        inFew.push_back(save(few));
    }
    const double b = median(inBig), f = median(inFew);
    std::printf("first Save (with the folder's clean-up): %.2f ms among 100,000, %.2f ms among 10\n", firstBig * 1e3,
        firstFew * 1e3);
    std::printf("Save: %.3f ms among 100,000, %.3f ms among 10 (%.2f x)\n", b * 1e3, f * 1e3, b / f);
    check(b <= 1.1 * f, "Save among 100,000 cards / among 10: %.2f (target <= 1.1)", b / f);
}

void importScale(int rounds, bool floor100k, const bench::ScratchFolder& big, const bench::ScratchFolder& scratch)
{
    // First, while no import has yet deleted many files here: on ext4 without
    // a journal, creating files soon (up to five minutes) after many were
    // deleted costs far more, which would weigh on whatever runs next.
    std::printf("\n== import of 100,000 changed cards (once)\n");
    const std::string table = importTable(scratch, 100000, 1);
    const double seconds = runCommand({"import", table, big.path()}).seconds;
    std::remove(table.c_str());
    std::printf("import %.2f s\n", seconds);
    check(seconds < 10, "import of 100,000 changed cards: %.2f s (target < 10 s)", seconds);
    if (floor100k) {
        std::printf("(waiting five minutes before the batch floor of 100,000 cards)\n");
        ::sleep(300);
        std::printf("batch floor of 100,000 cards %.2f s\n", batchFloor(big.path(), 100000, 2));
    }

    std::printf("\n== import of 10,000 changed cards against the batch floor (%d rounds)\n", rounds);
    const bench::ScratchFolder set;
    fillFolder(set.path(), 10000);
    std::vector<double> floor, import;
    int change = 0;
    for (int r = 0; r < rounds; ++r) {
        floor.push_back(batchFloor(set.path(), 10000, ++change));
        const std::string table = importTable(scratch, 10000, ++change);
        import.push_back(runCommand({"import", table, set.path()}).seconds);
        std::remove(table.c_str());
    }
    const double f = median(floor), i = median(import);
    std::printf("batch floor %.3f s, import %.3f s (%.2f x)\n", f, i, i / f);
    check(i <= 2.5 * f, "import of 10,000 changed cards / batch floor: %.2f (target <= 2.5)", i / f);
}

// Import's peak memory, as setScale measures the other commands': a table
// that changes every card (a change no other part uses), so every card is
// compared, planned and written.
void importMemory(
    const bench::ScratchFolder& big, const bench::ScratchFolder& small, const bench::ScratchFolder& scratch)
{
    std::printf("\n== peak memory of import (every card changed) at 10,000 and 100,000 cards\n");
    constexpr int kChange = 5000;
    long rss[2] = {};
    const bench::ScratchFolder* folders[2] = {&small, &big};
    const int counts[2] = {10000, 100000};
    for (int s = 0; s < 2; ++s) {
        const std::string table = importTable(scratch, counts[s], kChange);
        rss[s] = runCommand({"import", table, folders[s]->path()}).maxRssKb;
        std::remove(table.c_str());
    }
    const double perCard = double(rss[1] - rss[0]) * 1024 / 90000;
    std::printf("import %6ld KB at 10,000, %6ld KB at 100,000: %.0f bytes per card\n", rss[0], rss[1], perCard);
    check(perCard <= 1024, "import: peak memory grows %.0f bytes per card (target <= 1024)", perCard);
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = 5;
    bool floor100k = false;
    std::string only;  // "set", "save", "import" or "import-memory": that part alone
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (std::string(argv[i]) == "--floor-100k")
            floor100k = true;
        else if (std::string(argv[i]) == "--only" && i + 1 < argc)
            only = argv[++i];
    }
    const auto part = [&](const char* name) { return only.empty() || only == name; };
    try {
        const bench::ScratchFolder scratch, big, small;
        std::printf("making 100,000 and 10,000 cards in %s ...\n", scratch.path().c_str());
        fillFolder(big.path(), 100000);
        fillFolder(small.path(), 10000);
        ::sync();

        if (part("set"))
            setScale(rounds, big, small, scratch.path());
        if (part("save"))
            saveScale(big);
        if (part("import"))
            importScale(rounds, floor100k, big, scratch);
        if (part("import-memory"))
            importMemory(big, small, scratch);
        std::printf("\nremoving the scratch folders ...\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cardset_scale_bench: %s\n", e.what());
        return 2;
    }

    std::printf("\n== targets\n");
    bool allMet = true;
    for (const Target& t : targets) {
        std::printf("%s: %s\n", t.text.c_str(), t.met ? "met" : "MISSED");
        allMet = allMet && t.met;
    }
    return allMet ? 0 : 1;
}
