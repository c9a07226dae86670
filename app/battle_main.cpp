// korvanta-battle: runs one battle without a window and writes its log.
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "app/battle_data.h"
#include "app/battle_driver.h"
#include "app/random.h"
#include "app/shell_state.h"
#include "media/log/log.h"
#include "media/system/memory.h"
#include "media/system/system_state.h"

namespace {

constexpr int BadArguments = 2;

const char UsageText[] =
    "Usage: korvanta-battle --army1 X,Y,Z --army2 X,Y,Z [options]\n"
    "\n"
    "Runs one battle without a window and writes its log (Shift-JIS, CR LF).\n"
    "\n"
    "  --army1 X,Y,Z        squad rows 1 to 3 of the first army (army A)\n"
    "  --army2 X,Y,Z        squad rows 1 to 3 of the second army (army B)\n"
    "                       each row: 0 empty, 1 the first catalogue squad (three\n"
    "                       Volte), 2 the second (three Duga)\n"
    "  --seed S             seed of the random generator; any integer, its low\n"
    "                       32 bits are used (default: the current time in seconds)\n"
    "  --log PATH           the log file (default: Log.txt in the current directory);\n"
    "                       it is emptied first. A log that cannot be written loses\n"
    "                       its text; the battle still runs\n"
    "  --restart-at F1,F2   hold R (restart the battle) during these frames,\n"
    "                       counted from 0; the command runs at least until the last\n"
    "  --utf8               also print the log on standard output in UTF-8\n"
    "  --log-echo           also print the log on standard error in UTF-8\n"
    "                       (or set KORVANTA_LOG_ECHO=1)\n"
    "  --help               show this text\n"
    "\n"
    "The battle runs one turn per frame until it is over. Exit status: 0 when the\n"
    "battle ran, 2 for bad arguments.\n";

struct Options {
    uint32_t seed = 0;
    bool seedGiven = false;
    int armies[2][3] = {};
    bool armyGiven[2] = {false, false};
    std::string logPath;
    std::vector<int32_t> restartFrames;
    bool utf8 = false;
    bool help = false;
};

struct ArgumentError {
    std::string message;
};

// Any decimal integer, reduced to its low 32 bits (two's complement for negatives).
uint32_t ParseSeed(const char* text)
{
    const char* p = text;
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    if (*p == '\0')
        throw ArgumentError{"--seed: '" + std::string(text) + "' is not an integer"};
    uint32_t value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9')
            throw ArgumentError{"--seed: '" + std::string(text) + "' is not an integer"};
        value = value * 10u + uint32_t(*p - '0');
    }
    return negative ? 0u - value : value;
}

std::vector<std::string> SplitCommas(const char* text)
{
    std::vector<std::string> parts;
    std::string current;
    for (const char* p = text;; ++p) {
        if (*p == ',' || *p == '\0') {
            parts.push_back(current);
            current.clear();
            if (*p == '\0')
                break;
        } else {
            current += *p;
        }
    }
    return parts;
}

void ParseArmy(const char* option, const char* text, int (&rows)[3])
{
    const std::vector<std::string> parts = SplitCommas(text);
    if (parts.size() != 3)
        throw ArgumentError{std::string(option) + ": expected three rows X,Y,Z, got '" + text + "'"};
    for (int i = 0; i < 3; ++i) {
        if (parts[i] != "0" && parts[i] != "1" && parts[i] != "2")
            throw ArgumentError{std::string(option) + ": row " + std::to_string(i + 1) + " must be 0, 1 or 2, got '" +
                                parts[i] + "'"};
        rows[i] = parts[i][0] - '0';
    }
}

std::vector<int32_t> ParseFrames(const char* text)
{
    std::vector<int32_t> frames;
    for (const std::string& part : SplitCommas(text)) {
        bool digitsOnly = !part.empty() && part.size() <= 10;
        for (char c : part)
            digitsOnly = digitsOnly && c >= '0' && c <= '9';
        const long long value = digitsOnly ? std::atoll(part.c_str()) : -1;
        if (value < 0 || value > INT32_MAX)
            throw ArgumentError{"--restart-at: '" + part + "' is not a frame number (0 to 2147483647)"};
        frames.push_back(int32_t(value));
    }
    return frames;
}

Options ParseArguments(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                throw ArgumentError{arg + " needs a value"};
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--seed") {
            options.seed = ParseSeed(value());
            options.seedGiven = true;
        } else if (arg == "--army1" || arg == "--army2") {
            const int index = arg == "--army1" ? 0 : 1;
            ParseArmy(arg.c_str(), value(), options.armies[index]);
            options.armyGiven[index] = true;
        } else if (arg == "--log") {
            options.logPath = value();
            if (options.logPath.empty() || options.logPath.back() == '/')
                throw ArgumentError{"--log: '" + options.logPath + "' does not name a file"};
        } else if (arg == "--restart-at") {
            options.restartFrames = ParseFrames(value());
        } else if (arg == "--utf8") {
            options.utf8 = true;
        } else {
            throw ArgumentError{"unknown argument '" + arg + "' (see --help)"};
        }
    }
    if (options.help)
        return options;
    if (!options.armyGiven[0])
        throw ArgumentError{"--army1 is missing (see --help)"};
    if (!options.armyGiven[1])
        throw ArgumentError{"--army2 is missing (see --help)"};
    return options;
}

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
    if (!SetUpLog(options.logPath)) {
        std::fprintf(stderr, "korvanta-battle: --log: the folder of the log path is too long (at most 255 bytes)\n");
        return BadArguments;
    }
    if (options.utf8)
        media::SetLogMirror(stdout);

    media::LogStart();
    LoadPilotData();
    LoadWeaponData();
    LoadSquadData();

    // As the preparation screen does: each chosen row is a copy of a catalogue squad.
    for (int a = 0; a < 2; ++a) {
        for (int row = 0; row < 3; ++row) {
            const int choice = options.armies[a][row];
            if (choice != 0)
                menuArmies[a].squads[row] = squadCatalog[choice - 1];
        }
    }

    SeedRandom(options.seedGiven ? options.seed : uint32_t(std::time(nullptr)));
    battleTurn = 0;

    std::set<int32_t> restartFrames(options.restartFrames.begin(), options.restartFrames.end());
    const int64_t lastRestart = restartFrames.empty() ? -1 : *restartFrames.rbegin();

    for (int64_t frame = 0;; ++frame) {
        const bool holdR = frame <= lastRestart && restartFrames.count(int32_t(frame)) != 0;
        KeyPressCounter[KeyR] = holdR ? KeyPressCounter[KeyR] + 1 : 0;
        const int over = AdvanceBattle();
        if (over == 1 && battleTurn > MeleeTurn && frame >= lastRestart)
            break;
    }

    media::LogMemoryDump();
    if (options.utf8)
        media::SetLogMirror(nullptr);
    return 0;
}
