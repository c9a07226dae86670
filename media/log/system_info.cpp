// The system report written at every start: library version, operating
// system, processor speed, features, vendor and name. It also fills the
// processor values other parts read (time-stamp counter, its rate, MMX).
#include <cstdio>
#include <cstring>
#include <sys/utsname.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#define KORVANTA_HAS_CPUID 1
#else
#define KORVANTA_HAS_CPUID 0
#endif

#include "media/log/log.h"
#include "media/platform/platform.h"
#include "media/core/system_state.h"

namespace media {

namespace {

struct ProcessorInfo {
    int featureLevel = 0;  // 0 no identification, 1 plain, 3 MMX, 4 and SSE, 5 and SSE2
    bool hasTimeStampCounter = false;
    char vendor[13] = {};
    char brand[49] = {};
};

ProcessorInfo ProbeProcessor()
{
    ProcessorInfo info;
#if KORVANTA_HAS_CPUID
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx))
        return info;
    info.featureLevel = 1;
    std::memcpy(info.vendor + 0, &ebx, 4);
    std::memcpy(info.vendor + 4, &edx, 4);
    std::memcpy(info.vendor + 8, &ecx, 4);

    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        info.hasTimeStampCounter = (edx >> 4) & 1;
        const bool mmx = (edx >> 23) & 1;
        const bool sse = (edx >> 25) & 1;
        const bool sse2 = (edx >> 26) & 1;
        if (mmx)
            info.featureLevel = sse ? (sse2 ? 5 : 4) : 3;
    }

    unsigned highest = __get_cpuid_max(0x80000000u, nullptr);
    if (highest >= 0x80000004u) {
        for (unsigned leaf = 0; leaf < 3; ++leaf) {
            unsigned registers[4] = {};
            __get_cpuid(0x80000002u + leaf, &registers[0], &registers[1], &registers[2], &registers[3]);
            std::memcpy(info.brand + leaf * 16, registers, 16);
        }
        info.brand[48] = '\0';
    }
#endif
    return info;
}

uint64_t ReadTimeStampCounter()
{
#if KORVANTA_HAS_CPUID
    return __rdtsc();
#else
    return 0;
#endif
}

// Counts time-stamp ticks over 100 ms of the millisecond clock, busy-waiting
// so that the processor stays at its working speed.
void MeasureProcessorSpeed()
{
    const uint64_t startTicks = ReadTimeStampCounter();
    const uint32_t startTime = platform::TimeGetTime() & 0x7FFFFFFFu;
    // The difference is taken on 31 bits too, or the probe would stop at
    // once when the clock's low 31 bits wrap during it.
    while (((platform::TimeGetTime() - startTime) & 0x7FFFFFFFu) < 100u) {
    }
    const uint64_t ticks = ReadTimeStampCounter() - startTicks;
    const uint32_t megahertz = uint32_t(double(ticks) / 100000.0);
    systemState.cpuCyclesPerSecond = ticks * 10u;
    LogPrintfLine("ＣＰＵ動作速度：大体%.2fGHz", megahertz / 1000.0);
}

void LogFeatureLines(int level)
{
    switch (level) {
    case 0:
        LogAdd("ＣＰＵＩＤ命令は使えません\n");
        break;
    case 1:
        LogAdd("ＭＭＸは使えません\n");
        break;
    case 3:
        LogAdd("ＭＭＸ命令を使用します\n");
        break;
    case 4:
        LogAdd("ＭＭＸ命令を使用します\n");
        LogAdd("ＳＳＥ命令が使用可能です\n");
        break;
    case 5:
        LogAdd("ＭＭＸ命令を使用します\n");
        LogAdd("ＳＳＥ命令が使用可能です\n");
        LogAdd("ＳＳＥ２命令が使用可能です\n");
        break;
    default:
        break;
    }
}

}  // namespace

int LogSystemInfo()
{
    LogAdd("システムの情報を出力します\n");
    LogIndent();

    char versionLine[64];
    std::snprintf(versionLine, sizeof versionLine, "Ｖｅｘｉｌ Ver%s\n", "3.03");
    LogAdd(versionLine);

    // The system's name and release ("Linux 6.1.0"), no build number, and the
    // kernel's version text; the version code stays as it is.
    utsname names{};
    char description[sizeof names.sysname + sizeof names.release + sizeof names.version + 32] = {};
    if (uname(&names) == 0) {
        char name[sizeof names.sysname + sizeof names.release + 2];
        std::snprintf(name, sizeof name, "%s %s", names.sysname, names.release);
        std::snprintf(description, sizeof description, "%s ( Build %d %s )", name, 0, names.version);
    } else {
        std::snprintf(description, sizeof description, "%s ( Build %d %s )", "", 0, "");
    }
    LogAdd("ＯＳ  ");
    LogPrintfLine("%s", description);

    const ProcessorInfo processor = ProbeProcessor();
    systemState.hasTimeStampCounter = processor.hasTimeStampCounter ? 1 : 0;
    if (systemState.hasTimeStampCounter)
        MeasureProcessorSpeed();

    systemState.hasMmx = processor.featureLevel >= 3 ? 1 : 0;
    LogFeatureLines(processor.featureLevel);

    if (processor.featureLevel >= 1) {
        LogAdd("ＣＰＵベンダ：");
        for (int part = 0; part < 3; ++part) {
            char four[5] = {};
            std::memcpy(four, processor.vendor + part * 4, 4);
            LogAdd(four);
        }
        LogAdd("\n");
        if (processor.brand[0] != '\0')
            LogPrintfLine("ＣＰＵ名：%s", processor.brand);
    }

    LogUnindent();
    return 0;
}

}  // namespace media
