#include "app/battle_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/string_append.h"

namespace {

constexpr double WilsonZ = 1.959963984540054;  // two-sided 95 %

constexpr Survivors SurvivorOrder[SurvivorKinds] = {Survivors::Army1Only, Survivors::Army2Only, Survivors::Both,
                                                    Survivors::Neither};
constexpr BattleEnd EndOrder[BattleEndKinds] = {BattleEnd::Annihilation, BattleEnd::ForcedEnd,
                                                BattleEnd::FullCourse};

const char* SurvivorsLabel(Survivors survivors)
{
    switch (survivors) {
    case Survivors::Army1Only:
        return "army 1 wins (only army 1 has live machines)";
    case Survivors::Army2Only:
        return "army 2 wins (only army 2 has live machines)";
    case Survivors::Both:
        return "both armies have live machines";
    case Survivors::Neither:
        break;
    }
    return "neither army has live machines";
}

const char* EndLabel(BattleEnd end)
{
    switch (end) {
    case BattleEnd::Annihilation:
        return "annihilation, no melee turn";
    case BattleEnd::ForcedEnd:
        return "forced end, then the melee turn";
    case BattleEnd::FullCourse:
        break;
    }
    return "41 shooting turns, then the melee turn";
}

double Ratio(int64_t part, int64_t whole)
{
    return whole > 0 ? double(part) / double(whole) : 0.0;
}

}  // namespace

std::string SeedRange(const RunDescription& run)
{
    std::string text;
    const uint32_t last = SeedOfBattle(run.firstSeed, run.battlesPerPair - 1ull);
    AppendFormat(text, "seeds %u to %u", run.firstSeed, last);
    if (last < run.firstSeed)
        text += " (wrapping modulo 2^32)";
    return text;
}

// "army1": {"count": .., "share": .., "low": .., "high": ..}, one per outcome.
void AppendOutcomesJson(std::string& out, const OutcomeTally& tally, const char* indent)
{
    out += "{\n";
    for (int s = 0; s < SurvivorKinds; ++s) {
        const Survivors kind = SurvivorOrder[s];
        const Interval interval = WilsonInterval(tally.Count(kind), tally.battles);
        AppendFormat(out, "%s  \"%s\": {\"count\": %lld, \"share\": %.6f, \"low\": %.6f, \"high\": %.6f}%s\n", indent,
               SurvivorsName(kind), (long long)tally.Count(kind), tally.Share(kind), interval.low, interval.high,
               s + 1 < SurvivorKinds ? "," : "");
    }
    AppendFormat(out, "%s}", indent);
}

namespace {

void AppendSetupListJson(std::string& out, const std::vector<ArmySetup>& setups)
{
    out += "[";
    for (size_t i = 0; i < setups.size(); ++i)
        AppendFormat(out, "%s\"%s\"", i ? ", " : "", SetupText(setups[i]).c_str());
    out += "]";
}

void AppendMeanOrDash(std::string& out, double value)
{
    if (value < 0)
        AppendFormat(out, " %12s", "-");
    else
        AppendFormat(out, " %11.2f%%", 100.0 * value);
}

void AppendMeanOrNull(std::string& out, double value)
{
    if (value < 0)
        out += "null";
    else
        AppendFormat(out, "%.6f", value);
}

}  // namespace

void OutcomeTally::Merge(const OutcomeTally& other)
{
    battles += other.battles;
    for (size_t i = 0; i < survivors.size(); ++i)
        survivors[i] += other.survivors[i];
    for (size_t i = 0; i < ends.size(); ++i)
        ends[i] += other.ends[i];
    for (size_t turn = 0; turn < endTurns.size(); ++turn) {
        for (size_t i = 0; i < endTurns[turn].size(); ++i)
            endTurns[turn][i] += other.endTurns[turn][i];
    }
    for (int a = 0; a < 2; ++a) {
        liveMachines[a] += other.liveMachines[a];
        durability[a] += other.durability[a];
    }
}

void OutcomeTally::Add(const BattleOutcome& outcome)
{
    ++battles;
    ++survivors[size_t(outcome.survivors)];
    ++ends[size_t(outcome.end)];
    if (outcome.endTurn >= 1 && outcome.endTurn <= ShootingTurnCount)
        ++endTurns[size_t(outcome.endTurn)][size_t(outcome.end)];
    for (int a = 0; a < 2; ++a) {
        liveMachines[a] += outcome.liveMachines[a];
        durability[a] += outcome.durability[a];
    }
}

