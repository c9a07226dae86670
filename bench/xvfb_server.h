// A private Xvfb for benchmarks that need a display when none is set.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

// Starts Xvfb on a free display (1024 x 768, depth 24 unless asked for
// others) when DISPLAY is not set and points DISPLAY at it. Returns its pid, 0 when a display was already
// there, -1 when the server could not be started.
inline pid_t StartXvfbWhenNeeded(int depth = 24, const char* size = "1024x768")
{
    const char* display = std::getenv("DISPLAY");
    if (display && *display)
        return 0;
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        if (fds[1] != 3) {
            dup2(fds[1], 3);
            close(fds[1]);
        }
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        const std::string screen = std::string(size) + "x" + std::to_string(depth);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp", "-screen", "0", screen.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the display number and a line feed once it is ready. The
    // read end stays open: the server may write its number again, and a
    // closed pipe would end it.
    char number[32] = {};
    size_t got = 0;
    while (pid > 0 && got < sizeof number - 1 && !std::memchr(number, '\n', got)) {
        const ssize_t n = read(fds[0], number + got, sizeof number - 1 - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    if (pid < 0 || got == 0) {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        return -1;
    }
    number[std::strcspn(number, "\n")] = '\0';
    setenv("DISPLAY", (std::string(":") + number).c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    return pid;
}

inline void StopXvfb(pid_t pid)
{
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

}  // namespace bench
