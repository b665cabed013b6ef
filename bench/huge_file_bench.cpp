// A profile file far larger than any card: about 3.5 MB in 200,000 lines,
// the key sought the last one. GetINIData and SetINIData scan and rewrite the
// whole file; their time here shows that stays linear (well under a second;
// a quadratic scan would take hours). The test suite checks only that the
// file is read and written correctly.

#include "bench_support.h"
#include "profile_service.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

struct HugeFile {
    bench::ScratchFolder folder;
    std::string path = folder.file("big.ini");
    HugeFile()
    {
        std::string content = "[a]\r\n";
        for (int i = 0; i < 200'000; ++i)
            content += "key" + std::to_string(i) + "=value\r\n";
        bench::writeBytes(path, content);
    }
};

HugeFile& hugeFile()
{
    static HugeFile file;
    return file;
}

void BM_HugeFile_ReadLastKey(benchmark::State& state)
{
    std::string value;
    for (auto _ : state) {
        profile::getProfileString("a", "key199999", "", value, 256, hugeFile().path);
        benchmark::DoNotOptimize(value);
    }
    if (value.empty())
        state.SkipWithError("key not found");
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bench::fileSize(hugeFile().path)));
}
BENCHMARK(BM_HugeFile_ReadLastKey)->Unit(benchmark::kMillisecond);

// Replaces the last value with one of the same length in turn.
void BM_HugeFile_WriteLastKey(benchmark::State& state)
{
    const char* values[] = {"value", "VALUE"};
    std::size_t i = 0;
    for (auto _ : state) {
        if (!profile::writeProfileString("a", "key199999", values[i++ & 1], hugeFile().path)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bench::fileSize(hugeFile().path)));
}
BENCHMARK(BM_HugeFile_WriteLastKey)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
