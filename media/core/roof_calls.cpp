#include "media/core/roof_calls.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "media/core/system_state.h"

namespace media {

namespace {

RoofHandlers roof{};

}  // namespace

void InstallRoofHandlers(const RoofHandlers& handlers)
{
    roof = handlers;
}

int ProcessWindowMessages()
{
    if (roof.processWindowMessages)
        return roof.processWindowMessages();
    return systemState.quitRequested ? -1 : 0;
}

void WaitWhileInactive()
{
    if (roof.waitWhileInactive)
        roof.waitWhileInactive();
}

bool PumpServicesRunning()
{
    return roof.pumpServicesRunning ? roof.pumpServicesRunning() : false;
}

int ApplyWindowStyle()
{
    return roof.applyWindowStyle ? roof.applyWindowStyle() : 0;
}

[[noreturn]] void AbortMediaLibrary(const char* text)
{
    if (roof.abort)
        roof.abort(text);
    std::fputs(text ? text : "", stderr);
    std::fflush(nullptr);
    std::_Exit(-1);
}

[[noreturn]] void AbortMediaLibraryf(const char* format, ...)
{
    char text[1024];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    AbortMediaLibrary(text);
}

}  // namespace media
