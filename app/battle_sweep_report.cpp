#include "app/battle_sweep_report.h"

#include <algorithm>
#include <cstdio>

#include "app/string_append.h"

namespace {

constexpr Survivors ShownOutcomes[] = {Survivors::Army1Only, Survivors::Army2Only, Survivors::Both,
                                       Survivors::Neither};

std::string SetupList(const std::vector<ArmySetup>& setups)
{
    std::string text;
    for (size_t i = 0; i < setups.size(); ++i) {
        if (i)
            text += ':';
        text += SetupText(setups[i]);
    }
    return text;
}

std::string JsonText(const std::string& text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

OutcomeTally SweepResult::PointTally(size_t point) const
{
    OutcomeTally tally;
    for (size_t pair = 0; pair < Pairs(); ++pair)
        tally.Merge(tallies[point * Pairs() + pair]);
    return tally;
}

std::string FormatSweepText(const SweepResult& sweep)
{
    std::string out;
    AppendFormat(out, "sweep of %zu value%s: army 1 %s against army 2 %s, %u battles per pair and value (%s)\n",
           sweep.points.size(), sweep.points.size() == 1 ? "" : "s", SetupList(sweep.run.army1).c_str(),
           SetupList(sweep.run.army2).c_str(), sweep.run.battlesPerPair, SeedRange(sweep.run).c_str());
    for (size_t v = 0; v < sweep.variations.size(); ++v)
        AppendFormat(out, "value %zu: %s\n", v + 1, sweep.variations[v].Text().c_str());
    out += "\n";
    for (size_t v = 0; v < sweep.variations.size(); ++v)
        AppendFormat(out, "%8s ", ("value " + std::to_string(v + 1)).c_str());
    AppendFormat(out, "%10s  %-26s %-26s %8s %8s\n", "battles", "army 1 wins [95%]", "army 2 wins [95%]", "both",
           "neither");
    for (size_t p = 0; p < sweep.points.size(); ++p) {
        for (int64_t value : sweep.points[p])
            AppendFormat(out, "%8lld ", (long long)value);
        const OutcomeTally tally = sweep.PointTally(p);
        AppendFormat(out, "%10lld ", (long long)tally.battles);
        for (Survivors kind : {Survivors::Army1Only, Survivors::Army2Only}) {
            const Interval interval = WilsonInterval(tally.Count(kind), tally.battles);
            char cell[64];
            std::snprintf(cell, sizeof cell, "%6.2f%% [%6.2f%%, %6.2f%%]", 100.0 * tally.Share(kind),
                          100.0 * interval.low, 100.0 * interval.high);
            AppendFormat(out, " %-26s", cell);
        }
        AppendFormat(out, " %7.2f%% %7.2f%%\n", 100.0 * tally.Share(Survivors::Both), 100.0 * tally.Share(Survivors::Neither));
    }
    return out;
}

std::string FormatSweepJson(const SweepResult& sweep)
{
    std::string out = "{\n  \"vary\": [";
    for (size_t v = 0; v < sweep.variations.size(); ++v) {
        const Variation& variation = sweep.variations[v];
        AppendFormat(out, "%s\n    {\"pointer\": %s, \"from\": %lld, \"to\": %lld, \"step\": %lld}", v ? "," : "",
               JsonText(variation.pointer).c_str(), (long long)variation.from, (long long)variation.to,
               (long long)variation.step);
    }
    out += "\n  ],\n";
    AppendFormat(out, "  \"battles_per_pair\": %u,\n", sweep.run.battlesPerPair);
    AppendFormat(out, "  \"first_seed\": %u,\n", sweep.run.firstSeed);
    AppendFormat(out, "  \"last_seed\": %u,\n", SeedOfBattle(sweep.run.firstSeed, sweep.run.battlesPerPair - 1ull));
    for (int a = 0; a < 2; ++a) {
        const std::vector<ArmySetup>& setups = a == 0 ? sweep.run.army1 : sweep.run.army2;
        AppendFormat(out, "  \"army%d_setups\": [", a + 1);
        for (size_t i = 0; i < setups.size(); ++i)
            AppendFormat(out, "%s\"%s\"", i ? ", " : "", SetupText(setups[i]).c_str());
        out += "],\n";
    }
    out += "  \"values\": [";
    for (size_t p = 0; p < sweep.points.size(); ++p) {
        out += p ? ",\n    {\"values\": [" : "\n    {\"values\": [";
        for (size_t v = 0; v < sweep.points[p].size(); ++v)
            AppendFormat(out, "%s%lld", v ? ", " : "", (long long)sweep.points[p][v]);
        const OutcomeTally tally = sweep.PointTally(p);
        AppendFormat(out, "], \"battles\": %lld, \"outcomes\": ", (long long)tally.battles);
        AppendOutcomesJson(out, tally, "    ");
        out += "}";
    }
    out += "\n  ]\n}\n";
    return out;
}

std::string SweepCsv(const SweepResult& sweep)
{
    std::string out;
    for (size_t v = 0; v < sweep.variations.size(); ++v)
        AppendFormat(out, "value%zu,", v + 1);
    out += "army1,army2,battles,army1_wins,army2_wins,both,neither,army1_share,army1_low,army1_high,"
           "army2_share,army2_low,army2_high\n";
    for (size_t p = 0; p < sweep.points.size(); ++p) {
        for (size_t i = 0; i < sweep.run.army1.size(); ++i) {
            for (size_t j = 0; j < sweep.run.army2.size(); ++j) {
                const OutcomeTally& t = sweep.tallies[p * sweep.Pairs() + i * sweep.run.army2.size() + j];
                for (int64_t value : sweep.points[p])
                    AppendFormat(out, "%lld,", (long long)value);
                AppendFormat(out, "\"%s\",\"%s\",%lld", SetupText(sweep.run.army1[i]).c_str(),
                       SetupText(sweep.run.army2[j]).c_str(), (long long)t.battles);
                for (Survivors kind : ShownOutcomes)
                    AppendFormat(out, ",%lld", (long long)t.Count(kind));
                for (Survivors kind : {Survivors::Army1Only, Survivors::Army2Only}) {
                    const Interval interval = WilsonInterval(t.Count(kind), t.battles);
                    AppendFormat(out, ",%.6f,%.6f,%.6f", t.Share(kind), interval.low, interval.high);
                }
                out += "\n";
            }
        }
    }
    return out;
}

