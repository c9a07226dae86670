#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <regex>

#include "log_fixture.h"
#include "media/log/log.h"
#include "media/core/memory.h"

using testing_support::LogFixture;

namespace {

using MemoryManager = LogFixture;

std::string AddressText(const void* data)
{
    char text[32];
    std::snprintf(text, sizeof text, "%016" PRIxPTR, uintptr_t(data));
    return text;
}

TEST_F(MemoryManager, CountsFollowAllocationAndRelease)
{
    const auto base = media::GetMemoryCounters();
    void* a = media::MemAlloc(100, "a.cpp", 1);
    void* b = media::MemAllocZeroed(28, "b.cpp", 2);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 16, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 16, 0u);
    for (int i = 0; i < 28; ++i)
        EXPECT_EQ(static_cast<unsigned char*>(b)[i], 0);
    auto now = media::GetMemoryCounters();
    EXPECT_EQ(now.totalAllocSize - base.totalAllocSize, 128);
    EXPECT_EQ(now.allocCount - base.allocCount, 2);
    EXPECT_EQ(uint16_t(now.nextAllocId - base.nextAllocId), 2);
    media::MemFree(a);
    media::MemFree(nullptr);
    media::MemFree(b);
    now = media::GetMemoryCounters();
    EXPECT_EQ(now.totalAllocSize, base.totalAllocSize);
    EXPECT_EQ(now.allocCount, base.allocCount);
    EXPECT_EQ(media::CheckMemoryRecords(), 0);
}

TEST_F(MemoryManager, RecordLineShowsNameLineIdAddressAndData)
{
    void* data = media::MemAlloc(20, "abcdefghijklmnopqrst", 1234);  // 20 characters
    std::memcpy(data, "Hi\x01\xff" "0123456789abcdefgh", 20);
    const uint16_t id = uint16_t(media::GetMemoryCounters().nextAllocId - 1);
    media::LogMemoryDump();
    const auto lines = Lines();
    char expected[256];
    std::snprintf(expected, sizeof expected,
                  "\tsize:20(0.020kb)  file:fghijklmnopqrst  line:1234  ID:%d  addr:%s  data:<Hi..0123456789ab> "
                  "[48 69 01 ff 30 31 32 33 34 35 36 37 38 39 61 62]",
                  int(id), AddressText(data).c_str());
    bool found = false;
    for (const auto& line : lines)
        found = found || line == expected;
    EXPECT_TRUE(found) << "expected: " << expected << "\nlog:\n" << Log();
    media::MemFree(data);
}

TEST_F(MemoryManager, DumpListsNewestFirstAndEndsWithTotals)
{
    const auto base = media::GetMemoryCounters();
    void* older = media::MemAlloc(3, nullptr, 0);
    void* newer = media::MemAlloc(5, nullptr, 0);
    std::memcpy(older, "old", 3);
    std::memcpy(newer, "new!!", 5);
    media::LogMemoryDump();
    const auto lines = Lines();
    // "", "Alloc memory dump", records..., totals, "" (the trailing blank line).
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "Alloc memory dump");
    EXPECT_NE(lines[2].find("data:<new!!> [6e 65 77 21 21]"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find("data:<old> [6f 6c 64]"), std::string::npos) << lines[3];
    char totals[128];
    std::snprintf(totals, sizeof totals, "\tTotal size:%d(%.3fkb)  Alloc num:%d", base.totalAllocSize + 8,
                  (base.totalAllocSize + 8) / 1024.0, base.allocCount + 2);
    EXPECT_EQ(lines[lines.size() - 2], totals);
    EXPECT_EQ(lines.back(), "");
    media::MemFree(older);
    media::MemFree(newer);
}

TEST_F(MemoryManager, ZeroSizedBlocksAreTraced)
{
    void* data = media::MemAlloc(0, nullptr, 7);
    data = media::MemRealloc(data, 0, nullptr, 8);
    media::MemFree(data);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 3u) << Log();
    const std::regex traced("mem (alloc|realloc|free)  \tsize:0\\(0\\.000kb\\)  file:  line:[78]  ID:[0-9]+  addr:[0-9a-f]{16}  data:<> \\]");
    EXPECT_TRUE(std::regex_match(lines[0], traced)) << lines[0];
    EXPECT_EQ(lines[0].rfind("mem alloc  ", 0), 0u);
    EXPECT_EQ(lines[1].rfind("mem realloc  ", 0), 0u);
    EXPECT_EQ(lines[2].rfind("mem free  ", 0), 0u);
    EXPECT_TRUE(std::regex_match(lines[2], traced)) << lines[2];
}