double OutcomeTally::Share(Survivors kind) const
{
    return Ratio(Count(kind), battles);
}

double OutcomeTally::MeanLive(int army) const
{
    return Ratio(liveMachines[army], battles);
}

double OutcomeTally::MeanDurability(int army) const
{
    return Ratio(durability[army], battles);
}

Interval WilsonInterval(int64_t successes, int64_t trials)
{
    if (trials <= 0)
        return {0.0, 1.0};
    const double n = double(trials);
    const double p = double(successes) / n;
    const double z2 = WilsonZ * WilsonZ;
    const double denominator = 1.0 + z2 / n;
    const double centre = (p + z2 / (2.0 * n)) / denominator;
    const double half = WilsonZ * std::sqrt(p * (1.0 - p) / n + z2 / (4.0 * n * n)) / denominator;
    return {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

std::string FormatRunsText(const RunDescription& run, const OutcomeTally& tally)
{
    std::string out;
    AppendFormat(out, "%lld battles of army 1 (%s) against army 2 (%s), %s\n\n", (long long)tally.battles,
           SetupText(run.army1[0]).c_str(), SetupText(run.army2[0]).c_str(), SeedRange(run).c_str());

    AppendFormat(out, "%-44s %9s %8s   %s\n", "outcome", "battles", "share", "95% interval");
    for (Survivors kind : SurvivorOrder) {
        const Interval interval = WilsonInterval(tally.Count(kind), tally.battles);
        AppendFormat(out, "%-44s %9lld %7.2f%%   %6.2f%% to %6.2f%%\n", SurvivorsLabel(kind), (long long)tally.Count(kind),
               100.0 * tally.Share(kind), 100.0 * interval.low, 100.0 * interval.high);
    }

    AppendFormat(out, "\n%-44s %9s %8s\n", "how the battles ended", "battles", "share");
    for (BattleEnd end : EndOrder) {
        const int64_t count = tally.ends[size_t(end)];
        AppendFormat(out, "%-44s %9lld %7.2f%%\n", EndLabel(end), (long long)count, 100.0 * Ratio(count, tally.battles));
    }

    AppendFormat(out, "\n%-24s %13s %13s %13s\n", "shooting ended on turn", "annihilation", "forced end", "full course");
    for (int turn = 1; turn <= ShootingTurnCount; ++turn) {
        const auto& row = tally.endTurns[size_t(turn)];
        if (row[0] + row[1] + row[2] == 0)
            continue;
        AppendFormat(out, "%-24d %13lld %13lld %13lld\n", turn, (long long)row[size_t(BattleEnd::Annihilation)],
               (long long)row[size_t(BattleEnd::ForcedEnd)], (long long)row[size_t(BattleEnd::FullCourse)]);
    }

    AppendFormat(out, "\n%-24s %13s %13s\n", "mean per battle", "army 1", "army 2");
    AppendFormat(out, "%-24s %13.3f %13.3f\n", "live machines", tally.MeanLive(0), tally.MeanLive(1));
    AppendFormat(out, "%-24s %13.3f %13.3f\n", "durability left", tally.MeanDurability(0), tally.MeanDurability(1));
    return out;
}

std::string FormatRunsJson(const RunDescription& run, const OutcomeTally& tally)
{
    std::string out = "{\n";
    AppendFormat(out, "  \"battles\": %lld,\n", (long long)tally.battles);
    AppendFormat(out, "  \"first_seed\": %u,\n", run.firstSeed);
    AppendFormat(out, "  \"last_seed\": %u,\n", SeedOfBattle(run.firstSeed, run.battlesPerPair - 1ull));
    AppendFormat(out, "  \"army1\": \"%s\",\n", SetupText(run.army1[0]).c_str());
    AppendFormat(out, "  \"army2\": \"%s\",\n", SetupText(run.army2[0]).c_str());
    out += "  \"outcomes\": ";
    AppendOutcomesJson(out, tally, "  ");
    out += ",\n  \"ends\": {";
    for (int e = 0; e < BattleEndKinds; ++e)
        AppendFormat(out, "%s\"%s\": %lld", e ? ", " : "", BattleEndName(EndOrder[e]),
               (long long)tally.ends[size_t(EndOrder[e])]);
    out += "},\n  \"end_turns\": [";
    bool first = true;
    for (int turn = 1; turn <= ShootingTurnCount; ++turn) {
        const auto& row = tally.endTurns[size_t(turn)];
        if (row[0] + row[1] + row[2] == 0)
            continue;
        AppendFormat(out, "%s\n    {\"turn\": %d, \"annihilation\": %lld, \"forced\": %lld, \"full\": %lld}",
               first ? "" : ",", turn, (long long)row[size_t(BattleEnd::Annihilation)],
               (long long)row[size_t(BattleEnd::ForcedEnd)], (long long)row[size_t(BattleEnd::FullCourse)]);
        first = false;
    }
    out += first ? "],\n" : "\n  ],\n";
    AppendFormat(out, "  \"mean_live_machines\": [%.6f, %.6f],\n", tally.MeanLive(0), tally.MeanLive(1));
    AppendFormat(out, "  \"mean_durability\": [%.6f, %.6f]\n", tally.MeanDurability(0), tally.MeanDurability(1));
    out += "}\n";
    return out;
}

std::string BattleCsvHeader()
{
    return "seed,army1,army2,end,end_turn,last_turn,survivors,live1,live2,durability1,durability2\n";
}

std::string BattleCsvRow(uint32_t seed, const ArmySetup& army1, const ArmySetup& army2, const BattleOutcome& outcome)
{
    std::string out;
    AppendFormat(out, "%u,\"%s\",\"%s\",%s,%d,%d,%s,%d,%d,%d,%d\n", seed, SetupText(army1).c_str(),
           SetupText(army2).c_str(), BattleEndName(outcome.end), outcome.endTurn, outcome.LastTurn(),
           SurvivorsName(outcome.survivors), outcome.liveMachines[0], outcome.liveMachines[1], outcome.durability[0],
           outcome.durability[1]);
    return out;
}

std::vector<RankedSetup> RankSetups(const RunDescription& run, const std::vector<OutcomeTally>& tallies)
{
    const size_t columns = run.army2.size();
    // Every setup that takes part, in setup-number order (which is the rows'
    // lexicographic order whatever the size of the catalogue).
    std::vector<ArmySetup> setups = run.army1;
    setups.insert(setups.end(), run.army2.begin(), run.army2.end());
    std::sort(setups.begin(), setups.end());
    setups.erase(std::unique(setups.begin(), setups.end()), setups.end());
    std::vector<RankedSetup> ranked;
    for (const ArmySetup& setup : setups) {
        double sum1 = 0, sum2 = 0;
        int pairs1 = 0, pairs2 = 0;
        for (size_t i = 0; i < run.army1.size(); ++i) {
            if (run.army1[i] != setup)
                continue;
            for (size_t j = 0; j < columns; ++j, ++pairs1)
                sum1 += tallies[i * columns + j].Share(Survivors::Army1Only);
        }
        for (size_t j = 0; j < columns; ++j) {
            if (run.army2[j] != setup)
                continue;
            for (size_t i = 0; i < run.army1.size(); ++i, ++pairs2)
                sum2 += tallies[i * columns + j].Share(Survivors::Army2Only);
        }
        if (pairs1 + pairs2 == 0)
            continue;
        RankedSetup entry;
        entry.setup = setup;
        entry.overall = (sum1 + sum2) / double(pairs1 + pairs2);
        entry.asArmy1 = pairs1 ? sum1 / pairs1 : -1;
        entry.asArmy2 = pairs2 ? sum2 / pairs2 : -1;
        ranked.push_back(entry);
    }
    // Best first; equal shares keep the setup order.
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const RankedSetup& a, const RankedSetup& b) { return a.overall > b.overall; });
    return ranked;
}

