// The call lock: one holder at a time, re-entrant for its holder, waiters
// served in the order they came, each sleeping on an event of its own.
#include "media/core/call_lock.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#include "media/platform/platform.h"

namespace media {

namespace {

// A manual-reset event: stays signalled until reset, so a wake-up given
// before its waiter sleeps is not lost.
class ManualResetEvent {
public:
    void Set()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        signalled_ = true;
        changed_.notify_all();
    }
    void Reset()
    {
        std::lock_guard<std::mutex> hold(mutex_);
        signalled_ = false;
    }
    void Wait()
    {
        std::unique_lock<std::mutex> hold(mutex_);
        changed_.wait(hold, [this] { return signalled_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signalled_ = false;
};

constexpr int WaitSlotCount = 4096;
constexpr uint64_t NoOwner = ~uint64_t(0);

struct WaitSlot {
    uint64_t threadId = 0;
    ManualResetEvent* event = nullptr;
};

struct CallLock {
    int lockCreated = 0;
    std::mutex guard;  // lives as long as the process, so creating the rest under it is safe
    int lockDepth = 0;
    int lockHeld = 0;
    uint64_t lockOwner = NoOwner;
    std::unique_ptr<ManualResetEvent[]> events;
    WaitSlot slots[WaitSlotCount];
    int waitCount = 0;
};

CallLock& TheLock()
{
    static CallLock* lock = new CallLock;  // never destroyed: threads may still leave it at exit
    return *lock;
}

void CreateLockResources(CallLock& lock)
{
    lock.events = std::make_unique<ManualResetEvent[]>(WaitSlotCount);
    for (int i = 0; i < WaitSlotCount; ++i)
        lock.slots[i] = WaitSlot{0, &lock.events[i]};
    lock.waitCount = 0;
    lock.lockCreated = 1;
}

}  // namespace

// Releases the wait events. Only a lock that nobody holds or waits for is
// taken apart; otherwise its holders and waiters would lose their events.
void DestroyCallLock()
{
    CallLock& lock = TheLock();
    std::lock_guard<std::mutex> hold(lock.guard);
    if (!lock.lockCreated || lock.lockHeld || lock.waitCount > 0)
        return;
    for (WaitSlot& slot : lock.slots)
        slot = WaitSlot{};
    lock.events.reset();
    lock.lockCreated = 0;
}

void LockLibrary()
{
    CallLock& lock = TheLock();
    const uint64_t self = platform::CurrentThreadId();
    for (;;) {
        ManualResetEvent* event = nullptr;
        {
            std::lock_guard<std::mutex> hold(lock.guard);
            if (!lock.lockCreated)
                CreateLockResources(lock);

            bool take = false;
            if (lock.lockHeld && lock.lockOwner == self) {
                take = true;
            } else if (!lock.lockHeld && (lock.waitCount == 0 || lock.lockOwner == self)) {
                take = true;
            } else if (!lock.lockHeld && lock.slots[0].threadId == self) {
                ManualResetEvent* first = lock.slots[0].event;
                for (int i = 1; i < lock.waitCount; ++i)
                    lock.slots[i - 1] = lock.slots[i];
                lock.slots[lock.waitCount - 1] = WaitSlot{0, first};
                --lock.waitCount;
                take = true;
            }
            if (take) {
                ++lock.lockDepth;
                lock.lockHeld = 1;
                lock.lockOwner = self;
                return;
            }
            if (lock.waitCount < WaitSlotCount) {
                WaitSlot& slot = lock.slots[lock.waitCount];
                slot.threadId = self;
                event = slot.event;
                ++lock.waitCount;
            }
        }
        if (!event) {
            platform::Sleep(1);  // every slot taken: try again shortly
            continue;
        }
        event->Wait();
        event->Reset();
    }
}

void UnlockLibrary()
{
    CallLock& lock = TheLock();
    ManualResetEvent* wake = nullptr;
    {
        std::lock_guard<std::mutex> hold(lock.guard);
        if (lock.lockDepth <= 0)
            return;  // not held: nothing to release
        if (lock.lockDepth == 1) {
            lock.lockHeld = 0;
            lock.lockOwner = NoOwner;
            if (lock.waitCount > 0)
                wake = lock.slots[0].event;
        }
        --lock.lockDepth;
    }
    if (wake) {
        wake->Set();
        platform::Sleep(0);
    }
}

uint64_t LibraryLockOwner()
{
    CallLock& lock = TheLock();
    std::lock_guard<std::mutex> hold(lock.guard);
    return lock.lockHeld ? lock.lockOwner : NoOwner;
}

int LibraryLockWaitCount()
{
    CallLock& lock = TheLock();
    std::lock_guard<std::mutex> hold(lock.guard);
    return lock.waitCount;
}

}  // namespace media
