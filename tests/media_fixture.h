// A started media layer on the headless desktop, in a temporary working
// folder (the log goes there), with helpers to post window messages and to
// read the log.
#pragma once

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "log_fixture.h"
#include "media/graphics/screen.h"
#include "media/platform/headless.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/core/system_state.h"
#include "media/system/window.h"

namespace testing_support {

// A desktop id of its own for every test, so that windows of one test never
// meet those of another test or of a parallel test process.
inline std::string FreshDesktopId()
{
    static int counter = 0;
    return "system-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

// Index of the first fragment not found, in order, among the lines (each
// fragment must be contained in a line after the previous one's); -1 when
// all are there.
inline int FirstMissingInOrder(const std::vector<std::string>& lines, const std::vector<std::string>& fragments)
{
    size_t line = 0;
    for (size_t i = 0; i < fragments.size(); ++i) {
        while (line < lines.size() && lines[line].find(fragments[i]) == std::string::npos)
            ++line;
        if (line == lines.size())
            return int(i);
        ++line;
    }
    return -1;
}

class MediaLayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char cwd[PATH_MAX];
        ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
        savedDirectory_ = cwd;
        dir_ = MakeTempDir();
        ASSERT_FALSE(dir_.empty());
        ASSERT_EQ(chdir(dir_.c_str()), 0);

        media::systemState = media::SystemState{};
        desktopId_ = FreshDesktopId();
        media::platform::HeadlessOptions options;
        options.desktopId = desktopId_;
        std::string error;
        ASSERT_TRUE(media::platform::SelectHeadlessBackend(options, &error)) << error;
    }

    void TearDown() override
    {
        media::EndMediaLibrary();
        media::platform::CloseBackend();
        if (chdir(savedDirectory_.c_str()) != 0) {
        }
        std::string command = "rm -rf '" + dir_ + "'";
        if (std::system(command.c_str()) != 0) {
        }
    }

    // The program's settings and start: 700 x 400 asked for full screen,
    // which the headless desktop has no mode for.
    void Start(const std::string& script = "", const char* title = "SystemTest")
    {
        if (!script.empty()) {
            std::string error;
            ASSERT_TRUE(media::platform::headless::LoadScript(script, &error)) << error;
        }
        media::SetScreenMode(700, 400, 16, 60);
        media::SetWindowTitle(title);
        media::ChangeWindowMode(0);
        ASSERT_EQ(media::InitMediaLibrary(), 0) << Log();
    }

    // Lets the pump take whatever is waiting, so a test starts from an
    // empty queue. Switching to the back screen stops the front screen's
    // refresh timer.
    void DrainMessages()
    {
        media::SetDrawTarget(media::ScreenBack);
        for (int round = 0; round < 3; ++round) {
            media::platform::Message message;
            while (media::platform::PeekMessage(&message, 0, false))
                media::PumpWindowMessages();
            media::platform::Sleep(40);
        }
        media::platform::Message message;
        while (media::platform::PeekMessage(&message, 0, false))
            media::PumpWindowMessages();
    }

    void Post(uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0)
    {
        media::platform::PostMessage(media::systemState.mainWindow, message, wParam, lParam);
    }

    // Pumps until the millisecond clock has moved on, so that the keyboard
    // refresh of the pump (once per millisecond) runs.
    void PumpOnNextMillisecond()
    {
        const uint32_t start = media::platform::TimeGetTime();
        while (media::platform::TimeGetTime() == start)
            media::platform::Sleep(1);
        media::PumpWindowMessages();
    }

    static intptr_t ClientPoint(int x, int y) { return intptr_t((uint32_t(uint16_t(y)) << 16) | uint16_t(x)); }

    std::string LogPath() const { return dir_ + "/Log.txt"; }
    std::string Log() const { return ReadFile(LogPath()); }
    std::vector<std::string> Lines() const { return LinesWithoutTimestamps(Log()); }

    std::string dir_;
    std::string savedDirectory_;
    std::string desktopId_;
};

}  // namespace testing_support
