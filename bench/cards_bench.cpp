// velmar-cards on a set of 10,000 full four-level cards, as the editor saves
// them: the command itself (list, export, check; process start and writing
// its output included) and the library steps it spends its time in.

#include "bench_support.h"
#include "card_check.h"
#include "card_export.h"
#include "card_list.h"
#include "card_set.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kCards = 10000;

struct CardSetFolder {
    bench::ScratchFolder folder;
    CardSetFolder()
    {
        const Card card = bench::fullCard();
        char id[16];
        for (int i = 0; i < kCards; ++i) {
            std::snprintf(id, sizeof id, "%05d", i);
            if (writeCard(cardFilePath(folder.path(), id), card))
                std::abort();
        }
    }
};

CardSetFolder& cardSet()
{
    static CardSetFolder set;
    return set;
}

// Runs velmar-cards with the arguments, its standard output thrown away.
void runCommand(benchmark::State& state, std::vector<std::string> args)
{
    args.insert(args.begin(), VELMAR_CARDS);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        pid_t pid;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            state.SkipWithError("cannot start velmar-cards");
            break;
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("velmar-cards failed");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    state.counters["cards"] = kCards;
}

void BM_command_list(benchmark::State& state) { runCommand(state, {"list", cardSet().folder.path()}); }
void BM_command_export_csv_json(benchmark::State& state)
{
    const bench::ScratchFolder out;
    runCommand(
        state, {"export", cardSet().folder.path(), "--csv", out.file("cards.csv"), "--json", out.file("cards.json")});
}
void BM_command_check(benchmark::State& state) { runCommand(state, {"check", cardSet().folder.path()}); }
BENCHMARK(BM_command_list)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_command_export_csv_json)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_command_check)->Unit(benchmark::kMillisecond)->UseRealTime();

std::vector<CardFile> files()
{
    std::vector<CardFile> found;
    if (findCardFiles(cardSet().folder.path(), found))
        std::abort();
    return found;
}

void BM_findCardFiles(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(files());
}
void BM_readCardSet(benchmark::State& state)
{
    const auto all = files();
    for (auto _ : state)
        benchmark::DoNotOptimize(readCardSet(all));
}
void BM_checkCardSet(benchmark::State& state)
{
    const auto all = files();
    for (auto _ : state)
        benchmark::DoNotOptimize(checkCardSet(all));
}
void BM_format_list_csv_json(benchmark::State& state)
{
    const CardSet set = readCardSet(files());
    for (auto _ : state) {
        benchmark::DoNotOptimize(cardListTable(set.rows));
        benchmark::DoNotOptimize(cardsCsv(set.rows));
        benchmark::DoNotOptimize(cardsJson(set.rows));
    }
}
BENCHMARK(BM_findCardFiles)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_readCardSet)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_checkCardSet)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_format_list_csv_json)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
