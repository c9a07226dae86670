// Timers: WM_TIMER made on demand when a period has passed.
#include "media/platform/platform_state.h"

#include <algorithm>

namespace media::platform {

namespace detail {

bool TakeDueTimer(Message* message, WindowHandle filter, bool remove)
{
    PlatformState& s = State();
    const int64_t now = NowNanoseconds();
    Timer* due = nullptr;
    for (Timer& timer : s.timers)
        if (timer.due <= now && Matches(timer.window, filter) && (!due || timer.due < due->due))
            due = &timer;
    if (due) {
        *message = Message{due->window, WM_TIMER, due->id, 0, TimeGetTime()};
        if (remove)
            due->due = now + int64_t(due->period) * 1000000;
        return true;
    }
    return false;
}

void KillWindowTimers(WindowHandle window)
{
    std::erase_if(State().timers, [window](const Timer& t) { return t.window == window; });
}

}  // namespace detail

using namespace detail;

bool SetTimer(WindowHandle window, uintptr_t id, uint32_t periodMilliseconds)
{
    PlatformState& s = State();
    if (window != 0 && !Find(window))
        return false;
    // The other system's floor for timer periods.
    const uint32_t period = std::max<uint32_t>(periodMilliseconds, 10);
    const int64_t due = NowNanoseconds() + int64_t(period) * 1000000;
    for (Timer& timer : s.timers) {
        if (timer.window == window && timer.id == id) {
            timer.period = period;
            timer.due = due;
            return true;
        }
    }
    s.timers.push_back(Timer{window, id, period, due});
    return true;
}

bool KillTimer(WindowHandle window, uintptr_t id)
{
    return std::erase_if(State().timers, [&](const Timer& t) { return t.window == window && t.id == id; }) > 0;
}

}  // namespace media::platform
