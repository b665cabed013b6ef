#pragma once

// A progress indicator on standard error for a run that takes a while: shown
// only when standard error is a terminal and the run has taken longer than a
// second, updated a few times a second, and wiped when the run ends.

#include <chrono>
#include <cstddef>
#include <string>

class ProgressLine {
public:
    explicit ProgressLine(std::string label);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void operator()(std::size_t done, std::size_t total);

private:
    using Clock = std::chrono::steady_clock;
    std::string label_;
    bool terminal_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastShown_{};
    std::size_t shownWidth_ = 0;
};