TEST_F(MemoryManager, ReallocKeepsDataZeroesGrowthAndRenumbers)
{
    const auto base = media::GetMemoryCounters();
    char* data = static_cast<char*>(media::MemRealloc(nullptr, 4, "r", 1));
    EXPECT_EQ(media::GetMemoryCounters().totalAllocSize - base.totalAllocSize, 4);
    std::memcpy(data, "abcd", 4);
    void* other = media::MemAlloc(8, nullptr, 0);  // so that data is not the newest
    const uint16_t idBefore = media::GetMemoryCounters().nextAllocId;
    data = static_cast<char*>(media::MemRealloc(data, 4000, "r", 2));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::memcmp(data, "abcd", 4), 0);
    for (int i = 4; i < 4000; ++i)
        ASSERT_EQ(data[i], 0) << i;
    const auto now = media::GetMemoryCounters();
    EXPECT_EQ(uint16_t(now.nextAllocId - idBefore), 1);
    EXPECT_EQ(now.totalAllocSize - base.totalAllocSize, 4008);
    EXPECT_EQ(now.allocCount - base.allocCount, 2);
    EXPECT_EQ(media::CheckMemoryRecords(), 0);
    media::MemFree(other);
    media::MemFree(data);
    EXPECT_EQ(media::CheckMemoryRecords(), 0);
    EXPECT_EQ(media::GetMemoryCounters().allocCount, base.allocCount);
}

TEST_F(MemoryManager, IdsWrapAfter65535)
{
    const uint16_t start = media::GetMemoryCounters().nextAllocId;
    for (int i = 0; i < 65536; ++i)
        media::MemFree(media::MemAlloc(1, nullptr, 0));
    EXPECT_EQ(media::GetMemoryCounters().nextAllocId, start);
}

TEST_F(MemoryManager, RefusalDumpsAndReturnsNull)
{
    void* kept = media::MemAlloc(4, nullptr, 0);
    EXPECT_EQ(media::MemAlloc(-5, nullptr, 0), nullptr);
    const std::string log = Log();
    EXPECT_NE(log.find("Alloc memory dump"), std::string::npos);
    void* same = media::MemRealloc(kept, -1, nullptr, 0);
    EXPECT_EQ(same, nullptr);
    EXPECT_EQ(media::CheckMemoryRecords(), 0) << "the old block stays valid";
    media::MemFree(kept);
}

TEST_F(MemoryManager, CheckFindsAnOverwrittenRecord)
{
    unsigned char* data = static_cast<unsigned char*>(media::MemAlloc(16, "victim", 3));
    data[-80 + 20] ^= 0x01;  // flips a bit of the size field in the record
    EXPECT_EQ(media::CheckMemoryRecords(), -1);
    EXPECT_NE(Log().find("以下のメモリ確保情報が破損しました\tsize:"), std::string::npos);
    data[-80 + 20] ^= 0x01;
    EXPECT_EQ(media::CheckMemoryRecords(), 0);
    media::MemFree(data);
}

TEST_F(MemoryManager, DumpReportsAnOverwrittenRecordAndListsTheOlderBlocks)
{
    void* oldest = media::MemAlloc(3, nullptr, 0);
    std::memcpy(oldest, "old", 3);
    unsigned char* victim = static_cast<unsigned char*>(media::MemAlloc(4, nullptr, 0));
    void* newest = media::MemAlloc(5, nullptr, 0);
    std::memcpy(newest, "new!!", 5);
    // The whole name and the link behind it overwritten: the name has no
    // terminator and the record's own prev leads nowhere.
    std::memset(victim - 80, 'N', 16);
    std::memset(victim - 80 + 24, 0, 8);
    media::LogMemoryDump();
    const std::string log = Log();
    std::memcpy(victim - 80, victim - 80 + 40, 40);  // mend it from its copy
    EXPECT_EQ(media::CheckMemoryRecords(), 0);
    media::MemFree(oldest);
    media::MemFree(victim);
    media::MemFree(newest);

    const size_t newLine = log.find("data:<new!!>");
    const size_t corrupt = log.find("以下のメモリ確保情報が破損しました\tsize:4(");
    const size_t oldLine = log.find("data:<old>");
    ASSERT_NE(newLine, std::string::npos) << log;
    ASSERT_NE(corrupt, std::string::npos) << log;
    ASSERT_NE(oldLine, std::string::npos) << "the blocks behind the damaged record are listed too\n" << log;
    EXPECT_LT(newLine, corrupt);
    EXPECT_LT(corrupt, oldLine);
    EXPECT_NE(log.find("file:" + std::string(16, 'N') + "  line:"), std::string::npos)
        << "the name is bounded to its 16 bytes";
}

