// Clocks and processor time for the benchmarks that measure other processes
// (the program, Xvfb) from outside.
#pragma once

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <time.h>
#include <unistd.h>

inline double MonotonicSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

inline void SleepSeconds(double seconds)
{
    timespec ts{};
    ts.tv_sec = time_t(seconds);
    ts.tv_nsec = long((seconds - double(ts.tv_sec)) * 1e9);
    while (nanosleep(&ts, &ts) != 0) {
    }
}

// User plus system time of a process and all its threads, in seconds;
// negative when unreadable.
inline double ProcessorSeconds(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* file = std::fopen(path.c_str(), "r");
    if (!file)
        return -1;
    char line[1024] = {};
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    // Fields after the command name (which may hold spaces): utime is the
    // 14th and stime the 15th field of the line.
    const char* rest = read ? std::strrchr(line, ')') : nullptr;
    unsigned long long userTicks = 0, systemTicks = 0;
    if (!rest || std::sscanf(rest + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &userTicks,
                             &systemTicks) != 2)
        return -1;
    return double(userTicks + systemTicks) / double(sysconf(_SC_CLK_TCK));
}

// The folder of the running benchmark, where the programs it starts are built.
inline std::string ProgramDirectory()
{
    char path[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    std::string text(path, size_t(length));
    return text.substr(0, text.rfind('/'));
}
