#include "app/battle_stats_command.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "app/battle_data.h"
#include "app/battle_data_file.h"
#include "app/battle_shard.h"
#include "app/battle_stats.h"
#include "app/battle_stats_chart.h"
#include "app/battle_stats_files.h"
#include "app/battle_stats_progress.h"
#include "app/battle_stats_run.h"
#include "app/battle_stats_workers.h"
#include "app/battle_sweep_report.h"

namespace {

std::vector<SquadLabel> SquadLabels(const std::vector<Squad>& squads)
{
    std::vector<SquadLabel> labels;
    for (const Squad& squad : squads) {
        SquadLabel label;
        label.name = squad.machines[0].name;
        for (const Machine& machine : squad.machines) {
            if (machine.typeId == 0)
                continue;
            ++label.machines;
            label.mixed = label.mixed || machine.name != label.name;
        }
        labels.push_back(label);
    }
    return labels;
}

int Report(const char* what, const std::string& message)
{
    std::fprintf(stderr, "korvanta-battle: %s%s\n", what, message.c_str());
    return Failed;
}

// The data a sweep varies, as a document: the --data file's, or the built-in data's.
bool BaseDocument(const Options& options, nlohmann::ordered_json* document, std::string* error)
{
    if (!options.dataPath.empty())
        return ReadDataDocument(options.dataPath, document, error);
    return DocumentFromCatalog(BuiltInCatalog(), document, error);
}

// The summary, CSV and chart of finished battles.
int WriteResults(const Options& options, const StatisticsPlan& plan, const std::vector<OutcomeTally>& tallies,
                 OutputFile& csv, OutputFile& chart)
{
    const RunDescription& run = plan.run;
    std::string error;
    SweepResult sweep;
    if (!options.variations.empty()) {
        sweep.run = run;
        sweep.variations = options.variations;
        sweep.points = SweepPoints(options.variations);
        sweep.tallies = tallies;
    }
    const bool swept = !options.variations.empty();
    if (csv.IsOpen() && swept)
        csv.Write(SweepCsv(sweep));
    else if (csv.IsOpen() && options.matrix)
        csv.Write(MatrixCsv(run, tallies));
    if (chart.IsOpen()) {
        const std::string& path = chart.ReleaseTemporaryPath();
        bool drawn;
        if (swept) {
            std::vector<OutcomeTally> points;
            for (size_t p = 0; p < sweep.points.size(); ++p)
                points.push_back(sweep.PointTally(p));
            drawn = DrawSweepChart(run, options.variations[0].pointer, options.variations[0].Values(), points, path,
                                   &error);
        } else {
            drawn = options.matrix ? DrawMatrixChart(run, tallies, path, &error)
                                   : DrawEndTurnChart(run, tallies[0], path, &error);
        }
        if (!drawn)
            return Report("--chart: ", error);
    }

    std::string summary;
    if (swept)
        summary = options.json ? FormatSweepJson(sweep) : FormatSweepText(sweep);
    else if (options.matrix)
        summary = options.json ? FormatMatrixJson(run, tallies) : FormatMatrixText(run, tallies);
    else
        summary = options.json ? FormatRunsJson(run, tallies[0]) : FormatRunsText(run, tallies[0]);
    std::fwrite(summary.data(), 1, summary.size(), stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return Report("cannot write the summary to standard output: ", std::strerror(errno));

    if (csv.IsOpen() && !csv.Commit(&error))
        return Report("--csv: ", error);
    if (!options.chartPath.empty() && !chart.Commit(&error))
        return Report("--chart: ", error);
    return 0;
}

// Whether the CSV holds one row per battle (plain --runs), which parts must then carry.
bool BattleRows(const Options& options)
{
    return !options.csvPath.empty() && !options.matrix && options.variations.empty();
}

// What the battles are: the description and (without --vary) the catalogue in use.
RunDescription DescribeRun(const Options& options)
{
    RunDescription run;
    run.firstSeed = options.seedGiven ? options.seed : 1u;
    run.battlesPerPair = options.runs;
    for (int a = 0; a < 2; ++a) {
        std::vector<ArmySetup>& list = a == 0 ? run.army1 : run.army2;
        list = options.armyGiven[a] ? options.armies[a] : AllSetups(int(ActiveCatalog().squads.size()));
    }
    run.squads = SquadLabels(ActiveCatalog().squads);
    return run;
}

std::string SetupListText(const std::vector<ArmySetup>& setups)
{
    std::string text;
    for (size_t i = 0; i < setups.size(); ++i) {
        if (i)
            text += ':';
        text += SetupText(setups[i]);
    }
    return text;
}

// The arguments that change results, one a line, as --merge reads them back:
// not --shard, --part, --jobs, --json, --timing, --chart or output paths.
std::string SettingsText(const Options& options, const RunDescription& run)
{
    std::string text = "--runs\n" + std::to_string(run.battlesPerPair) + "\n--seed\n" + std::to_string(run.firstSeed) + "\n";
    if (options.matrix)
        text += "--matrix\n";
    for (int a = 0; a < 2; ++a) {
        if (options.armyGiven[a]) {
            text += a == 0 ? "--army1\n" : "--army2\n";
            text += SetupListText(options.armies[a]);
            text += '\n';
        }
    }
    for (const Variation& variation : options.variations)
        text += "--vary\n" + variation.Text() + "\n";
    return text;
}

int WritePart(const Options& options, const Part& part)
{
    OutputFile file;
    std::string error;
    if (!file.Open(options.partPath, &error) || !file.Write(PartText(part)) || !file.Commit(&error))
        return Report("--part: ", error.empty() ? "cannot be written" : error);
    return 0;
}

}  // namespace

int RunStatistics(const Options& options)
{
    StatisticsPlan plan;
    RunDescription& run = plan.run;
    run = DescribeRun(options);

    // Every value and pair keeps its counts (about 1 kB) until the end.
    constexpr uint64_t MostTallies = 200000;
    uint64_t points = 1;
    for (const Variation& variation : options.variations)
        points *= variation.Values().size();
    if (points * plan.Pairs() > MostTallies) {
        std::fprintf(stderr,
                     "korvanta-battle: %llu values x %zu pairs of setups make more than %llu counts to keep; split "
                     "the run into smaller sweeps\n",
                     (unsigned long long)points, plan.Pairs(), (unsigned long long)MostTallies);
        return BadArguments;
    }

    std::string error;
    nlohmann::ordered_json base;
    if ((!options.variations.empty() || options.shards) && !BaseDocument(options, &base, &error)) {
        std::fprintf(stderr, "korvanta-battle: %s\n", error.c_str());
        return BadArguments;
    }
    if (!options.variations.empty()) {
        if (!SweepCatalogs(base, options.dataPath.empty() ? "(built-in data)" : options.dataPath, options.variations,
                           run.army1, run.army2, &plan.catalogs, &error)) {
            std::fprintf(stderr, "korvanta-battle: %s\n", error.c_str());
            return BadArguments;
        }
    } else {
        plan.catalogs = {ActiveCatalog()};
    }

    // A shard plays its slice only and writes it as a part.
    uint64_t first = 0, count = plan.Total();
    Part part;
    if (options.shards) {
        ShardSlice(plan.Total(), options.shard, options.shards, &first, &count);
        part.settings = SettingsText(options, run);
        part.data = DataFileText(base);
        part.shard = options.shard;
        part.shards = options.shards;
        part.first = first;
        part.count = count;
        part.total = plan.Total();
        part.hasRows = BattleRows(options);
    }

    // Outputs are claimed before the work, so that a place that cannot be
    // written is reported at once.
    OutputFile csv, chart;
    if (!options.shards) {
        if (!options.csvPath.empty() && !csv.Open(options.csvPath, &error))
            return Report("--csv: ", error);
        if (!options.chartPath.empty() && !chart.Open(options.chartPath, &error))
            return Report("--chart: ", error);
    }

    std::vector<OutcomeTally> tallies(plan.catalogs.size() * plan.Pairs());
    const bool battleRows = BattleRows(options);
    if (battleRows && !options.shards)
        csv.Write(BattleCsvHeader());
    std::string rows;
    const BattleSink each = [&](uint64_t battle, const BattleOutcome& outcome) {
        if (!battleRows)
            return;
        const uint64_t pair = battle / run.battlesPerPair;
        rows += BattleCsvRow(SeedOfBattle(run.firstSeed, battle % run.battlesPerPair), run.army1[pair / run.army2.size()],
                             run.army2[pair % run.army2.size()], outcome);
        if (!options.shards && rows.size() >= (1u << 20)) {
            csv.Write(rows);
            rows.clear();
        }
    };
    ProgressBar progressBar;
    const ProgressSink progress = [&](uint64_t done, uint64_t total) { progressBar.Update(done, total); };

    const double start = MonotonicSeconds();
    const int jobs = options.jobs > 0 ? options.jobs : AvailableProcessors();
    const bool ran = PlayPlan(plan, first, count, jobs, &tallies, each, progress, &error);
    const double elapsed = MonotonicSeconds() - start;
    progressBar.Finish();
    if (!ran)
        return Report("", error);

    int status;
    if (options.shards) {
        part.tallies = std::move(tallies);
        part.rows = std::move(rows);
        status = WritePart(options, part);
    } else {
        if (battleRows)
            csv.Write(rows);
        status = WriteResults(options, plan, tallies, csv, chart);
    }
    if (status != 0)
        return status;

    if (options.timing || isatty(STDERR_FILENO) == 1) {
        const double battles = double(count);
        std::fprintf(stderr, "korvanta-battle: %.0f battles in %.3f s, %.0f battles/s, %d job%s\n", battles, elapsed,
                     elapsed > 0 ? battles / elapsed : 0.0, jobs, jobs == 1 ? "" : "s");
    }
    return 0;
}

int RunMerge(const Options& merge)
{
    std::vector<Part> parts(merge.parts.size());
    std::string error;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!ReadPart(merge.parts[i], &parts[i], &error)) {
            std::fprintf(stderr, "korvanta-battle: --merge: %s\n", error.c_str());
            return BadArguments;
        }
    }
    Part whole;
    if (!MergeParts(merge.parts, parts, &whole, &error)) {
        std::fprintf(stderr, "korvanta-battle: --merge: %s\n", error.c_str());
        return BadArguments;
    }

    // What was run, read back as the shards' own command line had it.
    std::vector<std::string> arguments{"korvanta-battle"};
    for (size_t at = 0; at < whole.settings.size();) {
        const size_t end = whole.settings.find('\n', at);
        arguments.push_back(whole.settings.substr(at, end - at));
        at = end == std::string::npos ? whole.settings.size() : end + 1;
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    Options options;
    BattleCatalog catalog;
    try {
        options = ParseArguments(int(argv.size()), argv.data());
        nlohmann::ordered_json document = nlohmann::ordered_json::parse(whole.data);
        if (!CatalogFromDocument(document, merge.parts[0] + " (its data)", &catalog, &error))
            throw ArgumentError{error};
    } catch (const ArgumentError& e) {
        std::fprintf(stderr, "korvanta-battle: --merge: %s: %s\n", merge.parts[0].c_str(), e.message.c_str());
        return BadArguments;
    } catch (const nlohmann::ordered_json::exception& e) {
        std::fprintf(stderr, "korvanta-battle: --merge: %s: its data cannot be read\n", merge.parts[0].c_str());
        return BadArguments;
    }
    options.json = merge.json;
    options.csvPath = merge.csvPath;
    options.chartPath = merge.chartPath;
    options.timing = merge.timing;
    UseBattleCatalog(catalog);

    StatisticsPlan plan;
    plan.run = DescribeRun(options);
    if (plan.Pairs() * whole.tallies.size() == 0 || whole.tallies.size() % plan.Pairs() != 0) {
        std::fprintf(stderr, "korvanta-battle: --merge: %s: its counts do not fit its arguments\n",
                     merge.parts[0].c_str());
        return BadArguments;
    }
    if (BattleRows(options) && !whole.hasRows) {
        std::fprintf(stderr, "korvanta-battle: --merge: --csv: the parts hold no per-battle rows (run the shards "
                             "with --csv)\n");
        return BadArguments;
    }

    OutputFile csv, chart;
    if (!options.csvPath.empty() && !csv.Open(options.csvPath, &error))
        return Report("--csv: ", error);
    if (!options.chartPath.empty() && !chart.Open(options.chartPath, &error))
        return Report("--chart: ", error);
    if (BattleRows(options)) {
        csv.Write(BattleCsvHeader());
        csv.Write(whole.rows);
    }
    return WriteResults(options, plan, whole.tallies, csv, chart);
}
