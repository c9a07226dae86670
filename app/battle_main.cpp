// korvanta-battle: runs one battle without a window and writes its log, or
// many battles without a log and prints their statistics.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/battle_data.h"
#include "app/battle_data_file.h"
#include "app/battle_options.h"
#include "app/battle_outcome.h"
#include "app/battle_stats_command.h"
#include "app/battle_stats_files.h"
#include "app/version.h"
#include "media/log/log.h"
#include "media/core/memory.h"
#include "media/core/system_state.h"

namespace {

const char UsageText[] =
    "Usage: korvanta-battle --army1 X,Y,Z --army2 X,Y,Z [options]\n"
    "   or: korvanta-battle --runs N --army1 X,Y,Z --army2 X,Y,Z [statistics options]\n"
    "   or: korvanta-battle --matrix --runs N [--army1 LIST] [--army2 LIST] [statistics options]\n"
    "   or: korvanta-battle --dump-data FILE [--data FILE]\n"
    "   or: korvanta-battle --merge PART... [--json] [--csv FILE] [--chart FILE.png]\n"
    "\n"
    "Runs one battle without a window and writes its log (Shift-JIS, CR LF), or\n"
    "runs many battles without a log and prints how they came out.\n"
    "\n"
    "  --army1 X,Y,Z        squad rows 1 to 3 of the first army (army A)\n"
    "  --army2 X,Y,Z        squad rows 1 to 3 of the second army (army B)\n"
    "                       each row: 0 empty, 1 the first catalogue squad (three\n"
    "                       Volte), 2 the second (three Duga), and so on up to the\n"
    "                       number of squads a --data file holds\n"
    "  --data FILE          battle data (JSON; see docs/BATTLE_DATA.md) in place of\n"
    "                       the built-in pilots, machine types and squads; a file\n"
    "                       with a fault is named with the place and the fault, and\n"
    "                       the command ends with status 2 before any battle\n"
    "  --dump-data FILE     write the data in use (the built-in data without --data)\n"
    "                       as a battle data file, and run nothing\n"
    "  --seed S             seed of the random generator; any integer, its low\n"
    "                       32 bits are used (default: the current time in seconds;\n"
    "                       1 with --runs)\n"
    "  --log PATH           the log file (default: Log.txt in the current directory);\n"
    "                       it is emptied first. A log that cannot be written loses\n"
    "                       its text and is named once on standard error; the\n"
    "                       battle still runs and the exit status stays 0\n"
    "  --restart-at F1,F2   hold R (restart the battle) during these frames,\n"
    "                       counted from 0; the command runs at least until the last\n"
    "  --utf8               also print the log on standard output in UTF-8 (even\n"
    "                       when the file cannot be written)\n"
    "  --log-echo           also print the log on standard error in UTF-8 (likewise)\n"
    "                       (or set KORVANTA_LOG_ECHO=1)\n"
    "  --help               show this text\n"
    "  --version            show the version (and the commit it was built from)\n"
    "\n"
    "Statistics (the log is not started; --log, --utf8 and --restart-at are refused):\n"
    "  --runs N             N battles per pair of setups, with seeds S, S+1, ...,\n"
    "                       S+N-1 (modulo 2^32); each plays exactly as the single\n"
    "                       battle with that seed. N is 1 to 4294967295\n"
    "  --matrix             every army-1 setup against every army-2 setup: all 27\n"
    "                       of each, or the lists given as --army1 1,0,0:2,2,2\n"
    "                       (setups separated by colons, each at most once); needs\n"
    "                       --runs. Every setup is taken only up to 4 squads (125\n"
    "                       setups); a larger catalogue needs both lists\n"
    "  --vary POINTER=FROM:TO:STEP\n"
    "                       run everything once for each value FROM, FROM+STEP, ...\n"
    "                       up to TO of the whole number at the JSON pointer in the\n"
    "                       data (--data or the built-in data, see --dump-data),\n"
    "                       with the same seeds; several make a grid. The summary,\n"
    "                       JSON and CSV give each value's outcomes, --chart army\n"
    "                       1's share of wins against the value. A field no battle\n"
    "                       of the run reads is refused\n"
    "  --json               print the summary as JSON instead of text\n"
    "  --csv FILE           write a CSV file: one row per battle with --runs, one\n"
    "                       row per pair of setups with --matrix\n"
    "  --chart FILE.png     draw a chart: the ending turns of a single setup, or a\n"
    "                       heat map of army 1's share of wins for --matrix (at\n"
    "                       most 125 setups a side)\n"
    "  --shard K/N          run only the K-th (from 0) of N fixed slices of the\n"
    "                       battles (values x pairs x seeds) and write them with\n"
    "                       --part FILE instead of printing; with --csv the part\n"
    "                       holds the per-battle rows (the CSV is written by --merge)\n"
    "  --part FILE          where --shard writes its part\n"
    "  --merge PART...      add up the parts of all N shards of one command and print\n"
    "                       and write (--json, --csv, --chart) exactly what the\n"
    "                       command prints and writes on one machine\n"
    "  --jobs J             battles spread over J worker processes (default: the\n"
    "                       number of processors); the output is the same for any J\n"
    "  --timing             print battles per second and the time taken on standard\n"
    "                       error even when it is not a terminal\n"
    "\n"
    "The summary goes to standard output; a progress line and the timing go to\n"
    "standard error when it is a terminal. Files are written under a temporary\n"
    "name and renamed when complete (a device or FIFO such as /dev/stdout is\n"
    "written in place). See docs/STATISTICS.md for the outcomes.\n"
    "\n"
    "An option given twice counts with its last value (--vary adds a field).\n"
    "\n"
    "The battle runs one turn per frame until it is over. Exit status: 0 when the\n"
    "battle (or every battle) ran, 1 when an output could not be written, 2 for\n"
    "bad arguments.\n";


std::string CurrentDirectory()
{
    std::vector<char> buffer(4096);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE)
            return ".";
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// The working directory as the log's folder. One too deep for the log's field
// is named relatively: the command never changes directory, and valid
// arguments must not fail because of where the command was started.
std::string WorkingDirectoryForLog()
{
    const std::string directory = CurrentDirectory();
    return directory.size() < sizeof media::systemState.logDirectory ? directory : ".";
}

// Points the log at the chosen file; false when the folder does not fit the log's field.
bool SetUpLog(const std::string& logPath)
{
    std::string directory;
    std::string fileName;
    if (logPath.empty()) {
        directory = WorkingDirectoryForLog();
        fileName = "Log.txt";
    } else {
        const size_t slash = logPath.rfind('/');
        if (slash == std::string::npos) {
            directory = WorkingDirectoryForLog();
            fileName = logPath;
        } else {
            directory = slash == 0 ? "/" : logPath.substr(0, slash);
            fileName = logPath.substr(slash + 1);
        }
    }
    return media::SetLogLocation(directory.c_str(), fileName.c_str());
}

void LoadBattleData()
{
    LoadPilotData();
    LoadWeaponData();
    LoadSquadData();
}

int RunSingleBattle(const Options& options)
{
    if (!SetUpLog(options.logPath)) {
        std::fprintf(stderr, "korvanta-battle: --log: the folder of the log path is too long (at most 255 bytes)\n");
        return BadArguments;
    }
    if (options.utf8)
        media::SetLogMirror(stdout);

    media::LogStart();
    LoadBattleData();
    // As the preparation screen does: each chosen row is a copy of a catalogue squad.
    SetUpMenuArmies(options.armies[0][0], options.armies[1][0]);
    PlayBattle(options.seedGiven ? options.seed : uint32_t(std::time(nullptr)), options.restartFrames);

    media::LogMemoryDump();
    if (options.utf8)
        media::SetLogMirror(nullptr);
    return 0;
}


int Report(const char* what, const std::string& message)
{
    std::fprintf(stderr, "korvanta-battle: %s%s\n", what, message.c_str());
    return Failed;
}

// The data a sweep varies, as a document: the --data file's, or the built-in data's.

int DumpData(const std::string& path)
{
    nlohmann::ordered_json document;
    std::string error;
    if (!DocumentFromCatalog(ActiveCatalog(), &document, &error))
        return Report("--dump-data: ", error);
    OutputFile file;
    if (!file.Open(path, &error))
        return Report("--dump-data: ", error);
    file.Write(DataFileText(document));
    if (!file.Commit(&error))
        return Report("--dump-data: ", error);
    return 0;
}


}  // namespace


