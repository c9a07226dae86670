#include "app/battle_stats_workers.h"

#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <type_traits>

#include "app/battle_stats.h"
#include "app/battle_stats_files.h"

namespace {

static_assert(std::is_trivially_copyable_v<BattleOutcome>, "outcomes travel through pipes as bytes");
static_assert(sizeof(BattleOutcome) == 24, "24 bytes a battle through the pipes");

// A chunk of battle numbers; sent to a worker, and echoed in front of its outcomes.
struct Chunk {
    uint64_t first = 0;
    uint64_t count = 0;
};

// Chunks of about 10 ms of work: small enough to keep every worker busy to
// the end, large enough that the pipes cost nothing next to the battles.
constexpr uint64_t LargestChunk = 1024;
constexpr size_t ChunksAheadPerWorker = 2;

uint64_t ChunkSize(uint64_t total, int jobs)
{
    return std::clamp<uint64_t>(total / (uint64_t(jobs) * 16), 1, LargestChunk);
}

// Plays a chunk, setting up the menu armies whenever the pair changes.
class ChunkPlayer {
public:
    explicit ChunkPlayer(const BattleWork& work) : work_(work) {}

    void Play(const Chunk& chunk, BattleOutcome* outcomes)
    {
        for (uint64_t k = 0; k < chunk.count; ++k) {
            const uint64_t battle = work_.first + chunk.first + k;
            const uint64_t pair = battle / work_.battlesPerPair;
            if (pair != currentPair_) {
                SetUpMenuArmies(work_.pairs[pair].first, work_.pairs[pair].second);
                currentPair_ = pair;
            }
            outcomes[k] = PlayBattle(SeedOfBattle(work_.firstSeed, battle % work_.battlesPerPair));
        }
    }

private:
    const BattleWork& work_;
    uint64_t currentPair_ = UINT64_MAX;
};

bool ReadFull(int fd, void* data, size_t size)
{
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = read(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

bool WriteFull(int fd, const void* data, size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

// The worker's whole life: chunks in, outcomes out, until the task pipe closes.
[[noreturn]] void WorkerMain(const BattleWork& work, const WorkerPoolSeams& seams, int taskFd, int resultFd)
{
    ChunkPlayer player(work);
    std::vector<char> message;
    Chunk chunk;
    while (ReadFull(taskFd, &chunk, sizeof chunk)) {
        message.resize(sizeof chunk + chunk.count * sizeof(BattleOutcome));
        std::memcpy(message.data(), &chunk, sizeof chunk);
        auto* outcomes = reinterpret_cast<BattleOutcome*>(message.data() + sizeof chunk);
        if (seams.play)
            seams.play(chunk.first, chunk.count, outcomes);
        else
            player.Play(chunk, outcomes);
        if (!WriteFull(resultFd, message.data(), message.size()))
            _exit(1);
    }
    // _exit: no atexit handlers or stdio buffers of the parent run twice.
    _exit(0);
}

struct Worker {
    pid_t pid = -1;
    int taskFd = -1;    // parent writes chunks
    int resultFd = -1;  // parent reads outcomes
    std::deque<Chunk> outstanding;
};

class WorkerPool {
public:
    WorkerPool(const BattleWork& work, int jobs, const OutcomeSink& sink, const ProgressSink& progress,
               const WorkerPoolSeams& seams)
        : work_(work), sink_(sink), progress_(progress), seams_(seams), total_(work.Total()),
          chunkSize_(ChunkSize(total_, jobs)),
          jobs_(int(std::min<uint64_t>(uint64_t(jobs), (total_ + chunkSize_ - 1) / chunkSize_)))
    {
    }

    ~WorkerPool() { Stop(false); }

    bool Run(std::string* error)
    {
        // A worker that dies must show up as an error here, not as a signal.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        struct sigaction previous {};
        sigaction(SIGPIPE, &ignore, &previous);
        const bool ok = Start(error) && Feed(error);
        Stop(ok);
        sigaction(SIGPIPE, &previous, nullptr);
        return ok;
    }

private:
    bool Start(std::string* error)
    {
        std::fflush(nullptr);
        for (int w = 0; w < jobs_; ++w) {
            int tasks[2], results[2];
            if (pipe(tasks) != 0)
                return Fail(error, std::string("cannot make a pipe: ") + std::strerror(errno));
            if (pipe(results) != 0) {
                close(tasks[0]);
                close(tasks[1]);
                return Fail(error, std::string("cannot make a pipe: ") + std::strerror(errno));
            }
            const pid_t pid = fork();
            if (pid < 0) {
                for (int fd : {tasks[0], tasks[1], results[0], results[1]})
                    close(fd);
                return Fail(error, std::string("cannot start a worker process: ") + std::strerror(errno));
            }
            if (pid == 0) {
                RestoreDefaultInterruptHandling();
                // The parent's ends of the earlier workers' pipes must not stay
                // open here, or those workers would never see their task pipe close.
                for (const Worker& other : workers_) {
                    close(other.taskFd);
                    close(other.resultFd);
                }
                close(tasks[1]);
                close(results[0]);
                WorkerMain(work_, seams_, tasks[0], results[1]);
            }
            close(tasks[0]);
            close(results[1]);
            Worker worker;
            worker.pid = pid;
            worker.taskFd = tasks[1];
            worker.resultFd = results[0];
            workers_.push_back(worker);
        }
        return true;
    }

    bool SendNext(Worker& worker)
    {
        if (nextBattle_ >= total_)
            return true;
        Chunk chunk{nextBattle_, std::min(chunkSize_, total_ - nextBattle_)};
        if (!WriteFull(worker.taskFd, &chunk, sizeof chunk))
            return false;
        nextBattle_ += chunk.count;
        worker.outstanding.push_back(chunk);
        return true;
    }

    bool Feed(std::string* error)
    {
        for (size_t ahead = 0; ahead < ChunksAheadPerWorker; ++ahead) {
            for (Worker& worker : workers_) {
                if (!SendNext(worker))
                    return Fail(error, "a worker process stopped taking work");
            }
        }
        std::vector<pollfd> polls;
        std::vector<Worker*> polled;
        std::vector<BattleOutcome> outcomes;
        while (delivered_ < total_) {
            polls.clear();
            polled.clear();
            for (Worker& worker : workers_) {
                if (worker.resultFd < 0)
                    continue;
                polls.push_back({worker.resultFd, short(worker.outstanding.empty() ? 0 : POLLIN), 0});
                polled.push_back(&worker);
            }
            if (polls.empty())
                return Fail(error, "every worker process ended before the work was done");
            if (Poll(polls.data(), polls.size(), -1) < 0) {
                if (errno == EINTR)
                    continue;
                return Fail(error, std::string("poll failed: ") + std::strerror(errno));
            }
            for (size_t w = 0; w < polls.size(); ++w) {
                Worker& worker = *polled[w];
                if (polls[w].revents == 0)
                    continue;
                if (worker.outstanding.empty()) {
                    // Only a hang-up wakes a worker that owes nothing (it has
                    // ended with every outcome delivered). poll reports a
                    // hang-up even for no events, so it is watched no longer;
                    // else every wait would return at once until the end.
                    close(worker.resultFd);
                    worker.resultFd = -1;
                    continue;
                }
                Chunk chunk;
                const Chunk expected = worker.outstanding.front();
                if (!ReadFull(worker.resultFd, &chunk, sizeof chunk) || chunk.first != expected.first ||
                    chunk.count != expected.count)
                    return Fail(error, "a worker process ended unexpectedly");
                outcomes.resize(chunk.count);
                if (!ReadFull(worker.resultFd, outcomes.data(), chunk.count * sizeof(BattleOutcome)))
                    return Fail(error, "a worker process ended unexpectedly");
                worker.outstanding.pop_front();
                ready_.emplace(chunk.first, outcomes);
                if (!SendNext(worker))
                    return Fail(error, "a worker process stopped taking work");
            }
            Deliver();
        }
        return true;
    }

    int Poll(pollfd* fds, nfds_t count, int timeout)
    {
        return seams_.poll ? seams_.poll(fds, count, timeout) : poll(fds, count, timeout);
    }

    // Hands the finished chunks on in battle order.
    void Deliver()
    {
        while (!ready_.empty() && ready_.begin()->first == delivered_) {
            const std::vector<BattleOutcome>& outcomes = ready_.begin()->second;
            sink_(delivered_, outcomes.data(), outcomes.size());
            delivered_ += outcomes.size();
            ready_.erase(ready_.begin());
            if (progress_)
                progress_(delivered_, total_);
        }
    }

    // Closing the task pipes ends the workers; after a failure they are killed.
    void Stop(bool finished)
    {
        for (Worker& worker : workers_) {
            close(worker.taskFd);
            if (worker.resultFd >= 0)
                close(worker.resultFd);
            if (!finished)
                kill(worker.pid, SIGKILL);
        }
        for (Worker& worker : workers_) {
            while (waitpid(worker.pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
        workers_.clear();
    }

    static bool Fail(std::string* error, const std::string& message)
    {
        if (error)
            *error = message;
        return false;
    }

    const BattleWork& work_;
    const OutcomeSink& sink_;
    const ProgressSink& progress_;
    const WorkerPoolSeams& seams_;
    const uint64_t total_;
    const uint64_t chunkSize_;
    const int jobs_;
    std::vector<Worker> workers_;
    uint64_t nextBattle_ = 0;
    uint64_t delivered_ = 0;
    std::map<uint64_t, std::vector<BattleOutcome>> ready_;
};

bool RunHere(const BattleWork& work, const OutcomeSink& sink, const ProgressSink& progress)
{
    const uint64_t total = work.Total();
    const uint64_t chunkSize = ChunkSize(total, 1);
    ChunkPlayer player(work);
    std::vector<BattleOutcome> outcomes;
    for (uint64_t first = 0; first < total; first += chunkSize) {
        const Chunk chunk{first, std::min(chunkSize, total - first)};
        outcomes.resize(chunk.count);
        player.Play(chunk, outcomes.data());
        sink(first, outcomes.data(), outcomes.size());
        if (progress)
            progress(first + chunk.count, total);
    }
    return true;
}

}  // namespace

bool RunBattles(const BattleWork& work, int jobs, const OutcomeSink& sink, const ProgressSink& progress,
                std::string* error)
{
    return RunBattles(work, jobs, sink, progress, error, WorkerPoolSeams{});
}

bool RunBattles(const BattleWork& work, int jobs, const OutcomeSink& sink, const ProgressSink& progress,
                std::string* error, const WorkerPoolSeams& seams)
{
    if (work.Total() == 0)
        return true;
    if (jobs <= 1)
        return RunHere(work, sink, progress);
    WorkerPool pool(work, jobs, sink, progress, seams);
    return pool.Run(error);
}

int AvailableProcessors()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0)
            return count;
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? int(online) : 1;
}
