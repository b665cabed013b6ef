// velmar-cards and Save on large card sets, each measured against its floor
// in the same run, on the same file system (TMPDIR), rounds interleaved so
// that the machine's load falls on both alike; medians are compared:
//   - list, check and export (CSV and JSON) of 100,000 cards against opening
//     and reading every card file once in one process; their peak memory at
//     10,000 and 100,000 cards;
//   - a fresh process's first Save (writeCard, as the editor's Save writes,
//     with its look for leftovers of killed runs) in a folder of 100,000 cards
//     against the same in a folder of 10 plus reading the 100,000 names once;
//     later Saves in a folder of 100,000 cards against one in a folder of 10;
//   - import of 10,000 and of 100,000 changed cards against replacing as many
//     existing cards plainly: writing them all to new files, one syncfs,
//     renaming each over its card and one folder fsync; each goes first in
//     half the rounds, each a minute after the batch before.
//   - the peak memory of import at 10,000 and 100,000 cards, every card
//     changed and so written (last, as it rewrites both folders).
// Prints a table and one line per target; exits 1 when a target is missed,
// 2 when something failed. Options: --rounds N (default 5; the import takes
// the even number at or above, of 100,000 cards about half as many); --only set|save|import|import-memory runs that
// part alone.

#include "bench_support.h"
#include "card_export.h"
#include "measure.h"

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

using bench::median;

using Clock = std::chrono::steady_clock;

