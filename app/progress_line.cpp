#include "progress_line.h"

#include "console.h"

#include <cstdio>

namespace {

constexpr auto kQuietFor = std::chrono::seconds(1);
constexpr auto kRefresh = std::chrono::milliseconds(100);

}  // namespace

ProgressLine::ProgressLine(std::string label)
    : label_(std::move(label))
    , terminal_(console::isTerminal(console::Stream::Err))
{
}

ProgressLine::~ProgressLine()
{
    if (shownWidth_ > 0) {
        std::string wipe(shownWidth_ + 2, ' ');
        wipe.front() = wipe.back() = '\r';
        console::write(console::Stream::Err, wipe);
    }
}

void ProgressLine::operator()(std::size_t done, std::size_t total)
{
    if (!terminal_)
        return;
    const auto now = Clock::now();
    if (now - start_ < kQuietFor || now - lastShown_ < kRefresh)
        return;
    lastShown_ = now;
    const int percent = total ? int(done * 100 / total) : 100;
    char text[128];
    const int n = std::snprintf(text, sizeof text, "%zu / %zu (%d%%)", done, total, percent);
    console::write(console::Stream::Err, "\r" + label_ + " " + text);
    // Bytes are never fewer than the columns they take, so this wipes it all.
    shownWidth_ = label_.size() + 1 + std::size_t(n > 0 ? n : 0);
}
