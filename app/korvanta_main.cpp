// The program korvanta: the battle simulator in its window, or on the
// headless desktop driven by an input script.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "app/battle_data.h"
#include "app/battle_data_file.h"
#include "app/random.h"
#include "app/shell.h"
#include "app/version.h"
#include "media/image/picture_fallback.h"
#include "media/log/log.h"
#include "media/platform/platform.h"
#include "media/system/window.h"

namespace {

constexpr int UsageError = 2;
constexpr int NoDisplay = 1;

void PrintHelp()
{
    std::printf(
        "Usage: korvanta [--seed S] [--data FILE] [--scale N|auto] [--headless --script FILE [--desktop ID]] [--log-echo]\n"
        "   or: korvanta --help | --version\n"
        "\n"
        "Runs the battle simulator in a 700 x 400 window (N times larger with\n"
        "--scale N). Log.txt in the current directory receives the whole report\n"
        "(Shift-JIS, CR LF line ends). When it cannot be written, standard error\n"
        "says so once, with the reason, and the program runs on without it (the\n"
        "exit status does not change).\n"
        "\n"
        "Options:\n"
        "  --seed S         seed of the random generator instead of the current time;\n"
        "                   any integer, its low 32 bits are used. A session with the\n"
        "                   same seed and squads logs the same battle as\n"
        "                   korvanta-battle --seed S\n"
        "  --data FILE      battle data (JSON; see docs/BATTLE_DATA.md) in place of\n"
        "                   the built-in pilots, machine types and squads; the\n"
        "                   preparation screen lists the file's squads. A file with\n"
        "                   a fault is named with the place and the fault (status 2)\n"
        "  --scale N        show the window N times larger (N = 1 to 4; default 1,\n"
        "                   or $KORVANTA_SCALE): each screen pixel becomes N x N and\n"
        "                   the mouse is read at the same scale. The drawn screen,\n"
        "                   Log.txt and KORVANTA_SCREEN_DUMP do not change\n"
        "  --scale auto     the largest N (at most 4) whose window fits the desktop's\n"
        "                   usable area (at least 1)\n"
        "  --headless       run on the virtual headless desktop instead of a display;\n"
        "                   needs --script\n"
        "  --script FILE    input script for the headless desktop (see docs/HEADLESS.md)\n"
        "  --desktop ID     headless desktop id; copies on the same id see each other's\n"
        "                   windows (default: $KORVANTA_HEADLESS_DESKTOP, else \"0\")\n"
        "  --log-echo       also print every log text to standard error in UTF-8\n"
        "                   (as does KORVANTA_LOG_ECHO=1), whether or not Log.txt\n"
        "                   could be written\n"
        "  --help           show this text\n"
        "  --version        show the version (and the commit it was built from)\n"
        "\n"
        "An option given twice counts with its last value.\n"
        "\n"
        "Environment:\n"
        "  KORVANTA_GRAPHICS=software  draw in memory only (no OpenGL)\n"
        "  KORVANTA_GRAPHICS=gl        draw through OpenGL even on a software\n"
        "                              rasteriser (llvmpipe), which is otherwise\n"
        "                              counted as no GPU\n"
        "  KORVANTA_SCALE=N|auto       as --scale, which overrides it; --headless\n"
        "                              ignores it\n"
        "\n"
        "Preparation screen: click a row's button, then a squad in its list; B starts\n"
        "the battle. Battle screen: one turn a frame; R (held) starts it again, N\n"
        "goes back once it is over.\n"
        "Keys: Escape and then any key ends the program; so does closing the window.\n"
        "\n"
        "Exit status: 0 after a normal end, 255 when the start fails (for instance a\n"
        "second copy on the same display), 1 when there is no display, 2 for bad\n"
        "arguments.\n");
}

// An installed korvanta finds its pictures under share/korvanta when the
// working folder has none: the folder is found from the program's own file
// and the relative path the build computed from the install folders, so the
// installed tree can move as a whole. In the build tree there is no such
// folder and nothing changes.
void UsePicturesBesideProgram()
{
#ifdef KORVANTA_DATA_FROM_PROGRAM
    char program[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program);
    if (length <= 0 || size_t(length) >= sizeof program)
        return;
    const std::string path(program, size_t(length));
    const std::string folder = path.substr(0, path.rfind('/') + 1) + KORVANTA_DATA_FROM_PROGRAM;
    char resolved[PATH_MAX];
    if (realpath(folder.c_str(), resolved))
        media::SetPictureFallbackFolder(resolved);
#endif
}

int Refuse(const char* message)
{
    std::fprintf(stderr, "korvanta: %s (see --help)\n", message);
    return UsageError;
}

constexpr int ScreenWidthPixels = 700, ScreenHeightPixels = 400;
constexpr int LargestScale = 4;
constexpr int AutoScale = 0;

// "1" to "4", or "auto" (AutoScale); false for anything else.
bool ParseScaleText(const char* text, int* scale)
{
    if (std::strcmp(text, "auto") == 0) {
        *scale = AutoScale;
        return true;
    }
    if (text[0] >= '1' && text[0] <= '0' + LargestScale && text[1] == '\0') {
        *scale = text[0] - '0';
        return true;
    }
    return false;
}

// The largest scale whose window fits the desktop's usable area (the whole
// desktop when the backend cannot say), at least 1.
int ScaleFittingDesktop()
{
    int32_t width = 0, height = 0;
    if (!media::platform::DesktopUsableSize(&width, &height)) {
        width = media::platform::DesktopWidth();
        height = media::platform::DesktopHeight();
    }
    int scale = std::min({LargestScale, int(width / ScreenWidthPixels), int(height / ScreenHeightPixels)});
    return std::max(scale, 1);
}

}  // namespace

