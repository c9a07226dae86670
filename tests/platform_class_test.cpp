// Window classes: registration in the process, and windows found by class
// name from other processes on the same desktop.
#include "media/platform/class_registry.h"
#include "platform_fixture.h"

#include <csignal>
#include <poll.h>
#include <sys/wait.h>

namespace platform_test {
namespace {

using PlatformClasses = HeadlessTest;

TEST_F(PlatformClasses, NamesAreUniqueInTheProcessWithoutRegardToCase)
{
    EXPECT_FALSE(RegisterClass(WindowClass{"testclass", RecordingProcedure, 0}));
    EXPECT_FALSE(RegisterClass(WindowClass{"", RecordingProcedure, 0}));
    EXPECT_FALSE(RegisterClass(WindowClass{"NoProcedure", nullptr, 0}));

    const WindowHandle window = MakeWindow();
    EXPECT_TRUE(FindWindow("TESTCLASS"));
    EXPECT_FALSE(UnregisterClass("TestClass")) << "a window of the class exists";
    DestroyWindow(window);
    EXPECT_FALSE(FindWindow("TestClass"));
    EXPECT_TRUE(UnregisterClass("TestClass"));
    EXPECT_FALSE(UnregisterClass("TestClass"));
}

TEST(PlatformClassNameKeys, OnlyAsciiLettersFoldAndShiftJisTrailBytesStay)
{
    EXPECT_EQ(ClassNameKey("Korvanta"), ClassNameKey("KORVANTA"));
    // 0x83 0x41 and 0x83 0x61 are two different katakana.
    EXPECT_NE(ClassNameKey("\x83\x41"), ClassNameKey("\x83\x61"));
    EXPECT_EQ(ClassNameKey("\x83\x41Z"), std::string("\x83\x41z"));
}

// A child process that makes a window of the class (or, with checkOnly,
// only passes the double-start check for it), says so on a pipe, and waits
// to be killed.
class ChildWithWindow {
public:
    ChildWithWindow(const std::string& desktop, const char* className, bool checkOnly = false)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            HeadlessOptions options;
            options.desktopId = desktop;
            std::string error;
            char ok = 0;
            if (checkOnly)
                ok = SelectHeadlessBackend(options, &error) && !FindWindowOrClaim(className);
            else if (SelectHeadlessBackend(options, &error) &&
                     RegisterClass(WindowClass{className, DefWindowProc, 0}) &&
                     CreateWindowEx(0, className, "child", WS_POPUP, 0, 0, 50, 50) != 0)
                ok = 1;
            (void)!write(fds[1], &ok, 1);
            for (;;)
                pause();
        }
        close(fds[1]);
        pollfd wait{fds[0], POLLIN, 0};
        char ok = 0;
        ready_ = pid_ > 0 && poll(&wait, 1, 20000) == 1 && read(fds[0], &ok, 1) == 1 && ok == 1;
        close(fds[0]);
    }
    ~ChildWithWindow() { Kill(); }

    bool Ready() const { return ready_; }
    void Kill()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    bool ready_ = false;
};

TEST_F(PlatformClasses, AnotherProcessFindsTheWindowUntilItsOwnerIsKilled)
{
    ChildWithWindow child(DesktopId(), "Korvanta");
    ASSERT_TRUE(child.Ready());
    EXPECT_TRUE(FindWindow("Korvanta"));
    EXPECT_TRUE(FindWindow("korvanta"));
    EXPECT_FALSE(FindWindow("Korvanta2"));

    // The same class on another desktop is another name.
    HeadlessOptions elsewhere;
    elsewhere.desktopId = DesktopId() + "-elsewhere";
    std::string error;
    ASSERT_TRUE(SelectHeadlessBackend(elsewhere, &error)) << error;
    EXPECT_FALSE(FindWindow("Korvanta"));
    HeadlessOptions home;
    home.desktopId = DesktopId();
    ASSERT_TRUE(SelectHeadlessBackend(home, &error)) << error;
    EXPECT_TRUE(FindWindow("Korvanta"));

    child.Kill();
    EXPECT_FALSE(FindWindow("Korvanta")) << "SIGKILL frees the name";

    // And this process may claim it now.
    ASSERT_TRUE(RegisterClass(WindowClass{"Korvanta", RecordingProcedure, 0}));
    const WindowHandle window = CreateWindowEx(0, "Korvanta", "x", WS_POPUP, 0, 0, 10, 10);
    ASSERT_NE(window, 0u);
    ChildWithWindow second(DesktopId(), "Other");
    ASSERT_TRUE(second.Ready());
    EXPECT_TRUE(ClassClaimed("headless/" + DesktopId(), "Korvanta"));
    DestroyWindow(window);
    EXPECT_FALSE(ClassClaimed("headless/" + DesktopId(), "Korvanta"));
}

// Two programs started together: the first to pass the check holds the name
// before its window exists, so the second one's check finds it.
TEST_F(PlatformClasses, APassedCheckClaimsTheNameBeforeTheWindowExists)
{
    const std::string desktop = "headless/" + DesktopId();
    ChildWithWindow first(DesktopId(), "Korvanta", true);
    ASSERT_TRUE(first.Ready());
    EXPECT_TRUE(FindWindow("Korvanta"));
    EXPECT_TRUE(FindWindowOrClaim("korvanta"));
    first.Kill();

    // Passing the check again, and making the window, keep the claim.
    EXPECT_FALSE(FindWindowOrClaim("Korvanta"));
    EXPECT_FALSE(FindWindowOrClaim("Korvanta"));
    EXPECT_TRUE(ClassClaimed(desktop, "Korvanta"));
    ASSERT_TRUE(RegisterClass(WindowClass{"Korvanta", RecordingProcedure, 0}));
    const WindowHandle window = CreateWindowEx(0, "Korvanta", "x", WS_POPUP, 0, 0, 10, 10);
    ASSERT_NE(window, 0u);
    EXPECT_TRUE(FindWindowOrClaim("Korvanta"));
    DestroyWindow(window);
    EXPECT_FALSE(ClassClaimed(desktop, "Korvanta")) << "the window took the claim and gave it up";

    // A claim that no window takes ends with the class.
    EXPECT_FALSE(FindWindowOrClaim("Korvanta"));
    EXPECT_TRUE(ClassClaimed(desktop, "Korvanta"));
    EXPECT_TRUE(UnregisterClass("Korvanta"));
    EXPECT_FALSE(ClassClaimed(desktop, "Korvanta"));
}

}  // namespace
}  // namespace platform_test

namespace platform_test {
namespace {

TEST(PlatformProcessEnd, WindowsLeftOpenAreFreedWhenTheProcessEnds)
{
    // Under LeakSanitizer a leak would turn the exit status into its own.
    const pid_t pid = fork();
    if (pid == 0) {
        HeadlessOptions options;
        options.desktopId = "process-end-" + std::to_string(getpid());
        std::string error;
        const bool made = SelectHeadlessBackend(options, &error) &&
                          RegisterClass(WindowClass{"Left", DefWindowProc, 0}) &&
                          CreateWindowEx(0, "Left", "left open", WS_POPUP, 0, 0, 64, 64) != 0;
        std::exit(made ? 7 : 8);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 7);
}

}  // namespace
}  // namespace platform_test
