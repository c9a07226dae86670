// A progress line on standard error for long runs: done/total, battles per
// second and the time left. Shown only when standard error is a terminal and
// the run has lasted a second; wiped when the run ends.
#pragma once

#include <cstdint>

class ProgressBar {
public:
    ProgressBar();
    ~ProgressBar();

    void Update(uint64_t done, uint64_t total);
    // Clears the line, if one was drawn.
    void Finish();

private:
    bool terminal_ = false;
    bool shown_ = false;
    double start_ = 0;
    double lastDrawn_ = 0;
};

// Seconds on the monotonic clock.
double MonotonicSeconds();