// Thrown, so the scratch folders are removed on the way out.
[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

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

// velmar-cards with the arguments, its standard output thrown away (or, with
// `output`, kept there).
Run runCommand(std::vector<std::string> args, std::string* output = nullptr, const char* program = VELMAR_CARDS)
{
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (output && ::pipe(pipeFds) != 0)
        fail("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output)
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        fail(std::string("cannot start ") + program);
    if (output) {
        ::close(pipeFds[1]);
        char buffer[256];
        for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
            output->append(buffer, std::size_t(n));
        ::close(pipeFds[0]);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Run run{secondsSince(start), usage.ru_maxrss};
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(std::string(program) + " " + args[1] + " failed");
    return run;
}

// What first_save measured inside a fresh process, in seconds.
double firstSave(const char* what, const std::string& folder)
{
    std::string out;
    runCommand({what, folder}, &out, FIRST_SAVE);
    return std::atof(out.c_str());
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

bench::Targets targets;

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
    targets.check(
        median(list) <= 2 * f, "list of 100,000 cards / reading them once: %.2f (target <= 2)", median(list) / f);
    targets.check(median(checkRun) <= 2 * f, "check of 100,000 cards / reading them once: %.2f (target <= 2)",
        median(checkRun) / f);
    targets.check(median(exportRun) <= 2 * f,
        "export --csv --json of 100,000 cards / reading them once: %.2f (target <= 2)", median(exportRun) / f);

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
        targets.check(perCard <= 1024, format, perCard);
    }
}

void saveScale(int rounds, const bench::ScratchFolder& big)
{
    const bench::ScratchFolder few;
    fillFolder(few.path(), 10);
    const int firstRounds = 2 * rounds + 1;
    std::printf("\n== a fresh process's first Save in a folder of 100,000 cards against one of 10 plus reading the "
                "100,000 names once (%d rounds)\n",
        firstRounds);
    std::vector<double> firstBig, firstFew, names;
    for (int r = 0; r < firstRounds; ++r) {
        firstBig.push_back(firstSave("save", big.path()));
        firstFew.push_back(firstSave("save", few.path()));
        names.push_back(firstSave("names", big.path()));
    }
    const double fb = median(firstBig), ff = median(firstFew), fn = median(names);
    std::printf("first Save: %.2f ms among 100,000; %.2f ms among 10, reading the names %.2f ms (%.2f x)\n", fb * 1e3,
        ff * 1e3, fn * 1e3, fb / (ff + fn));
    targets.check(fb <= 1.2 * (ff + fn),
        "first Save among 100,000 cards / (among 10 + reading the names): %.2f (target <= 1.2)", fb / (ff + fn));

    constexpr int kSaves = 200;
    std::printf(
        "\n== later Saves in the same process in a folder of 100,000 cards against one of 10 (%d each)\n", kSaves);
    const Card card = bench::fullCard();
    const auto save = [&](const bench::ScratchFolder& folder) {
        const auto start = Clock::now();
        if (writeCard(folder.file("save.ini"), card))
            fail("Save failed");
        return secondsSince(start);
    };
    save(big), save(few);  // the first, with the look for leftovers, is measured above
    std::vector<double> inBig, inFew;
    for (int i = 0; i < kSaves; ++i) {
        inBig.push_back(save(big));
        inFew.push_back(save(few));
    }
    const double b = median(inBig), f = median(inFew);
    std::printf("Save: %.3f ms among 100,000, %.3f ms among 10 (%.2f x)\n", b * 1e3, f * 1e3, b / f);
    targets.check(b <= 1.1 * f, "later Saves among 100,000 cards / among 10: %.2f (target <= 1.1)", b / f);
}

// Import of `count` changed cards against the floor, alternately, each
// paying for what the other freed on the file system.
void importAgainstFloor(int rounds, int count, const bench::ScratchFolder& set, const bench::ScratchFolder& scratch)
{
    std::printf("\n== import of %d changed cards against replacing as many cards plainly (%d rounds)\n", count, rounds);
    std::vector<double> floor, import;
    static int change = 0;
    // First once untimed: so every round measured follows a round that freed
    // as many files nearby (which some file systems make the next one pay for).
    batchFloor(set.path(), count, ++change);
    // Each starts with nothing of the one before (or of the table) still to
    // be written out, and a minute after it: ext4 without a journal keeps an
    // inode freed in the last minute out of use, so a batch started at once
    // pays for the other's frees by how long that one took.
    const auto settle = [] {
        ::sync();
        ::sleep(61);
    };
    const auto timeFloor = [&] {
        settle();
        floor.push_back(batchFloor(set.path(), count, ++change));
    };
    const auto timeImport = [&] {
        const std::string table = importTable(scratch, count, ++change);
        settle();
        import.push_back(runCommand({"import", table, set.path()}).seconds);
        std::remove(table.c_str());
    };
    // Which goes first alternates: where the file system keeps freed inodes
    // out of use for a while (ext4 without a journal), creating files costs
    // more right after another batch freed many; two imports back to back
    // differed by 15 to 25 % by their place alone.
    for (int r = 0; r < rounds; ++r) {
        if (r % 2 == 0) {
            timeFloor();
            timeImport();
        } else {
            timeImport();
            timeFloor();
        }
        std::printf("round %d: floor %.2f s, import %.2f s\n", r + 1, floor.back(), import.back());
    }
    const double f = median(floor), i = median(import);
    std::printf("floor %.3f s, import %.3f s (%.2f x)\n", f, i, i / f);
    char format[128];
    std::snprintf(format, sizeof format, "import of %d changed cards / the floor: %%.2f (target <= 1.3)", count);
    targets.check(i <= 1.3 * f, format, i / f);
}

void importScale(int rounds, const bench::ScratchFolder& big, const bench::ScratchFolder& scratch)
{
    const bench::ScratchFolder set;
    fillFolder(set.path(), 10000);
    // Even, so that each goes first as often as the other.
    importAgainstFloor(rounds + rounds % 2, 10000, set, scratch);
    importAgainstFloor(std::max(2, rounds / 2 + rounds / 2 % 2), 100000, big, scratch);
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
    targets.check(perCard <= 1024, "import: peak memory grows %.0f bytes per card (target <= 1024)", perCard);
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = 5;
    std::string only;  // "set", "save", "import" or "import-memory": that part alone
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
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
            saveScale(rounds, big);
        if (part("import"))
            importScale(rounds, big, scratch);
        if (part("import-memory"))
            importMemory(big, small, scratch);
        std::printf("\nremoving the scratch folders ...\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cardset_scale_bench: %s\n", e.what());
        return 2;
    }

    return targets.report();
}
