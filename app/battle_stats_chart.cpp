#include "app/battle_stats_chart.h"
#include "app/battle_stats_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "media/font/text.h"
#include "media/graphics/draw.h"
#include "media/graphics/screen.h"
#include "media/platform/platform.h"
#include "media/platform/png_writer.h"
#include "media/system/lifecycle.h"
#include "media/system/window.h"

namespace {

struct Rgb {
    int r, g, b;
};

constexpr Rgb White{255, 255, 255};
constexpr Rgb Ink{32, 32, 32};
constexpr Rgb Grey{150, 150, 150};
constexpr Rgb LightGrey{225, 225, 225};
// Ends of the bars, by BattleEnd.
constexpr Rgb EndColours[BattleEndKinds] = {{214, 39, 40}, {255, 127, 14}, {31, 119, 180}};

// The default font is 16 pixels high: a double-byte character is 16 wide, a
// single-byte one 8.
constexpr int LineHeight = 16;
constexpr int HalfWidth = 8;

media::ColorValue Colour(Rgb c)
{
    return media::PackColor(c.r, c.g, c.b);
}

void Box(int x1, int y1, int x2, int y2, Rgb colour)
{
    media::DrawRect(x1, y1, x2, y2, Colour(colour), 1);
}

bool IsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::vector<std::string> Characters(const std::string& text)
{
    std::vector<std::string> characters;
    for (size_t i = 0; i < text.size();) {
        const size_t length = IsLeadByte((unsigned char)text[i]) && i + 1 < text.size() ? 2 : 1;
        characters.push_back(text.substr(i, length));
        i += length;
    }
    return characters;
}

int TextWidth(const std::string& text)
{
    int width = 0;
    for (const std::string& character : Characters(text))
        width += int(character.size()) * HalfWidth;
    return width;
}

void Text(int x, int y, const std::string& text, Rgb colour = Ink)
{
    media::DrawTextString(x, y, text.c_str(), Colour(colour), 0);
}

void TextRight(int right, int y, const std::string& text, Rgb colour = Ink)
{
    Text(right - TextWidth(text), y, text, colour);
}

void TextCentred(int centre, int y, const std::string& text, Rgb colour = Ink)
{
    Text(centre - TextWidth(text) / 2, y, text, colour);
}

// Written top to bottom, one character a line, each centred on the column.
void TextDown(int centre, int y, const std::string& text, Rgb colour = Ink)
{
    for (const std::string& character : Characters(text)) {
        TextCentred(centre, y, character, colour);
        y += LineHeight;
    }
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...)
{
    char buffer[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// A squad row by the first character of its first machine's name (ヴ for the
// Volte squad, ド for the Duga squad), 空 for an empty row; a squad whose
// character an earlier squad already has, or that the description does not
// name, shows its number.
std::string RowMark(const RunDescription& run, int row)
{
    if (row == 0)
        return "空";
    if (size_t(row) > run.squads.size() || run.squads[size_t(row) - 1].name.empty())
        return std::to_string(row);
    const std::string mark = Characters(run.squads[size_t(row) - 1].name)[0];
    for (int earlier = 1; earlier < row; ++earlier) {
        if (!run.squads[size_t(earlier) - 1].name.empty() &&
            Characters(run.squads[size_t(earlier) - 1].name)[0] == mark)
            return std::to_string(row);
    }
    return mark == "空" ? std::to_string(row) : mark;
}

std::string SetupKana(const RunDescription& run, const ArmySetup& setup)
{
    std::string text;
    for (int row : setup)
        text += RowMark(run, row);
    return text;
}

// "ヴ＝ヴォルテ3機の部隊　ド＝ドゥーガ3機の部隊　空＝空き（行1・2・3の順）", the key
// under the heat map, cut into lines that fit the width.
std::vector<std::string> SquadKey(const RunDescription& run, int width)
{
    std::vector<std::string> entries;
    for (size_t i = 0; i < run.squads.size(); ++i) {
        const SquadLabel& squad = run.squads[i];
        entries.push_back(RowMark(run, int(i) + 1) + "＝" + squad.name + (squad.mixed ? "ほか" : "") +
                          std::to_string(squad.machines) + "機の部隊");
    }
    entries.push_back("空＝空き（行1・2・3の順）");
    std::vector<std::string> lines(1);
    for (const std::string& entry : entries) {
        const std::string joined = lines.back().empty() ? entry : lines.back() + "　" + entry;
        if (!lines.back().empty() && TextWidth(joined) > width)
            lines.push_back(entry);
        else
            lines.back() = joined;
    }
    return lines;
}

// Share 0 to 1 on a dark-violet to yellow scale, even in lightness, readable
// in grey and by colour-blind readers.
Rgb ScaleColour(double share)
{
    static const Rgb stops[] = {{68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}};
    const double position = std::clamp(share, 0.0, 1.0) * 4.0;
    const int i = std::min(3, int(position));
    const double t = position - i;
    auto mix = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
    return {mix(stops[i].r, stops[i + 1].r), mix(stops[i].g, stops[i + 1].g), mix(stops[i].b, stops[i + 1].b)};
}

// --------------------------------------------------------------- rendering

// A private place for the chart's media layer: the layer logs into its
// working folder, so the chart runs in a temporary folder of its own, on a
// headless desktop id of its own, and never meets ./Log.txt or another program.
class PrivateFolder {
public:
    bool Enter(std::string* error)
    {
        home_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/korvanta-chart-XXXXXX";
        if (home_ < 0 || !mkdtemp(pattern.data()) || chdir(pattern.c_str()) != 0) {
            *error = std::string("cannot make a private folder for the chart: ") + std::strerror(errno);
            return false;
        }
        path_ = pattern;
        return true;
    }

    // Back to the caller's folder; the private one and its log go away.
    void Leave()
    {
        if (home_ >= 0 && fchdir(home_) != 0) {
        }
        if (!path_.empty()) {
            unlink((path_ + "/Log.txt").c_str());
            rmdir(path_.c_str());
        }
        if (home_ >= 0)
            close(home_);
        home_ = -1;
        path_.clear();
    }

private:
    int home_ = -1;
    std::string path_;
};

// Starts the media layer on a headless screen of the given size, draws, and
// copies the back screen out.
bool DrawOnHeadlessScreen(int width, int height, const std::function<void()>& draw, std::vector<uint32_t>* pixels,
                          std::string* error)
{
    media::platform::HeadlessOptions options;
    options.desktopId = "korvanta-battle-chart-" + std::to_string(getpid());
    if (!media::platform::SelectHeadlessBackend(options, error))
        return false;
    // The chart is read back from the screen's memory image: the software
    // path, whatever the environment asks of the program (this is the chart's own process).
    setenv("KORVANTA_GRAPHICS", "software", 1);
    media::SetScreenMode(width, height, 32, 0);
    media::SetWindowTitle("korvanta-battle chart");
    media::ChangeWindowMode(1);
    bool ok = media::InitMediaLibrary() == 0;
    if (!ok) {
        *error = "the media layer did not start";
    } else {
        media::SetDrawTarget(media::ScreenBack);
        Box(0, 0, width, height, White);
        draw();
        const media::MEMIMG* screen = media::ScreenImage();
        if (!screen || screen->format.bytesPerPixel != 4 || screen->width < width || screen->height < height) {
            *error = "the chart's screen is not the 32-bit screen asked for";
            ok = false;
        } else {
            pixels->resize(size_t(width) * size_t(height));
            for (int y = 0; y < height; ++y)
                std::memcpy(pixels->data() + size_t(y) * size_t(width), screen->pixels + int64_t(y) * screen->pitch,
                            size_t(width) * 4);
        }
    }
    media::EndMediaLibrary();
    media::platform::CloseBackend();
    return ok;
}

bool RenderHere(int width, int height, const std::function<void()>& draw, const std::string& pngPath,
                std::string* error)
{
    PrivateFolder folder;
    if (!folder.Enter(error)) {
        folder.Leave();
        return false;
    }
    std::vector<uint32_t> pixels;
    const bool drawn = DrawOnHeadlessScreen(width, height, draw, &pixels, error);
    folder.Leave();
    if (!drawn)
        return false;
    std::string reason;
    if (!media::platform::WritePngFile(pngPath, pixels.data(), width, height, width, &reason)) {
        *error = "cannot write '" + pngPath + "': " + reason;
        return false;
    }
    return true;
}

// The media layer keeps process-wide state (and ends the process on a fatal
// platform failure), so the chart is drawn in a child process: whatever
// happens there, this process, its outputs and its working folder stay as
// they were. The child reports a failure's reason through a pipe.
bool Render(int width, int height, const std::function<void()>& draw, const std::string& pngPath, std::string* error)
{
    int channel[2];
    if (pipe(channel) != 0) {
        *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(channel[0]);
        close(channel[1]);
        *error = std::string("cannot start the chart process: ") + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        RestoreDefaultInterruptHandling();
        close(channel[0]);
        std::string reason;
        const bool ok = RenderHere(width, height, draw, pngPath, &reason);
        if (!ok && write(channel[1], reason.data(), reason.size()) < 0) {
        }
        _exit(ok ? 0 : 1);
    }
    close(channel[1]);
    std::string reason;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(channel[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        reason.append(buffer, size_t(n));
    }
    close(channel[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    *error = reason.empty() ? "the chart process failed" : reason;
    return false;
}

// --------------------------------------------------------------- heat map

struct MatrixLayout {
    int cell = 20;
    int left = 0, top = 0;  // the grid's top-left corner
    int rows = 0, columns = 0;
    int scaleLeft = 0;
    int width = 0, height = 0;

    std::vector<std::string> key;  // lines of the key under the grid

    explicit MatrixLayout(const RunDescription& run)
        : rows(int(run.army1.size())), columns(int(run.army2.size()))
    {
        // 27 rows of 20 pixels keep the window inside the 1024 x 768 headless desktop.
        cell = std::clamp(540 / std::max(rows, columns), 4, 64);
        int rowLabelWidth = 5 * HalfWidth + HalfWidth + 3 * 2 * HalfWidth;  // "1,0,2 ヴ空ド"
        for (const ArmySetup& setup : run.army1)
            rowLabelWidth = std::max(rowLabelWidth, TextWidth(SetupText(setup) + " " + SetupKana(run, setup)));
        left = 12 + LineHeight + 8 + rowLabelWidth + 8;
        top = 12 + 2 * LineHeight + 10 + LineHeight + 6 + 3 * LineHeight + 6;
        scaleLeft = left + columns * cell + 24;
        width = std::max(scaleLeft + 20 + 8 + 5 * HalfWidth + 12, 640);
        key = SquadKey(run, width - 24);
        height = top + rows * cell + 12 + (int(key.size()) + 1) * LineHeight + 12;
    }
};

void DrawMatrix(const RunDescription& run, const std::vector<OutcomeTally>& tallies, const MatrixLayout& layout)
{
    const int gridRight = layout.left + layout.columns * layout.cell;
    const int gridBottom = layout.top + layout.rows * layout.cell;

    Text(12, 12, "軍1の勝率（軍1だけに稼働機が残った戦闘の割合）");
    Text(12, 12 + LineHeight + 2,
         Format("各組%u戦、シード%u-%u", run.battlesPerPair, run.firstSeed,
                SeedOfBattle(run.firstSeed, run.battlesPerPair - 1ull)),
         Grey);

    // Axis names: army 2 across the top, army 1 down the left side.
    const int axisTop = 12 + 2 * LineHeight + 10;
    TextCentred((layout.left + gridRight) / 2, axisTop, "軍2の編成");
    TextDown(12 + LineHeight / 2, layout.top + (layout.rows * layout.cell) / 2 - 2 * LineHeight, "軍1の編成");

    for (int j = 0; j < layout.columns; ++j)
        TextDown(layout.left + j * layout.cell + layout.cell / 2, layout.top - 6 - 3 * LineHeight,
                 SetupKana(run, run.army2[size_t(j)]));
    for (int i = 0; i < layout.rows; ++i) {
        const ArmySetup& setup = run.army1[size_t(i)];
        const int y = layout.top + i * layout.cell + (layout.cell - LineHeight) / 2;
        TextRight(layout.left - 8, y, SetupText(setup) + " " + SetupKana(run, setup));
    }

    // Cells, a one-pixel gap between them.
    Box(layout.left - 1, layout.top - 1, gridRight, gridBottom, LightGrey);
    for (int i = 0; i < layout.rows; ++i) {
        for (int j = 0; j < layout.columns; ++j) {
            const OutcomeTally& tally = tallies[size_t(i) * size_t(layout.columns) + size_t(j)];
            const int x = layout.left + j * layout.cell;
            const int y = layout.top + i * layout.cell;
            const double share = tally.Share(Survivors::Army1Only);
            Box(x, y, x + layout.cell - 1, y + layout.cell - 1, ScaleColour(share));
            // Cells wide enough for "100%" also carry the figure, light on the dark end of the scale.
            if (layout.cell >= 40)
                TextCentred(x + layout.cell / 2, y + (layout.cell - LineHeight) / 2,
                            Format("%d%%", int(std::lround(100.0 * share))), share < 0.6 ? White : Ink);
        }
    }

    // The colour scale, 100 % at the top.
    const int scaleHeight = layout.rows * layout.cell;
    for (int y = 0; y < scaleHeight; ++y) {
        const double share = 1.0 - double(y) / double(std::max(1, scaleHeight - 1));
        Box(layout.scaleLeft, layout.top + y, layout.scaleLeft + 20, layout.top + y + 1, ScaleColour(share));
    }
    for (int tick = 0; tick <= 4; ++tick) {
        const int y = layout.top + (scaleHeight - 1) * (4 - tick) / 4;
        Box(layout.scaleLeft + 20, y, layout.scaleLeft + 25, y + 1, Ink);
        Text(layout.scaleLeft + 28, std::clamp(y - LineHeight / 2, layout.top, gridBottom - LineHeight),
             Format("%d%%", 25 * tick));
    }

    for (size_t line = 0; line < layout.key.size(); ++line)
        Text(12, gridBottom + 12 + int(line) * LineHeight, layout.key[line]);
}

// --------------------------------------------------------------- end turns

// Round numbers for an axis up to `top`: a step of 1, 2 or 5 times a power of ten.
int64_t AxisStep(int64_t top)
{
    int64_t step = 1;
    for (;;) {
        for (int64_t factor : {1, 2, 5}) {
            if (top / (step * factor) <= 5)
                return step * factor;
        }
        step *= 10;
    }
}

constexpr int BarChartWidth = 820;
constexpr int BarChartHeight = 520;

void DrawEndTurns(const RunDescription& run, const OutcomeTally& tally)
{
    const int plotLeft = 90, plotRight = BarChartWidth - 30;
    const int plotTop = 12 + 2 * LineHeight + 12 + LineHeight + 16, plotBottom = BarChartHeight - 3 * LineHeight - 24;
    const int slot = (plotRight - plotLeft) / ShootingTurnCount;

    Text(12, 12,
         "射撃戦が終わったターン　軍1 " + SetupText(run.army1[0]) + " " + SetupKana(run, run.army1[0]) + " 対 軍2 " +
             SetupText(run.army2[0]) + " " + SetupKana(run, run.army2[0]));
    Text(12, 12 + LineHeight + 2,
         Format("%lld戦、シード%u-%u", (long long)tally.battles, run.firstSeed,
                SeedOfBattle(run.firstSeed, run.battlesPerPair - 1ull)),
         Grey);

    // Legend.
    static const char* const endNames[BattleEndKinds] = {"全滅（接近戦なし）", "強制終了→接近戦", "41ターン→接近戦"};
    int x = plotLeft;
    const int legendY = 12 + 2 * LineHeight + 12;
    for (int e = 0; e < BattleEndKinds; ++e) {
        Box(x, legendY + 2, x + 12, legendY + 14, EndColours[e]);
        Text(x + 18, legendY, Format("%s %lld", endNames[e], (long long)tally.ends[size_t(e)]));
        x += 18 + TextWidth(Format("%s %lld", endNames[e], (long long)tally.ends[size_t(e)])) + 24;
    }

    int64_t highest = 1;
    for (int turn = 1; turn <= ShootingTurnCount; ++turn) {
        const auto& row = tally.endTurns[size_t(turn)];
        highest = std::max(highest, row[0] + row[1] + row[2]);
    }
    const int64_t step = AxisStep(highest);
    const int64_t axisTop = (highest + step - 1) / step * step;
    auto yOf = [&](int64_t count) {
        return plotBottom - int(double(count) / double(axisTop) * double(plotBottom - plotTop));
    };

    for (int64_t value = 0; value <= axisTop; value += step) {
        const int y = yOf(value);
        Box(plotLeft, y, plotRight, y + 1, value == 0 ? Ink : LightGrey);
        TextRight(plotLeft - 6, y - LineHeight / 2, Format("%lld", (long long)value));
    }
    TextDown(16, (plotTop + plotBottom) / 2 - 2 * LineHeight, "戦闘数");

    for (int turn = 1; turn <= ShootingTurnCount; ++turn) {
        const auto& row = tally.endTurns[size_t(turn)];
        const int left = plotLeft + (turn - 1) * slot + 2;
        int64_t below = 0;
        for (int e = 0; e < BattleEndKinds; ++e) {
            if (row[size_t(e)] == 0)
                continue;
            const int bottom = yOf(below);
            below += row[size_t(e)];
            int top = yOf(below);
            if (top == bottom)
                top = bottom - 1;  // a bar too short to show still shows
            Box(left, top, left + slot - 3, bottom, EndColours[e]);
        }
        // Every fifth turn is named, and the last; 40 would run into 41.
        if (turn == 1 || (turn % 5 == 0 && turn < 40) || turn == ShootingTurnCount) {
            Box(left + (slot - 3) / 2, plotBottom, left + (slot - 3) / 2 + 1, plotBottom + 4, Ink);
            TextCentred(left + (slot - 3) / 2, plotBottom + 6, Format("%d", turn));
        }
    }
    TextCentred((plotLeft + plotRight) / 2, plotBottom + 6 + LineHeight + 6, "ターン（射撃戦の番号）");
}

// --------------------------------------------------------------- sweeps

constexpr int SweepChartWidth = 820;
constexpr int SweepChartHeight = 480;
constexpr Rgb Band{198, 219, 239};
constexpr Rgb Line{31, 119, 180};

void DrawSweep(const RunDescription& run, const std::string& field, const std::vector<int64_t>& values,
               const std::vector<OutcomeTally>& tallies)
{
    const int plotLeft = 70, plotRight = SweepChartWidth - 30;
    const int plotTop = 12 + 3 * LineHeight + 16, plotBottom = SweepChartHeight - 3 * LineHeight - 24;
    Text(12, 12, "軍1の勝率と95%区間　" + field);
    Text(12, 12 + LineHeight + 2,
         Format("各値%zu組×%u戦、シード%u-%u", run.army1.size() * run.army2.size(), run.battlesPerPair,
                run.firstSeed, SeedOfBattle(run.firstSeed, run.battlesPerPair - 1ull)),
         Grey);

    const int64_t low = values.front(), high = values.back();
    auto xOf = [&](double value) {
        return high == low ? (plotLeft + plotRight) / 2
                           : plotLeft + int(std::lround((value - double(low)) / double(high - low) *
                                                        double(plotRight - plotLeft)));
    };
    auto yOf = [&](double share) { return plotBottom - int(std::lround(share * double(plotBottom - plotTop))); };

    for (int tick = 0; tick <= 4; ++tick) {
        const int y = yOf(0.25 * tick);
        Box(plotLeft, y, plotRight, y + 1, tick == 0 ? Ink : LightGrey);
        TextRight(plotLeft - 6, y - LineHeight / 2, Format("%d%%", 25 * tick));
    }

    // The band and the line, joined straight between neighbouring values.
    std::vector<Interval> intervals;
    std::vector<double> shares;
    for (const OutcomeTally& tally : tallies) {
        intervals.push_back(WilsonInterval(tally.Count(Survivors::Army1Only), std::max<int64_t>(1, tally.battles)));
        shares.push_back(tally.Share(Survivors::Army1Only));
    }
    for (size_t i = 0; i + 1 < values.size(); ++i) {
        const int x1 = xOf(double(values[i])), x2 = xOf(double(values[i + 1]));
        for (int x = x1; x <= x2; ++x) {
            const double t = x2 == x1 ? 0.0 : double(x - x1) / double(x2 - x1);
            auto mix = [t](double a, double b) { return a + (b - a) * t; };
            Box(x, yOf(mix(intervals[i].high, intervals[i + 1].high)), x + 1,
                yOf(mix(intervals[i].low, intervals[i + 1].low)) + 1, Band);
        }
    }
    for (size_t i = 0; i + 1 < values.size(); ++i) {
        const int x1 = xOf(double(values[i])), x2 = xOf(double(values[i + 1]));
        for (int x = x1; x <= x2; ++x) {
            const double t = x2 == x1 ? 0.0 : double(x - x1) / double(x2 - x1);
            const int y = yOf(shares[i] + (shares[i + 1] - shares[i]) * t);
            Box(x, y - 1, x + 1, y + 1, Line);
        }
    }
    const size_t labelEvery = std::max<size_t>(1, values.size() / 10);
    for (size_t i = 0; i < values.size(); ++i) {
        const int x = xOf(double(values[i]));
        if (values.size() == 1)
            Box(x, yOf(intervals[i].high), x + 1, yOf(intervals[i].low) + 1, Band);
        Box(x - 3, yOf(shares[i]) - 3, x + 3, yOf(shares[i]) + 3, Line);
        if (i % labelEvery == 0 || i + 1 == values.size()) {
            Box(x, plotBottom, x + 1, plotBottom + 4, Ink);
            TextCentred(x, plotBottom + 6, Format("%lld", (long long)values[i]));
        }
    }
    TextCentred((plotLeft + plotRight) / 2, plotBottom + 6 + LineHeight + 6, "値");
}

}  // namespace

bool DrawMatrixChart(const RunDescription& run, const std::vector<OutcomeTally>& tallies, const std::string& pngPath,
                     std::string* error)
{
    const MatrixLayout layout(run);
    return Render(layout.width, layout.height, [&] { DrawMatrix(run, tallies, layout); }, pngPath, error);
}

bool DrawEndTurnChart(const RunDescription& run, const OutcomeTally& tally, const std::string& pngPath,
                      std::string* error)
{
    return Render(BarChartWidth, BarChartHeight, [&] { DrawEndTurns(run, tally); }, pngPath, error);
}

bool DrawSweepChart(const RunDescription& run, const std::string& field, const std::vector<int64_t>& values,
                    const std::vector<OutcomeTally>& tallies, const std::string& pngPath, std::string* error)
{
    return Render(SweepChartWidth, SweepChartHeight, [&] { DrawSweep(run, field, values, tallies); }, pngPath,
                  error);
}
