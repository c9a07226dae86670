// Text from the glyph cache against rasterising every glyph with FreeType at
// every drawing: a 20-character mixed string (kanji, kana, ASCII, half-width
// katakana) drawn with DrawTextToHandle on the 16-bit software screen, for
// font types 0 (the default font), 2 and 3.
//
// "cached" draws the string again and again; "rasterised" first takes the
// string's characters out of the cache, so that every drawing rasterises each
// glyph through FreeType into a cell and draws it. Both runs alternate, best
// of seven 50 ms runs each, and the ratio is printed.
#include <algorithm>
#include <cstdio>
#include <functional>

#include "media/font/font.h"
#include "media/font/text.h"
#include "media/graphics/draw.h"
#include "media/graphics/screen.h"
#include "media/platform/platform.h"
#include "media/core/system_state.h"

using namespace media;

namespace {

// Seconds per call of one run of at least 50 ms.
double TimeRun(const std::function<void()>& call)
{
    // <chrono> cannot be compiled for the Shift-JIS execution character set.
    const double frequency = double(platform::QueryPerformanceFrequency());
    long calls = 0;
    const int64_t start = platform::QueryPerformanceCounter();
    double elapsed = 0;
    do {
        call();
        ++calls;
        elapsed = double(platform::QueryPerformanceCounter() - start) / frequency;
    } while (elapsed < 0.05);
    return elapsed / double(calls);
}

void StartScreen()
{
    InstallFontHooks();
    systemState = SystemState{};
    displaySettings = DisplaySettings{};
    systemState.windowed = 1;
    systemState.active = 1;
    systemState.usePerformanceCounter = 1;
    systemState.performanceFrequency = platform::QueryPerformanceFrequency();
    SetScreenMode(700, 400, 16, 0);
    StartGraphics();
    systemState.initialised = 1;
    SetDrawTarget(ScreenBack);
}

// Takes the text's characters out of the cache, as if it had none.
void Uncache(FontHandle font, const char* text)
{
    FontRecord* r = FindFont(font);
    CharRecord records[64];
    int count = 0;
    PrepareGlyphs(font, text, -1, records, &count);
    for (int i = 0; i < count; ++i) {
        GlyphMapEntry& entry = r->glyphMap[records[i].Code()];
        if (entry.slot) {
            entry.slot->inUse = 0;
            entry.slot->mapEntry = nullptr;
        }
        entry.cached = 0;
        entry.slot = nullptr;
    }
}

}  // namespace

int main()
{
    StartScreen();
    const char* text = "戦闘準備画面ABCあいう123漢字ｱｲ!";
    const ColorValue white = PackColor(255, 255, 255);

    std::printf("%-28s %14s %14s %8s\n", "font", "cached us", "rasterised us", "ratio");
    struct Font {
        const char* name;
        FontHandle handle;
    };
    const Font fonts[] = {
        {"type 0 (default font)", DefaultFontHandle()},
        {"type 2 (antialiased)", CreateFontToHandle(nullptr, 16, 6, 2, -1, -1, 0)},
        {"type 3 (antialiased, edge)", CreateFontToHandle(nullptr, 16, 6, 3, -1, -1, 0)},
    };
    for (const Font& f : fonts) {
        auto cached = [&] { DrawTextToHandle(10, 10, text, white, f.handle, 0, 0); };
        auto rasterised = [&] {
            Uncache(f.handle, text);
            DrawTextToHandle(10, 10, text, white, f.handle, 0, 0);
        };
        double best[2] = {1e30, 1e30};
        for (int run = 0; run < 7; ++run) {
            best[0] = std::min(best[0], TimeRun(cached));
            best[1] = std::min(best[1], TimeRun(rasterised));
        }
        std::printf("%-28s %14.2f %14.2f %8.1f\n", f.name, best[0] * 1e6, best[1] * 1e6, best[1] / best[0]);
    }
    systemState.initialised = 0;
    EndGraphics();
    return 0;
}