std::string FormatMatrixText(const RunDescription& run, const std::vector<OutcomeTally>& tallies)
{
    std::string out;
    AppendFormat(out, "%zu army-1 setups against %zu army-2 setups, %u battles per pair (%s)\n\n", run.army1.size(),
           run.army2.size(), run.battlesPerPair, SeedRange(run).c_str());
    AppendFormat(out, "setups ranked by their mean share of wins over all opponents\n");
    AppendFormat(out, "%4s  %-7s %12s %12s %12s\n", "rank", "setup", "overall", "as army 1", "as army 2");
    int rank = 0;
    for (const RankedSetup& entry : RankSetups(run, tallies)) {
        AppendFormat(out, "%4d  %-7s %11.2f%%", ++rank, SetupText(entry.setup).c_str(), 100.0 * entry.overall);
        AppendMeanOrDash(out, entry.asArmy1);
        AppendMeanOrDash(out, entry.asArmy2);
        out += "\n";
    }
    return out;
}

std::string FormatMatrixJson(const RunDescription& run, const std::vector<OutcomeTally>& tallies)
{
    std::string out = "{\n";
    AppendFormat(out, "  \"battles_per_pair\": %u,\n", run.battlesPerPair);
    AppendFormat(out, "  \"first_seed\": %u,\n", run.firstSeed);
    AppendFormat(out, "  \"last_seed\": %u,\n", SeedOfBattle(run.firstSeed, run.battlesPerPair - 1ull));
    out += "  \"army1_setups\": ";
    AppendSetupListJson(out, run.army1);
    out += ",\n  \"army2_setups\": ";
    AppendSetupListJson(out, run.army2);
    out += ",\n  \"ranking\": [";
    const std::vector<RankedSetup> ranked = RankSetups(run, tallies);
    for (size_t r = 0; r < ranked.size(); ++r) {
        AppendFormat(out, "%s\n    {\"setup\": \"%s\", \"overall\": %.6f, \"as_army1\": ", r ? "," : "",
               SetupText(ranked[r].setup).c_str(), ranked[r].overall);
        AppendMeanOrNull(out, ranked[r].asArmy1);
        out += ", \"as_army2\": ";
        AppendMeanOrNull(out, ranked[r].asArmy2);
        out += "}";
    }
    out += "\n  ],\n  \"pairs\": [";
    const size_t columns = run.army2.size();
    for (size_t i = 0; i < run.army1.size(); ++i) {
        for (size_t j = 0; j < columns; ++j) {
            const OutcomeTally& tally = tallies[i * columns + j];
            AppendFormat(out, "%s\n    {\"army1\": \"%s\", \"army2\": \"%s\", \"battles\": %lld, \"outcomes\": ",
                   i + j ? "," : "", SetupText(run.army1[i]).c_str(), SetupText(run.army2[j]).c_str(),
                   (long long)tally.battles);
            AppendOutcomesJson(out, tally, "    ");
            AppendFormat(out, ", \"mean_live_machines\": [%.6f, %.6f], \"mean_durability\": [%.6f, %.6f]}",
                   tally.MeanLive(0), tally.MeanLive(1), tally.MeanDurability(0), tally.MeanDurability(1));
        }
    }
    out += "\n  ]\n}\n";
    return out;
}

