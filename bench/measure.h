#pragma once

// Shared by the benchmarks that time rounds and processes themselves: a
// monotonic clock, the median of a round's figures, and the targets a
// benchmark checks and prints at its end.

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace bench {

inline long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

class Targets {
public:
    // `format` holds one conversion, for `value`.
    void check(bool met, const char* format, double value)
    {
        char text[256];
        std::snprintf(text, sizeof text, format, value);
        lines_.push_back({text, met});
    }

    // Prints each target with "met" or "MISSED": 0 when all were met, else 1.
    int report() const
    {
        std::printf("\n== targets\n");
        bool allMet = true;
        for (const Line& line : lines_) {
            std::printf("%s: %s\n", line.text.c_str(), line.met ? "met" : "MISSED");
            allMet = allMet && line.met;
        }
        return allMet ? 0 : 1;
    }

private:
    struct Line {
        std::string text;
        bool met;
    };
    std::vector<Line> lines_;
};

}  // namespace bench
