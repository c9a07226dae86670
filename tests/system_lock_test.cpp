// The call lock: re-entrant for its holder, handed to waiting threads in the
// order they arrived, with real threads.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "media/platform/platform.h"
#include "media/system/lifecycle.h"

namespace {

using media::LibraryLockOwner;
using media::LibraryLockWaitCount;
using media::LockLibrary;
using media::UnlockLibrary;

constexpr uint64_t NoOwner = ~uint64_t(0);

void WaitUntilQueued(int count)
{
    while (LibraryLockWaitCount() < count)
        std::this_thread::yield();
}

TEST(SystemLock, HolderMayTakeItAgainAndOthersWaitForTheLastRelease)
{
    LockLibrary();
    LockLibrary();
    EXPECT_EQ(LibraryLockOwner(), media::platform::CurrentThreadId());

    std::atomic<bool> taken{false};
    std::thread other([&] {
        LockLibrary();
        taken = true;
        UnlockLibrary();
    });
    WaitUntilQueued(1);
    UnlockLibrary();
    // Still held once: the other thread stays queued.
    EXPECT_EQ(LibraryLockWaitCount(), 1);
    EXPECT_FALSE(taken.load());
    UnlockLibrary();
    other.join();
    EXPECT_TRUE(taken.load());
    EXPECT_EQ(LibraryLockOwner(), NoOwner);
    EXPECT_EQ(LibraryLockWaitCount(), 0);
}

TEST(SystemLock, WaitingThreadsAreServedInArrivalOrder)
{
    constexpr int ThreadCount = 12;
    std::mutex orderMutex;
    std::vector<int> order;
    std::vector<std::thread> threads;

    LockLibrary();
    for (int i = 0; i < ThreadCount; ++i) {
        threads.emplace_back([&, i] {
            LockLibrary();
            // Re-entering while others wait must not let them in.
            LockLibrary();
            {
                std::lock_guard<std::mutex> hold(orderMutex);
                order.push_back(i);
            }
            UnlockLibrary();
            UnlockLibrary();
        });
        WaitUntilQueued(i + 1);
    }
    UnlockLibrary();
    for (std::thread& thread : threads)
        thread.join();

    std::vector<int> expected;
    for (int i = 0; i < ThreadCount; ++i)
        expected.push_back(i);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(LibraryLockWaitCount(), 0);
    EXPECT_EQ(LibraryLockOwner(), NoOwner);
}

TEST(SystemLock, ManyRoundsFromSeveralThreadsKeepItExclusive)
{
    constexpr int ThreadCount = 4;
    constexpr int Rounds = 300;
    int inside = 0;
    int maxInside = 0;
    long total = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < ThreadCount; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < Rounds; ++round) {
                LockLibrary();
                ++inside;
                if (inside > maxInside)
                    maxInside = inside;
                ++total;
                --inside;
                UnlockLibrary();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(maxInside, 1);
    EXPECT_EQ(total, long(ThreadCount) * Rounds);
    EXPECT_EQ(LibraryLockOwner(), NoOwner);
}

TEST(SystemLock, ReleasingALockNobodyHoldsChangesNothing)
{
    UnlockLibrary();
    EXPECT_EQ(LibraryLockOwner(), NoOwner);
    LockLibrary();
    EXPECT_EQ(LibraryLockOwner(), media::platform::CurrentThreadId());
    UnlockLibrary();
    EXPECT_EQ(LibraryLockOwner(), NoOwner);
}

}  // namespace
