// The worker processes of korvanta-battle --runs: what the parent does when
// one of them ends before it is told to.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "app/battle_stats_workers.h"

namespace {

// Two battles for two workers: with chunks of one battle, worker 1 gets
// battle 0 and worker 2 battle 1, and nothing is left to hand out after that.
BattleWork TwoBattles()
{
    BattleWork work;
    work.pairs.emplace_back(ArmySetup{1, 0, 0}, ArmySetup{2, 0, 0});
    work.battlesPerPair = 2;
    return work;
}

class WorkerPoolTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(pipe(release_), 0); }
    void TearDown() override
    {
        close(release_[0]);
        close(release_[1]);
    }

    // In the worker: battle 0 is reported at once, with the worker's pid in
    // it; battle 1 waits for a byte on the release pipe.
    void PlayHoldingBattleOne(uint64_t first, uint64_t count, BattleOutcome* outcomes)
    {
        for (uint64_t k = 0; k < count; ++k)
            outcomes[k] = BattleOutcome{};
        if (first == 0) {
            outcomes[0].durability[0] = int32_t(getpid());
            return;
        }
        char byte;
        while (read(release_[0], &byte, 1) < 0 && errno == EINTR) {
        }
    }

    void ReleaseBattleOne()
    {
        if (!released_) {
            ASSERT_EQ(write(release_[1], "x", 1), 1);
            released_ = true;
        }
    }

    int release_[2] = {-1, -1};
    bool released_ = false;
};

// Once battle 0 is in, its worker owes nothing; it is killed while battle 1
// is still being played. poll reports the hang-up of its pipe on every call,
// asked for or not, so a parent that kept polling it would wake at once again
// and again, at full processor time, until battle 1 came. Here the wait after
// the death first only looks (timeout 0), and lets battle 1 go only when the
// parent would really wait, or after 1000 wake-ups: the count does not depend
// on how fast anything runs.
TEST_F(WorkerPoolTest, AWorkerEndedWithNothingOwedIsNoLongerWaitedOn)
{
    pid_t idleWorker = 0;
    bool killed = false;
    int wakeUpsAfterDeath = 0;
    std::vector<BattleOutcome> delivered;

    WorkerPoolSeams seams;
    seams.play = [&](uint64_t first, uint64_t count, BattleOutcome* outcomes) {
        PlayHoldingBattleOne(first, count, outcomes);
    };
    seams.poll = [&](pollfd* fds, nfds_t count, int timeout) {
        if (!killed && idleWorker > 0) {
            // Waited for without being reaped: its pipe has hung up, and the
            // pool still reaps it at the end.
            kill(idleWorker, SIGKILL);
            siginfo_t info{};
            while (waitid(P_PID, idleWorker, &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
            }
            killed = true;
        }
        if (!killed)
            return poll(fds, count, timeout);
        ++wakeUpsAfterDeath;
        int ready = poll(fds, count, 0);
        if (ready == 0 || wakeUpsAfterDeath >= 1000)
            ReleaseBattleOne();
        if (ready == 0)
            ready = poll(fds, count, timeout);
        return ready;
    };
    const OutcomeSink sink = [&](uint64_t first, const BattleOutcome* outcomes, size_t count) {
        EXPECT_EQ(first, delivered.size());
        delivered.insert(delivered.end(), outcomes, outcomes + count);
        if (first == 0)
            idleWorker = outcomes[0].durability[0];
    };

    std::string error;
    EXPECT_TRUE(RunBattles(TwoBattles(), 2, sink, nullptr, &error, seams)) << error;
    EXPECT_TRUE(killed);
    EXPECT_EQ(delivered.size(), 2u);
    // One wake-up for the hang-up, one for battle 1.
    EXPECT_LE(wakeUpsAfterDeath, 3);
}

// A worker that ends while it still owes outcomes fails the run; the parent
// neither waits for it forever nor delivers what never came.
TEST_F(WorkerPoolTest, AWorkerEndedOwingOutcomesFailsTheRun)
{
    WorkerPoolSeams seams;
    seams.play = [&](uint64_t first, uint64_t count, BattleOutcome* outcomes) {
        if (first == 1)
            raise(SIGKILL);
        PlayHoldingBattleOne(first, count, outcomes);
    };
    uint64_t deliveredCount = 0;
    const OutcomeSink sink = [&](uint64_t, const BattleOutcome*, size_t count) { deliveredCount += count; };

    std::string error;
    EXPECT_FALSE(RunBattles(TwoBattles(), 2, sink, nullptr, &error, seams));
    EXPECT_NE(error.find("worker process"), std::string::npos) << error;
    EXPECT_LE(deliveredCount, 1u);
}

}  // namespace
