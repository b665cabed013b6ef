// GetINIData and SetINIData on a card file as Save writes it, and on profile
// files of 64 KB to 1 MB to show how their cost grows with the file.
//
// Every call opens, reads and (for a write) replaces the whole file, so both
// are expected to be linear in the file's size. The key the large-file
// benchmarks use is in the last section: the whole file is scanned.

#include "bench_support.h"
#include "code_page.h"
#include "file_io.h"
#include "ini_access.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// ------------------------------------------------------------------ card file

struct CardFile {
    bench::ScratchFolder folder;
    std::string path = folder.file("000.ini");
    CardFile()
    {
        if (writeCard(path, bench::fullCard()))
            std::abort();
    }
};

CardFile& cardFile()
{
    static CardFile file;
    return file;
}

void BM_GetINIData_Card(benchmark::State& state, const char* section, const char* key)
{
    INIAccess ini;
    ini.FileName = cardFile().path;
    ini.Section = section;
    std::string value;
    for (auto _ : state) {
        value = ini.GetINIData(key);
        benchmark::DoNotOptimize(value);
    }
    if (value.empty())
        state.SkipWithError("key not found");
    state.counters["file_bytes"] = double(bench::fileSize(cardFile().path));
}
BENCHMARK_CAPTURE(BM_GetINIData_Card, first_key_head_rare, "head", "rare");
BENCHMARK_CAPTURE(BM_GetINIData_Card, last_key_Lv4_2, "Lv4", "2");

// Replaces the last key's value with one of the same length in turn, so the
// file keeps its size.
void BM_SetINIData_Card(benchmark::State& state)
{
    INIAccess ini;
    ini.FileName = cardFile().path;
    ini.Section = "Lv4";
    const std::string values[] = {"だいちのいかり", "てんちのいかり"};
    std::size_t i = 0;
    for (auto _ : state) {
        if (!ini.SetINIData("2", values[i++ & 1])) {
            state.SkipWithError("write failed");
            break;
        }
    }
    state.counters["file_bytes"] = double(bench::fileSize(cardFile().path));
}
BENCHMARK(BM_SetINIData_Card);

// The profile-store part of Load and Save without the window: readCard (one
// read, 24 look-ups in memory), and writeCard (the card composed in memory,
// one write, fsync of the card, rename and fsync of the folder).
void BM_readCard(benchmark::State& state)
{
    Card card;
    for (auto _ : state) {
        if (readCard(cardFile().path, card)) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(card);
    }
}
BENCHMARK(BM_readCard);

void BM_writeCard(benchmark::State& state)
{
    const Card card = bench::fullCard();
    for (auto _ : state) {
        if (writeCard(cardFile().path, card)) {
            state.SkipWithError("write failed");
            break;
        }
    }
}
BENCHMARK(BM_writeCard)->UseRealTime();

// ------------------------------------------------------------------ large files

// A profile file of about `bytes` bytes in code page 932: sections of eight
// keys with Japanese and ASCII values, CR LF line ends. The last section is
// [Last] with key "target".
std::string profileText(std::size_t bytes)
{
    std::string utf8;
    utf8.reserve(bytes + 256);
    for (int n = 0; utf8.size() < bytes; ++n) {
        char section[32];
        std::snprintf(section, sizeof section, "[Section%05d]\r\n", n);
        utf8 += section;
        utf8 += "name=カード" + std::to_string(n) + "番の名前\r\n";
        utf8 += "rare=" + std::to_string(n % 6) + "\r\n";
        utf8 += "maxlv=4\r\nminlv=1\r\n";
        utf8 += "HP=" + std::to_string(100 + n % 900) + "\r\n";
        utf8 += "1=たいあたり\r\n";
        utf8 += "S=1F/40D/2\r\n";
        utf8 += "2=ほのおのうず\r\n\r\n";
    }
    utf8 += "[Last]\r\nname=最後のカード\r\ntarget=だいちのいかり\r\n";
    return profile::utf8ToCp932(utf8).value();
}

struct LargeFile {
    bench::ScratchFolder folder;
    std::string path;
    explicit LargeFile(std::size_t bytes)
        : path(folder.file("profile.ini"))
    {
        bench::writeBytes(path, profileText(bytes));
    }
};

