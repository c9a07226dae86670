// The memory manager from several threads at once: allocations,
// reallocations and releases interleave with dumps, and the list, the
// counters and every record's copy stay whole. Built and run under
// ThreadSanitizer as well (scripts/thread_check.sh).
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "log_fixture.h"
#include "media/core/memory.h"

namespace {

using MemoryThreads = testing_support::LogFixture;

TEST_F(MemoryThreads, SeveralThreadsAllocatingReallocatingAndFreeingKeepTheListWhole)
{
    const auto base = media::GetMemoryCounters();
    constexpr int threads = 4, rounds = 2000;
    std::atomic<bool> stop{false};
    std::atomic<int> damaged{0};
    std::thread dumper([&] {
        while (!stop) {
            media::LogMemoryDump();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &damaged] {
            std::vector<unsigned char*> blocks;
            for (int i = 0; i < rounds; ++i) {
                const int size = 1 + (i * 7 + t) % 200;
                auto* block = static_cast<unsigned char*>(media::MemAlloc(size, "worker", t));
                std::memset(block, t + 1, size_t(size));
                blocks.push_back(block);
                if (i % 3 == 0) {
                    unsigned char* grown = static_cast<unsigned char*>(media::MemRealloc(blocks.front(), 300, "grown", i));
                    if (grown[0] != t + 1)
                        ++damaged;
                    blocks.front() = grown;
                }
                if (blocks.size() > 16) {
                    if (blocks.back()[0] != t + 1)
                        ++damaged;
                    media::MemFree(blocks.back());
                    blocks.pop_back();
                    media::MemFree(blocks.front());
                    blocks.erase(blocks.begin());
                }
            }
            for (unsigned char* block : blocks)
                media::MemFree(block);
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    stop = true;
    dumper.join();
    EXPECT_EQ(damaged.load(), 0);
    EXPECT_EQ(media::CheckMemoryRecords(), 0);
    const auto after = media::GetMemoryCounters();
    EXPECT_EQ(after.totalAllocSize, base.totalAllocSize);
    EXPECT_EQ(after.allocCount, base.allocCount);
}

}  // namespace
