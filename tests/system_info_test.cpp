// The system report: its lines in order and the processor values it fills.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/utsname.h>

#include "log_fixture.h"
#include "media/log/log.h"
#include "media/platform/platform.h"
#include "media/core/system_state.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

using testing_support::LogFixture;

class SystemInfoTest : public LogFixture {};

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

TEST_F(SystemInfoTest, ReportLinesComeInOrderWithOneIndent)
{
    EXPECT_EQ(media::LogSystemInfo(), 0);
    const auto lines = Lines();
    ASSERT_GE(lines.size(), 4u);

    EXPECT_EQ(lines[0], "システムの情報を出力します");
    EXPECT_EQ(lines[1], "\tＶｅｘｉｌ Ver3.03");

    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    const std::string os = std::string("\tＯＳ  ") + names.sysname + " " + names.release + " ( Build 0 " +
                           names.version + " )";
    EXPECT_EQ(lines[2], os);
    EXPECT_EQ(media::systemState.OsVersionCode, 0);

    // Every report line is one level in; the indent is back to 0 afterwards.
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_TRUE(StartsWith(lines[i], "\t")) << "line " << i;
    EXPECT_EQ(media::systemState.logIndent, 0);
}

#if defined(__x86_64__)
TEST_F(SystemInfoTest, ProcessorLinesFollowTheIdentification)
{
    media::LogSystemInfo();
    const auto lines = Lines();

    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    ASSERT_TRUE(__get_cpuid(0, &eax, &ebx, &ecx, &edx));
    char vendor[13] = {};
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    ASSERT_TRUE(__get_cpuid(1, &eax, &ebx, &ecx, &edx));
    const bool tsc = (edx >> 4) & 1;

    // x86-64 always has MMX, SSE and SSE2.
    ASSERT_GE(lines.size(), 9u);
    size_t next = 3;
    if (tsc) {
        EXPECT_TRUE(StartsWith(lines[next], "\tＣＰＵ動作速度：大体")) << lines[next];
        EXPECT_NE(lines[next].find("GHz"), std::string::npos);
        ++next;
        EXPECT_GT(media::systemState.cpuCyclesPerSecond, 1000000u);
    }
    EXPECT_EQ(media::systemState.hasTimeStampCounter, tsc ? 1 : 0);
    EXPECT_EQ(lines[next++], "\tＭＭＸ命令を使用します");
    EXPECT_EQ(lines[next++], "\tＳＳＥ命令が使用可能です");
    EXPECT_EQ(lines[next++], "\tＳＳＥ２命令が使用可能です");
    EXPECT_EQ(lines[next++], std::string("\tＣＰＵベンダ：") + vendor);
    EXPECT_EQ(media::systemState.hasMmx, 1);
    if (__get_cpuid_max(0x80000000u, nullptr) >= 0x80000004u) {
        EXPECT_TRUE(StartsWith(lines[next], "\tＣＰＵ名：")) << lines[next];
    }
}
#endif

// The speed probe busy-waits 100 ms on the low 31 bits of the millisecond
// clock; a wrap of those bits during the wait must not end it early.
TEST_F(SystemInfoTest, SpeedProbeWaitsItsTimeAcrossTheClocksWrap)
{
    if (!media::systemState.hasTimeStampCounter) {
        media::LogSystemInfo();
        if (!media::systemState.hasTimeStampCounter)
            GTEST_SKIP() << "no time-stamp counter";
    }
    const uint32_t now = media::platform::TimeGetTime();
    // 40 ms before the low 31 bits wrap.
    media::platform::SetMillisecondClockOffset(((0x7FFFFFFFu - 40u) - (now & 0x7FFFFFFFu)) & 0x7FFFFFFFu);
    const int64_t start = media::platform::QueryPerformanceCounter();
    media::LogSystemInfo();
    const int64_t elapsed = media::platform::QueryPerformanceCounter() - start;
    media::platform::SetMillisecondClockOffset(0);
    EXPECT_GE(elapsed * 1000 / media::platform::QueryPerformanceFrequency(), 95);
}

}  // namespace