// A record whose size was overwritten with a larger one is shown with its
// copy's size, and no byte past its block is read (the sanitiser would stop
// the read of 16 bytes from this 4-byte block).
TEST_F(MemoryManager, AnOverwrittenSizeIsShownAsItsCopyKeepsIt)
{
    unsigned char* victim = static_cast<unsigned char*>(media::MemAlloc(4, nullptr, 0));
    std::memcpy(victim, "abcd", 4);
    int32_t size = 0;
    std::memcpy(&size, victim - 80 + 20, 4);
    const int32_t damaged = 1000;
    std::memcpy(victim - 80 + 20, &damaged, 4);
    EXPECT_EQ(media::CheckMemoryRecords(), -1);
    media::LogMemoryDump();
    std::memcpy(victim - 80 + 20, &size, 4);
    EXPECT_EQ(media::CheckMemoryRecords(), 0);
    media::MemFree(victim);

    const std::string log = Log();
    const std::string line = "以下のメモリ確保情報が破損しました\tsize:4(0.004kb)";
    const size_t check = log.find(line);
    ASSERT_NE(check, std::string::npos) << log;
    ASSERT_NE(log.find(line, check + 1), std::string::npos) << "the dump shows the copy's size too\n" << log;
    EXPECT_EQ(log.find("size:1000"), std::string::npos) << log;
    EXPECT_NE(log.find("data:<abcd> [61 62 63 64]"), std::string::npos) << log;
}

// A record overwritten together with its copy (80 bytes of the block in
// front of it) gives no link to follow: the dump stops there with a line,
// still lists the newer blocks and ends with the totals.
TEST_F(MemoryManager, ADumpStopsAtARecordWhoseCopyIsDamagedToo)
{
    void* oldest = media::MemAlloc(3, nullptr, 0);
    std::memcpy(oldest, "old", 3);
    unsigned char* victim = static_cast<unsigned char*>(media::MemAlloc(4, nullptr, 0));
    void* newest = media::MemAlloc(5, nullptr, 0);
    std::memcpy(newest, "new!!", 5);
    unsigned char saved[80];
    std::memcpy(saved, victim - 80, 80);
    // Alike, the record and its copy even match; different, they do not.
    std::string logs[2];
    for (int alike = 0; alike < 2; ++alike) {
        std::memset(victim - 80, 'N', 40);
        std::memset(victim - 40, alike ? 'N' : 'M', 40);
        const size_t start = Log().size();
        media::LogMemoryDump();
        logs[alike] = Log().substr(start);
    }
    std::memcpy(victim - 80, saved, 80);
    EXPECT_EQ(media::CheckMemoryRecords(), 0);
    media::MemFree(oldest);
    media::MemFree(victim);
    media::MemFree(newest);

    for (const std::string& log : logs) {
        const size_t newLine = log.find("data:<new!!>");
        const size_t stop = log.find("メモリ確保情報とその控えが共に破損しているため、ここでダンプを打ち切ります");
        const size_t totals = log.find("\tTotal size:");
        ASSERT_NE(newLine, std::string::npos) << log;
        ASSERT_NE(stop, std::string::npos) << log;
        ASSERT_NE(totals, std::string::npos) << log;
        EXPECT_LT(newLine, stop);
        EXPECT_LT(stop, totals);
        EXPECT_EQ(log.find("data:<old>"), std::string::npos) << "nothing behind the damaged copy is followed\n" << log;
        EXPECT_EQ(log.find("以下のメモリ確保情報が破損しました"), std::string::npos) << log;
    }
}

TEST_F(MemoryManager, LiveTotalWrapsAsA32BitSumPast2GiB)
{
    const auto base = media::GetMemoryCounters();
    // Address space only: the blocks are never touched.
    void* first = media::MemAlloc(0x60000000, nullptr, 0);
    void* second = media::MemAlloc(0x60000000, nullptr, 0);
    if (!first || !second) {
        media::MemFree(first);
        media::MemFree(second);
        GTEST_SKIP() << "the heap refused 3 GiB of address space";
    }
    EXPECT_EQ(media::GetMemoryCounters().totalAllocSize, int32_t(uint32_t(base.totalAllocSize) + 0xC0000000u));
    media::MemFree(second);
    media::MemFree(first);
    EXPECT_EQ(media::GetMemoryCounters().totalAllocSize, base.totalAllocSize);
}

}  // namespace
