// The platform layer's shared state, and choosing the backend behind it.
#include "media/platform/platform_state.h"

#include <ctime>

namespace media::platform {

namespace detail {

PlatformState& State()
{
    static PlatformState state;
    return state;
}

int64_t NowNanoseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

intptr_t MakeLParam(int32_t low, int32_t high)
{
    return intptr_t(uint32_t(uint16_t(low)) | (uint32_t(uint16_t(high)) << 16));
}

int32_t LowWordSigned(intptr_t value)
{
    return int16_t(uint16_t(uintptr_t(value) & 0xFFFF));
}

int32_t HighWordSigned(intptr_t value)
{
    return int16_t(uint16_t((uintptr_t(value) >> 16) & 0xFFFF));
}

void ResetState()
{
    PlatformState& s = State();
    s.~PlatformState();
    new (&s) PlatformState();
}

}  // namespace detail

using namespace detail;

// ---------------------------------------------------------------- backends

bool SelectSdlBackend(std::string* error)
{
    CloseBackend();
    std::string reason;
    if (!OpenSdlBackend(&reason)) {
        if (error)
            *error = reason;
        return false;
    }
    PlatformState& s = State();
    s.backend = &SdlVideoBackend();
    s.kind = Backend::Sdl;
    s.desktop = s.backend->desktopName();
    return true;
}

bool SelectHeadlessBackend(const HeadlessOptions& options, std::string* error)
{
    CloseBackend();
    std::string reason;
    if (!OpenHeadlessBackend(options, &reason)) {
        if (error)
            *error = reason;
        return false;
    }
    PlatformState& s = State();
    s.backend = &HeadlessVideoBackend();
    s.kind = Backend::Headless;
    s.desktop = s.backend->desktopName();
    return true;
}

Backend CurrentBackend()
{
    return State().kind;
}

void CloseBackend()
{
    PlatformState& s = State();
    if (s.backend) {
        for (auto& [handle, record] : s.windows) {
            if (record->native)
                s.backend->destroyWindow(record->native);
            record->native = nullptr;
        }
        s.backend->close();
    }
    ResetState();
}

}  // namespace media::platform
