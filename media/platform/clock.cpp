// Clocks and sleeping on POSIX: the monotonic clock stands in for the
// multimedia timer and the performance counter.
#include "media/platform/platform.h"

#include <atomic>
#include <ctime>
#include <pthread.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace media::platform {

namespace {
std::atomic<uint32_t> millisecondOffset{0};

int64_t MonotonicNanoseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
}  // namespace

uint32_t TimeGetTime()
{
    return uint32_t(uint64_t(MonotonicNanoseconds()) / 1000000u) + millisecondOffset.load(std::memory_order_relaxed);
}

int64_t QueryPerformanceCounter()
{
    return MonotonicNanoseconds();
}

int64_t QueryPerformanceFrequency()
{
    return 1000000000;
}

void Sleep(uint32_t milliseconds)
{
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec ts{};
    ts.tv_sec = milliseconds / 1000;
    ts.tv_nsec = long(milliseconds % 1000) * 1000000L;
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) != 0) {
    }
}

uint64_t CurrentThreadId()
{
    return uint64_t(syscall(SYS_gettid));
}

void SetMillisecondClockOffset(uint32_t offset)
{
    millisecondOffset.store(offset, std::memory_order_relaxed);
}

uint32_t TimerPeriodMin()
{
    return 1;
}

}  // namespace media::platform
