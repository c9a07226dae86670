// The SDL backend refuses to run without a display rather than draw into
// SDL's invisible offscreen driver.
#include "media/platform/platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

using namespace media::platform;

// Takes an environment variable away for the scope.
class WithoutVariable {
public:
    explicit WithoutVariable(const char* name) : name_(name)
    {
        if (const char* value = std::getenv(name))
            saved_ = value;
        unsetenv(name);
    }
    ~WithoutVariable()
    {
        if (saved_)
            setenv(name_, saved_->c_str(), 1);
    }

private:
    const char* name_;
    std::optional<std::string> saved_;
};

TEST(PlatformSdlBackend, RefusesWhenNoDisplayIsReachable)
{
    WithoutVariable display("DISPLAY");
    WithoutVariable wayland("WAYLAND_DISPLAY");
    WithoutVariable driver("SDL_VIDEODRIVER");
    std::string error;
    EXPECT_FALSE(SelectSdlBackend(&error));
    // SDL either finds no driver at all or falls back to "offscreen", which is refused.
    EXPECT_TRUE(error.find("\"offscreen\"") != std::string::npos || error.find("cannot start") != std::string::npos)
        << error;
    EXPECT_EQ(CurrentBackend(), Backend::None);
    CloseBackend();
}

}  // namespace