int main(int argc, char** argv)
{
    argc = media::ConfigureLogEchoFromCommandLine(argc, argv);

    std::string error;
    bool headless = false;
    int scale = 1;
    bool scaleGiven = false;
    std::string scriptPath;
    std::string desktopId;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            PrintHelp();
            return 0;
        } else if (argument == "--version") {
            std::fputs(VersionText("korvanta").c_str(), stdout);
            return 0;
        } else if (argument == "--seed") {
            uint32_t seed = 0;
            if (i + 1 >= argc)
                return Refuse("--seed needs a value");
            if (!ParseSeedText(argv[++i], &seed)) {
                std::string message = "--seed: '" + std::string(argv[i]) + "' is not an integer";
                return Refuse(message.c_str());
            }
            SetSessionSeed(seed);
        } else if (argument == "--data") {
            if (i + 1 >= argc)
                return Refuse("--data needs a value");
            BattleCatalog catalog;
            if (!LoadBattleDataFile(argv[++i], &catalog, &error)) {
                std::fprintf(stderr, "korvanta: --data: %s\n", error.c_str());
                return UsageError;
            }
            UseBattleCatalog(catalog);
        } else if (argument == "--scale") {
            if (i + 1 >= argc)
                return Refuse("--scale needs a value");
            if (!ParseScaleText(argv[++i], &scale)) {
                std::string message = "--scale: '" + std::string(argv[i]) + "' is not 1, 2, 3, 4 or auto";
                return Refuse(message.c_str());
            }
            scaleGiven = true;
        } else if (argument == "--headless") {
            headless = true;
        } else if (argument == "--script" || argument == "--desktop") {
            if (i + 1 >= argc) {
                std::string message = argument + " needs a value";
                return Refuse(message.c_str());
            }
            (argument == "--script" ? scriptPath : desktopId) = argv[++i];
        } else {
            std::string message = "unknown argument '" + argument + "'";
            return Refuse(message.c_str());
        }
    }

    // A headless run is a test's: the user's preferred size must not change
    // its screenshots or its script's coordinates.
    const char* scaleFromEnvironment = std::getenv("KORVANTA_SCALE");
    if (!scaleGiven && !headless && scaleFromEnvironment && *scaleFromEnvironment &&
        !ParseScaleText(scaleFromEnvironment, &scale)) {
        std::string message = "KORVANTA_SCALE: '" + std::string(scaleFromEnvironment) + "' is not 1, 2, 3, 4 or auto";
        return Refuse(message.c_str());
    }

    if (headless) {
        if (scriptPath.empty())
            return Refuse("--headless needs --script FILE");
        if (desktopId.empty()) {
            const char* fromEnvironment = std::getenv("KORVANTA_HEADLESS_DESKTOP");
            desktopId = fromEnvironment && *fromEnvironment ? fromEnvironment : "0";
        }
        media::platform::HeadlessOptions options;
        options.scriptPath = scriptPath;
        options.desktopId = desktopId;
        if (!media::platform::SelectHeadlessBackend(options, &error)) {
            std::fprintf(stderr, "korvanta: %s\n", error.c_str());
            return UsageError;
        }
    } else {
        if (!scriptPath.empty() || !desktopId.empty())
            return Refuse("--script and --desktop need --headless");
        const char* display = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if ((!display || !*display) && (!wayland || !*wayland)) {
            std::fprintf(stderr, "korvanta: no display (DISPLAY/WAYLAND_DISPLAY unset); use --headless --script FILE\n");
            return NoDisplay;
        }
        if (!media::platform::SelectSdlBackend(&error)) {
            std::fprintf(stderr, "korvanta: cannot open the display: %s\n", error.c_str());
            return NoDisplay;
        }
    }

    if (scale == AutoScale)
        scale = ScaleFittingDesktop();
    // The window layer makes the window, stretches the presented screen and
    // divides the mouse by the rates; scale 1 leaves them as they are.
    if (scale != 1)
        media::SetWindowSizeRate(scale, scale);

    UsePicturesBesideProgram();
    const int result = WinMain();
    media::platform::CloseBackend();
    return result;
}
