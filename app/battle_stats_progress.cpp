#include "app/battle_stats_progress.h"

#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr double ShowAfterSeconds = 1.0;
constexpr double RedrawSeconds = 0.1;
constexpr int BarWidth = 30;

}  // namespace

double MonotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

ProgressBar::ProgressBar() : terminal_(isatty(STDERR_FILENO) == 1), start_(MonotonicSeconds())
{
}

ProgressBar::~ProgressBar()
{
    Finish();
}

void ProgressBar::Update(uint64_t done, uint64_t total)
{
    if (!terminal_ || total == 0)
        return;
    const double now = MonotonicSeconds();
    const double elapsed = now - start_;
    if (elapsed < ShowAfterSeconds || (shown_ && now - lastDrawn_ < RedrawSeconds && done < total))
        return;
    lastDrawn_ = now;
    shown_ = true;
    const double rate = elapsed > 0 ? double(done) / elapsed : 0;
    const double left = rate > 0 ? double(total - done) / rate : 0;
    const int filled = int(double(BarWidth) * double(done) / double(total));
    char bar[BarWidth + 1];
    for (int i = 0; i < BarWidth; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[BarWidth] = '\0';
    std::fprintf(stderr, "\r[%s] %llu/%llu battles, %.0f battles/s, %.0f s left\033[K", bar,
                 (unsigned long long)done, (unsigned long long)total, rate, left);
    std::fflush(stderr);
}

void ProgressBar::Finish()
{
    if (shown_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }
}
