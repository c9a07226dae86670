// A temporary directory holding a fresh log, and readers for what was written.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "media/log/log.h"
#include "media/core/system_state.h"

namespace testing_support {

inline std::string MakeTempDir()
{
    char pattern[] = "/tmp/korvanta-test-XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "";
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Splits the log into its lines (CR LF ends) and drops the "%d:" timestamps.
inline std::vector<std::string> LinesWithoutTimestamps(const std::string& log)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < log.size()) {
        size_t end = log.find("\r\n", start);
        std::string line = log.substr(start, end == std::string::npos ? std::string::npos : end - start);
        size_t colon = line.find(':');
        if (colon != std::string::npos && line.find_first_not_of("-0123456789") == colon)
            line = line.substr(colon + 1);
        lines.push_back(line);
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    return lines;
}

class LogFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = MakeTempDir();
        ASSERT_FALSE(dir_.empty());
        saved_ = media::systemState;
        media::systemState = media::SystemState{};
        ASSERT_TRUE(media::SetLogLocation(dir_.c_str(), "Log.txt"));
        media::LogStart();
    }
    void TearDown() override
    {
        media::systemState = saved_;
        std::string command = "rm -rf '" + dir_ + "'";
        if (std::system(command.c_str()) != 0) {
        }
    }
    std::string LogPath() const { return dir_ + "/Log.txt"; }
    std::string Log() const { return ReadFile(LogPath()); }
    std::vector<std::string> Lines() const { return LinesWithoutTimestamps(Log()); }

    std::string dir_;
    media::SystemState saved_;
};

}  // namespace testing_support
