#include "app/battle_stats_run.h"

#include <algorithm>

bool PlayPlan(const StatisticsPlan& plan, uint64_t first, uint64_t count, int jobs,
              std::vector<OutcomeTally>* tallies, const BattleSink& each, const ProgressSink& progress,
              std::string* error)
{
    const uint64_t perPoint = plan.PerPoint();
    const uint64_t end = first + count;
    uint64_t done = 0;
    for (size_t point = 0; point < plan.catalogs.size(); ++point) {
        const uint64_t pointStart = point * perPoint;
        const uint64_t from = std::max(first, pointStart), to = std::min(end, pointStart + perPoint);
        if (from >= to)
            continue;
        UseBattleCatalog(plan.catalogs[point]);
        LoadPilotData();
        LoadWeaponData();
        LoadSquadData();

        BattleWork work;
        work.firstSeed = plan.run.firstSeed;
        work.battlesPerPair = plan.run.battlesPerPair;
        for (const ArmySetup& army1 : plan.run.army1) {
            for (const ArmySetup& army2 : plan.run.army2)
                work.pairs.emplace_back(army1, army2);
        }
        work.first = from - pointStart;
        work.count = to - from;
        const OutcomeSink sink = [&](uint64_t firstDone, const BattleOutcome* outcomes, size_t n) {
            for (size_t k = 0; k < n; ++k) {
                const uint64_t within = work.first + firstDone + k;
                (*tallies)[point * plan.Pairs() + within / plan.run.battlesPerPair].Add(outcomes[k]);
                if (each)
                    each(pointStart + within, outcomes[k]);
            }
        };
        const ProgressSink pointProgress = [&](uint64_t pointDone, uint64_t) {
            if (progress)
                progress(done + pointDone, count);
        };
        if (!RunBattles(work, jobs, sink, pointProgress, error))
            return false;
        done += to - from;
    }
    return true;
}

void ShardSlice(uint64_t total, uint64_t k, uint64_t n, uint64_t* first, uint64_t* count)
{
    const unsigned __int128 start = (unsigned __int128)total * k / n;
    const unsigned __int128 end = (unsigned __int128)total * (k + 1) / n;
    *first = uint64_t(start);
    *count = uint64_t(end - start);
}
