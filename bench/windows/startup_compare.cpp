// Start-up of two Windows programs, compared: from just before CreateProcess
// to the moment the program's thread first waits for input with nothing
// left to do (WaitForInputIdle), which is after its first window has been
// shown and painted. Runs each program once to warm the caches, then N
// times each, alternately; prints medians, minimum and maximum, and the
// first program's median over the second's.
//   startup_compare.exe [--runs N] [--limit R] PROGRAM BASELINE
// Exits 1 when the ratio is above R (default 1.2), 2 when a program fails.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPatienceMs = 60000;

double ticksPerMs()
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return double(frequency.QuadPart) / 1000.0;
}

// Milliseconds from CreateProcess to the program's first idle; negative on failure.
double runOnce(const std::wstring& program)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    LARGE_INTEGER start{}, idle{};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(
            program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        std::fwprintf(stderr, L"%ls: cannot start it (error %lu)\n", program.c_str(), GetLastError());
        return -1;
    }
    const DWORD waited = WaitForInputIdle(process.hProcess, kPatienceMs);
    QueryPerformanceCounter(&idle);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, kPatienceMs);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    if (waited != 0) {
        std::fwprintf(stderr, L"%ls: never waited for input\n", program.c_str());
        return -1;
    }
    return double(idle.QuadPart - start.QuadPart) / ticksPerMs();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::wstring baseName(const std::wstring& path) { return path.substr(path.find_last_of(L"\\/") + 1); }

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int runs = 30;
    double limit = 1.2;
    std::vector<std::wstring> programs;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--runs" && i + 1 < argc)
            runs = std::max(1, _wtoi(argv[++i]));
        else if (arg == L"--limit" && i + 1 < argc)
            limit = _wtof(argv[++i]);
        else
            programs.push_back(arg);
    }
    if (programs.size() != 2) {
        std::fwprintf(stderr, L"usage: startup_compare.exe [--runs N] [--limit R] PROGRAM BASELINE\n");
        return 2;
    }
    for (const auto& p : programs)
        if (runOnce(p) < 0)
            return 2;
    std::vector<std::vector<double>> times(programs.size());
    for (int r = 0; r < runs; ++r)
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const double ms = runOnce(programs[p]);
            if (ms < 0)
                return 2;
            times[p].push_back(ms);
        }
    std::printf("%-22s %5s %10s %10s %10s\n", "program", "runs", "median ms", "min ms", "max ms");
    for (std::size_t p = 0; p < programs.size(); ++p)
        std::printf("%-22ls %5d %10.2f %10.2f %10.2f\n", baseName(programs[p]).c_str(), runs, median(times[p]),
            *std::min_element(times[p].begin(), times[p].end()), *std::max_element(times[p].begin(), times[p].end()));
    const double ratio = median(times[0]) / median(times[1]);
    std::printf("ratio %ls / %ls (medians): %.3f (target <= %.2f): %s\n", baseName(programs[0]).c_str(),
        baseName(programs[1]).c_str(), ratio, limit, ratio <= limit ? "met" : "MISSED");
    return ratio <= limit ? 0 : 1;
}