int main(int argc, char** argv)
{
    argc = media::ConfigureLogEchoFromCommandLine(argc, argv);

    Options options;
    try {
        options = ParseArguments(argc, argv);
    } catch (const ArgumentError& error) {
        std::fprintf(stderr, "korvanta-battle: %s\n", error.message.c_str());
        return BadArguments;
    }
    if (options.help) {
        std::fputs(UsageText, stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(VersionText("korvanta-battle").c_str(), stdout);
        return 0;
    }
    if (!options.dataPath.empty()) {
        BattleCatalog catalog;
        std::string error;
        if (!LoadBattleDataFile(options.dataPath, &catalog, &error)) {
            std::fprintf(stderr, "korvanta-battle: --data: %s\n", error.c_str());
            return BadArguments;
        }
        UseBattleCatalog(catalog);
    }
    if (!options.dumpPath.empty())
        return DumpData(options.dumpPath);
    try {
        CheckSetups(options, int(ActiveCatalog().squads.size()));
    } catch (const ArgumentError& error) {
        std::fprintf(stderr, "korvanta-battle: %s\n", error.message.c_str());
        return BadArguments;
    }
    if (options.merge)
        return RunMerge(options);
    return options.Statistics() ? RunStatistics(options) : RunSingleBattle(options);
}