// GetINIData of the key in the last section of a large file, once per iteration.
void getLastKey(benchmark::State& state, const std::string& path)
{
    INIAccess ini;
    ini.FileName = path;
    ini.Section = "Last";
    std::string value;
    for (auto _ : state) {
        value = ini.GetINIData("target");
        benchmark::DoNotOptimize(value);
    }
    if (value.empty())
        state.SkipWithError("key not found");
}

void BM_GetINIData_Size(benchmark::State& state)
{
    LargeFile file(std::size_t(state.range(0)));
    getLastKey(state, file.path);
    const auto size = std::int64_t(bench::fileSize(file.path));
    state.SetComplexityN(size);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * size);
}
BENCHMARK(BM_GetINIData_Size)->RangeMultiplier(2)->Range(64 << 10, 1 << 20)->Complexity(benchmark::oN);

void BM_SetINIData_Size(benchmark::State& state)
{
    LargeFile file(std::size_t(state.range(0)));
    INIAccess ini;
    ini.FileName = file.path;
    ini.Section = "Last";
    const std::string values[] = {"だいちのいかり", "てんちのいかり"};
    std::size_t i = 0;
    for (auto _ : state) {
        if (!ini.SetINIData("target", values[i++ & 1])) {
            state.SkipWithError("write failed");
            break;
        }
    }
    const auto size = std::int64_t(bench::fileSize(file.path));
    state.SetComplexityN(size);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * size);
}
BENCHMARK(BM_SetINIData_Size)->RangeMultiplier(2)->Range(64 << 10, 1 << 20)->Complexity(benchmark::oN)->UseRealTime();

// ------------------------------------------------------------------ Load reads once
//
// Load opens the card once and looks its 24 keys up in memory. Its cost is
// set against the least any Load can do: one open, read and close of the
// same file (target: readCard at most three times that). A card after 10,000
// junk sections (target: under 5 ms) shows that lines outside the wanted
// sections cost little; a 10 MB profile file what one GetINIData costs on a
// file far larger than any card (reported).

// open + read + close, the floor under any Load of that file.
void readPlain(const std::string& path, std::string& buffer)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        std::abort();
    struct stat st { };
    ::fstat(fd, &st);
    buffer.resize(std::size_t(st.st_size));
    if (::read(fd, buffer.data(), buffer.size()) != ssize_t(buffer.size()))
        std::abort();
    ::close(fd);
}

void BM_OpenReadClose_Card(benchmark::State& state)
{
    std::string buffer;
    for (auto _ : state) {
        readPlain(cardFile().path, buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_OpenReadClose_Card);

// The full card after `junk` sections of three keys each that Load never asks for.
struct JunkCard {
    bench::ScratchFolder folder;
    std::string path = folder.file("000.ini");
    explicit JunkCard(int junk)
    {
        std::string text;
        for (int n = 0; n < junk; ++n)
            text += "[junk" + std::to_string(n) + "]\r\nname=x\r\nHP=1\r\n2=y\r\n";
        bench::writeBytes(path, text + bench::readBytes(cardFile().path));
    }
};

void BM_readCard_AfterJunkSections(benchmark::State& state)
{
    JunkCard file(int(state.range(0)));
    Card card;
    for (auto _ : state) {
        if (readCard(file.path, card) || card.Levels[3].ExtWaza.empty()) {
            state.SkipWithError("read failed");
            break;
        }
    }
    state.counters["file_bytes"] = double(bench::fileSize(file.path));
}
BENCHMARK(BM_readCard_AfterJunkSections)->Arg(10'000)->Unit(benchmark::kMillisecond);

LargeFile& tenMegabytes()
{
    static LargeFile file(10 << 20);
    return file;
}

void BM_TenMB_OpenReadClose(benchmark::State& state)
{
    std::string buffer;
    for (auto _ : state) {
        readPlain(tenMegabytes().path, buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(buffer.size()));
}
BENCHMARK(BM_TenMB_OpenReadClose)->Unit(benchmark::kMillisecond);

void BM_TenMB_GetINIData(benchmark::State& state) { getLastKey(state, tenMegabytes().path); }
BENCHMARK(BM_TenMB_GetINIData)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