std::string MatrixCsv(const RunDescription& run, const std::vector<OutcomeTally>& tallies)
{
    std::string out =
        "army1,army2,battles,army1_wins,army2_wins,both,neither,army1_share,army1_low,army1_high,"
        "army2_share,army2_low,army2_high,both_share,neither_share,annihilations,forced_ends,full_courses,"
        "mean_live1,mean_live2,mean_durability1,mean_durability2\n";
    const size_t columns = run.army2.size();
    for (size_t i = 0; i < run.army1.size(); ++i) {
        for (size_t j = 0; j < columns; ++j) {
            const OutcomeTally& t = tallies[i * columns + j];
            const Interval win1 = WilsonInterval(t.Count(Survivors::Army1Only), t.battles);
            const Interval win2 = WilsonInterval(t.Count(Survivors::Army2Only), t.battles);
            AppendFormat(out, "\"%s\",\"%s\",%lld,%lld,%lld,%lld,%lld,", SetupText(run.army1[i]).c_str(),
                   SetupText(run.army2[j]).c_str(), (long long)t.battles, (long long)t.Count(Survivors::Army1Only),
                   (long long)t.Count(Survivors::Army2Only), (long long)t.Count(Survivors::Both),
                   (long long)t.Count(Survivors::Neither));
            AppendFormat(out, "%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,%.6f,", t.Share(Survivors::Army1Only), win1.low,
                   win1.high, t.Share(Survivors::Army2Only), win2.low, win2.high, t.Share(Survivors::Both),
                   t.Share(Survivors::Neither));
            AppendFormat(out, "%lld,%lld,%lld,%.6f,%.6f,%.6f,%.6f\n", (long long)t.ends[size_t(BattleEnd::Annihilation)],
                   (long long)t.ends[size_t(BattleEnd::ForcedEnd)], (long long)t.ends[size_t(BattleEnd::FullCourse)],
                   t.MeanLive(0), t.MeanLive(1), t.MeanDurability(0), t.MeanDurability(1));
        }
    }
    return out;
}

