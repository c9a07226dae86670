// Draws a table of drawing cases on the screen and writes the screen's pixel
// words after each, so that the hardware path can be compared with the
// memory path word for word; and compares two such files.
//
//   gl_compare_probe --dump FILE [--depth 16|32] [--only NAME]
//       starts the media layer in a 700 x 400 window (the program's own
//       settings), draws every case on a cleared back screen and appends
//       its words (ReadTargetWords of ScreenBack, before any present) to
//       FILE. Prints "started <hardware|software> depth <n>" first.
//   gl_compare_probe --compare A B
//       one line per case: "<name> <rule> exact", "<name> <rule> within <d>"
//       or "<name> <rule> differs <d> <pixels> at <x>,<y> <wordA> <wordB>",
//       where d is the largest difference of one channel in steps of that
//       channel's width, and rule is what the case must meet: exact, or the
//       steps that rounding may cost (1 for blending and brightness, 2 for
//       bilinear filtering). Ends with 0 when every case meets its rule.
//       A 16-bit screen is compared with a 32-bit one as R5G6B5 words.
//
// File: per case a line "case <name> <rule> <x> <y> <w> <h> <depth>\n" and
// then w x h little-endian 32-bit words, row by row.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "media/font/font.h"
#include "media/font/text.h"
#include "media/graphics/draw.h"
#include "media/graphics/image_table.h"
#include "media/graphics/screen.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/system/window.h"

namespace {

using namespace media;

// What a case must meet between the two paths: exact words, or at most
// this many steps of a channel's width.
enum Rule { Exact = 0, Rounding = 1, Bilinear = 2 };

struct Case {
    const char* name;
    Rule rule;
    int x, y, width, height;  // the part of the screen that is compared
    std::function<void()> draw;
};

// ------------------------------------------------------------ pictures

// An image whose pixels come from a function of (x, y); made with the
// drawing state's transparent colour in force.
ImageHandle MakePatternImage(int width, int height, bool alpha, bool drawable,
                             const std::function<Rgba(int, int)>& pixel)
{
    const ImageHandle image = MakeEmptyImage(width, height, alpha, drawable);
    if (image < 0)
        return image;
    MEMIMG source{};
    if (!CreateMemImage(&source, width, height, GetStandardFormat(StandardFormat::A8R8G8B8)))
        return image;
    const PixelRegion region = WholeRegion(&source);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            WritePixel(*region.format, region.At(x, y), pixel(x, y));
    UpdateImagePixels(image, 0, 0, region);
    ReleaseMemImage(&source);
    return image;
}

// Colour bars with black holes: every channel runs through its steps, and
// black pixels show the colour key.
Rgba Bars(int x, int y)
{
    if ((x + y) % 7 == 0)
        return Rgba{0, 0, 0, 255};
    return Rgba{uint8_t(x * 8 + 3), uint8_t(y * 8 + 1), uint8_t((x * 5 + y * 3) * 4), 255};
}

// A ramp of alpha over colours that change in every channel.
Rgba AlphaRamp(int x, int y)
{
    return Rgba{uint8_t(255 - x * 8), uint8_t(y * 8), uint8_t(x * 4 + y * 4), uint8_t((x + y * 32) * 255 / 1023)};
}

// The background that blending cases draw over: bands of colour.
void Background()
{
    for (int i = 0; i < 16; ++i)
        DrawRect(i * 16, 0, i * 16 + 16, 128, PackColor(i * 16, 255 - i * 16, (i * 53) & 255), 1);
    DrawRect(0, 64, 256, 80, PackColor(255, 255, 255), 1);
}

void DrawWithBlends(const std::function<void(int mode, int x)>& draw)
{
    for (int mode = 1; mode <= 4; ++mode) {
        SetBlendState(mode, mode == 4 ? 255 : 50 + mode * 40);
        draw(mode, (mode - 1) * 60);
    }
    SetBlendState(0, 0);
}

FontHandle fonts[4] = {-1, -1, -1, -1};
FontHandle edgedFonts[4] = {-1, -1, -1, -1};

std::vector<Case> Cases()
{
    std::vector<Case> cases;
    cases.push_back({"rect_filled", Exact, 0, 0, 256, 128, [] {
        DrawRect(10, 10, 60, 40, PackColor(255, 255, 255), 1);
        DrawRect(70, 10, 120, 40, PackColor(128, 64, 32), 1);
        DrawRect(130, 10, 180, 40, 255, 1);
        DrawRect(190, 10, 240, 40, 65280, 1);
        for (int i = 0; i < 32; ++i)
            DrawRect(i * 8, 50, i * 8 + 7, 120, PackColor(i * 8 + 7, 255 - i * 8, (i * 37) & 255), 1);
        DrawRect(20, 100, 10, 90, PackColor(0, 255, 255), 1);  // corners given the other way round
    }});
    cases.push_back({"rect_outlined", Exact, 0, 0, 256, 128, [] {
        DrawRect(10, 10, 60, 40, PackColor(200, 100, 50), 0);
        DrawRect(120, 40, 70, 10, PackColor(10, 250, 130), 0);
        DrawRect(130, 10, 131, 40, 255, 0);
        DrawRect(140, 10, 190, 11, 65280, 0);
        DrawRect(200, 10, 202, 12, PackColor(255, 255, 255), 0);
    }});
    cases.push_back({"rect_clipped", Exact, 600, 300, 100, 100, [] {
        DrawRect(690, 390, 720, 420, PackColor(0, 0, 255), 1);
        SetDrawRegion(610, 310, 650, 350);
        DrawRect(600, 300, 640, 340, PackColor(255, 0, 0), 1);
        DrawRect(620, 320, 680, 380, PackColor(0, 255, 0), 0);
        SetDrawRegion(0, 0, 700, 400);
    }});
    cases.push_back({"rect_blend", Rounding, 0, 0, 256, 128, [] {
        Background();
        DrawWithBlends([](int, int x) { DrawRect(x + 5, 20, x + 55, 100, PackColor(200, 120, 40), 1); });
        SetBlendState(1, 0);
        DrawRect(245, 20, 256, 100, PackColor(255, 255, 255), 1);
        SetBlendState(1, 255);
        DrawRect(240, 20, 245, 100, PackColor(255, 0, 255), 1);
        SetBlendState(0, 0);
    }});
    cases.push_back({"clear_background", Exact, 0, 0, 128, 64, [] {
        const int rect[4] = {10, 10, 60, 50};
        DrawRect(0, 0, 128, 64, PackColor(50, 60, 70), 1);
        const int before[3] = {displaySettings.background[0], displaySettings.background[1],
                               displaySettings.background[2]};
        displaySettings.background[0] = 100;
        displaySettings.background[1] = 150;
        displaySettings.background[2] = 200;
        ClearDrawTarget(rect);
        std::copy(before, before + 3, displaySettings.background);
    }});
    cases.push_back({"image_opaque", Exact, 0, 0, 256, 64, [] {
        const ImageHandle image = MakePatternImage(32, 32, false, false, Bars);
        DrawImage(10, 10, image, 0);
        DrawImage(50, 10, image, 1);  // black is the transparent colour
        DrawImage(-10, 40, image, 0);
        DeleteImage(image);
    }});
    cases.push_back({"image_keyed", Exact, 0, 0, 128, 64, [] {
        SetTransColor(255, 0, 255);
        const ImageHandle image = MakePatternImage(32, 32, false, false, [](int x, int y) {
            return (x / 4 + y / 4) % 3 == 0 ? Rgba{255, 0, 255, 255} : Bars(x, y);
        });
        SetTransColor(0, 0, 0);
        DrawRect(0, 0, 128, 64, PackColor(0, 128, 0), 1);
        DrawImage(10, 10, image, 1);
        DrawImage(50, 10, image, 0);
        DeleteImage(image);
    }});
    // Colours next to the key: the same on a 5:5:5 grid, different on 5:6:5.
    cases.push_back({"image_key_near", Exact, 0, 0, 64, 32, [] {
        SetTransColor(255, 0, 255);
        const ImageHandle image = MakePatternImage(16, 16, false, false, [](int x, int) {
            return x < 8 ? Rgba{255, 4, 255, 255} : Rgba{250, 2, 251, 255};
        });
        SetTransColor(0, 0, 0);
        DrawRect(0, 0, 64, 32, PackColor(0, 128, 0), 1);
        DrawImage(10, 10, image, 1);
        DeleteImage(image);
    }});
    cases.push_back({"image_alpha", Rounding, 0, 0, 256, 128, [] {
        Background();
        const ImageHandle image = MakePatternImage(32, 32, true, false, AlphaRamp);
        DrawImage(10, 10, image, 1);
        DrawImage(50, 10, image, 0);  // drawn opaque: alpha left out
        DrawImage(90, 60, image, 1);
        DeleteImage(image);
    }});
    cases.push_back({"image_brightness", Rounding, 0, 0, 256, 64, [] {
        const ImageHandle image = MakePatternImage(32, 32, false, false, Bars);
        SetDrawBrightness(200, 128, 64);
        DrawImage(10, 10, image, 0);
        SetDrawBrightness(0, 255, 17);
        DrawImage(50, 10, image, 1);
        SetDrawBrightness(255, 255, 255);
        DeleteImage(image);
    }});
    cases.push_back({"image_blend", Rounding, 0, 0, 256, 128, [] {
        Background();
        const ImageHandle image = MakePatternImage(32, 32, false, false, Bars);
        DrawWithBlends([image](int, int x) {
            DrawImage(x + 5, 10, image, 0);
            DrawImage(x + 20, 60, image, 1);
        });
        DeleteImage(image);
    }});
    cases.push_back({"image_alpha_blend", Rounding, 0, 0, 256, 128, [] {
        Background();
        const ImageHandle image = MakePatternImage(32, 32, true, false, AlphaRamp);
        DrawWithBlends([image](int, int x) { DrawImage(x + 5, 30, image, 1); });
        DeleteImage(image);
    }});
    cases.push_back({"image_part", Exact, 0, 0, 256, 64, [] {
        const ImageHandle image = MakePatternImage(32, 32, false, false, Bars);
        DrawImagePart(10, 10, 5, 7, 20, 16, image, 0, 0);
        DrawImagePart(40, 10, 5, 7, 20, 16, image, 1, 0);
        DrawImagePart(70, 10, 5, 7, 20, 16, image, 0, 1);  // mirrored
        DrawImagePart(100, 10, 5, 7, 20, 16, image, 1, 1);
        DrawImagePart(-5, 40, 0, 0, 32, 32, image, 0, 1);
        DeleteImage(image);
    }});
    cases.push_back({"image_derived", Exact, 0, 0, 128, 64, [] {
        const ImageHandle image = MakePatternImage(32, 32, false, false, Bars);
        const ImageHandle part = DeriveImage(8, 4, 16, 20, image);
        const ImageHandle partOfPart = DeriveImage(2, 3, 8, 8, part);
        DrawImage(10, 10, part, 0);
        DrawImage(40, 10, partOfPart, 1);
        DrawImagePart(60, 10, 1, 1, 10, 10, part, 0, 1);
        DeleteImage(partOfPart);
        DeleteImage(part);
        DeleteImage(image);
    }});
    cases.push_back({"quad_nearest", Exact, 0, 0, 256, 128, [] {
        const ImageHandle image = MakePatternImage(32, 32, false, false, Bars);
        DrawImageQuad(10, 10, 74, 10, 74, 74, 10, 74, image, 0);  // twice the size
        DrawImageQuad(90, 10, 186, 10, 186, 42, 90, 42, image, 1);  // three times as wide, keyed
        DrawImageQuad(234, 10, 202, 10, 202, 42, 234, 42, image, 0);  // mirrored
        DeleteImage(image);
    }});
    // Half the size: every pixel centre falls on a texel edge.
    cases.push_back({"quad_half", Exact, 0, 0, 64, 32, [] {
        const ImageHandle image = MakePatternImage(32, 32, false, false, Bars);
        DrawImageQuad(10, 10, 26, 10, 26, 26, 10, 26, image, 1);
        DeleteImage(image);
    }});
    cases.push_back({"quad_bilinear", Bilinear, 0, 0, 256, 128, [] {
        const ImageHandle image = MakePatternImage(32, 32, false, false, Bars);
        SetDrawFilter(1);
        DrawImageQuad(10, 10, 74, 10, 74, 74, 10, 74, image, 0);
        DrawImageQuad(90, 10, 138, 10, 138, 58, 90, 58, image, 0);
        SetDrawFilter(0);
        DeleteImage(image);
    }});
    for (int type = 0; type < 4; ++type) {
        static const char* names[4][2] = {{"text_type0", "text_type0_edge2"},
                                          {"text_type1_edge", "text_type1_edge2"},
                                          {"text_type2_antialiased", "text_type2_antialiased_edge2"},
                                          {"text_type3_antialiased_edge", "text_type3_antialiased_edge2"}};
        // Antialiased glyphs blend their coverage into the screen.
        const Rule rule = (type & FontTypeAntialiased) ? Rounding : Exact;
        cases.push_back({names[type][0], rule, 0, 0, 320, 32, [type] {
            DrawTextToHandle(4, 4, "Korvanta 123 戦闘", PackColor(255, 255, 255), fonts[type],
                             PackColor(255, 0, 0), 0);
            SetDrawBrightness(128, 255, 64);
            DrawTextToHandle(200, 4, "Bright", PackColor(255, 255, 255), fonts[type], PackColor(0, 0, 255), 0);
            SetDrawBrightness(255, 255, 255);
        }});
        // A larger font made with an edge size of 2, over a colour.
        cases.push_back({names[type][1], rule, 0, 0, 320, 32, [type] {
            DrawRect(0, 0, 320, 32, PackColor(30, 60, 200), 1);
            DrawTextToHandle(4, 4, "Aqgj 選択画面", PackColor(255, 200, 0), edgedFonts[type], PackColor(0, 0, 0), 0);
        }});
    }
    cases.push_back({"target_image", Exact, 0, 0, 256, 128, [] {
        const ImageHandle target = MakeEmptyImage(64, 48, false, true);
        const ImageHandle picture = MakePatternImage(32, 32, false, false, Bars);
        SetDrawTarget(target);
        DrawRect(0, 0, 64, 48, PackColor(90, 40, 200), 1);
        DrawRect(4, 4, 30, 30, 65280, 0);
        DrawImage(20, 10, picture, 1);
        SetDrawTarget(ScreenBack);
        DrawImage(10, 10, target, 0);
        DrawImagePart(90, 10, 8, 8, 40, 30, target, 0, 1);
        DeleteImage(picture);
        DeleteImage(target);
    }});
    cases.push_back({"target_alpha_image", Rounding, 0, 0, 256, 128, [] {
        Background();
        const ImageHandle target = MakeEmptyImage(64, 48, true, true);
        SetDrawTarget(target);
        DrawRect(8, 8, 56, 40, PackColor(255, 255, 0), 1);
        SetDrawTarget(ScreenBack);
        DrawImage(10, 10, target, 1);
        DeleteImage(target);
    }});
    return cases;
}

// ------------------------------------------------------------ dump

bool WriteCase(FILE* file, const Case& c, int depth)
{
    std::vector<uint32_t> words(size_t(c.width) * c.height);
    if (!ReadTargetWords(ScreenBack, c.x, c.y, c.width, c.height, words.data()))
        return false;
    std::fprintf(file, "case %s %d %d %d %d %d %d\n", c.name, int(c.rule), c.x, c.y, c.width, c.height, depth);
    for (uint32_t word : words) {
        const uint8_t bytes[4] = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
        std::fwrite(bytes, 1, 4, file);
    }
    return true;
}

int Dump(const char* path, int depth, const std::string& only)
{
    std::string error;
    if (!platform::SelectSdlBackend(&error)) {
        std::fprintf(stderr, "gl_compare_probe: %s\n", error.c_str());
        return 1;
    }
    SetWindowTitle("GlCompareProbe");
    ChangeWindowMode(1);
    SetScreenMode(700, 400, depth, 60);
    if (InitMediaLibrary() != 0) {
        platform::CloseBackend();
        return 3;
    }
    std::printf("started %s depth %d\n", displaySettings.hardwarePath ? "hardware" : "software", ScreenDepth());
    std::fflush(stdout);
    for (int type = 0; type < 4; ++type) {
        fonts[type] = CreateFontToHandle(nullptr, 16, 6, type, -1, -1, 0);
        edgedFonts[type] = CreateFontToHandle(nullptr, 20, 6, type, -1, 2, 0);
    }
    FILE* file = std::fopen(path, "wb");
    int status = file ? 0 : 1;
    for (const Case& c : Cases()) {
        if (!file || (!only.empty() && only != c.name))
            continue;
        ResetDrawState();
        SetDrawTarget(ScreenBack);
        SetDrawRegion(0, 0, 700, 400);
        ClearDrawTarget(nullptr);
        c.draw();
        if (!WriteCase(file, c, ScreenDepth())) {
            std::fprintf(stderr, "gl_compare_probe: %s: the screen could not be read\n", c.name);
            status = 1;
        }
        // Shown as well, which a person watching can follow; the words are
        // read before, from the back screen itself.
        PresentScreen();
    }
    if (file)
        std::fclose(file);
    EndMediaLibrary();
    platform::CloseBackend();
    return status;
}

// ------------------------------------------------------------ compare

struct Record {
    std::string name;
    int rule = 0, x = 0, y = 0, width = 0, height = 0, depth = 0;
    std::vector<uint32_t> words;
};

std::vector<Record> ReadRecords(const char* path)
{
    std::vector<Record> records;
    FILE* file = std::fopen(path, "rb");
    if (!file)
        return records;
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        Record r;
        char name[128] = {};
        if (std::sscanf(line, "case %127s %d %d %d %d %d %d", name, &r.rule, &r.x, &r.y, &r.width, &r.height,
                        &r.depth) != 7)
            break;
        r.name = name;
        r.words.resize(size_t(r.width) * r.height);
        for (uint32_t& word : r.words) {
            uint8_t b[4];
            if (std::fread(b, 1, 4, file) != 4)
                break;
            word = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        }
        records.push_back(std::move(r));
    }
    std::fclose(file);
    return records;
}

// The largest difference of one channel between two screen words, in steps
// of that channel (5:6:5 at 16 bits, 8:8:8 at 32).
int ChannelSteps(uint32_t a, uint32_t b, int depth)
{
    struct Channel {
        int shift, bits;
    };
    static const Channel wide[3] = {{16, 8}, {8, 8}, {0, 8}};
    static const Channel narrow[3] = {{11, 5}, {5, 6}, {0, 5}};
    const Channel* channels = depth == 16 ? narrow : wide;
    int largest = 0;
    for (int i = 0; i < 3; ++i) {
        const int mask = (1 << channels[i].bits) - 1;
        const int ca = int(a >> channels[i].shift) & mask, cb = int(b >> channels[i].shift) & mask;
        largest = std::max(largest, std::abs(ca - cb));
    }
    // Bits outside the colour channels must agree too.
    const uint32_t colourBits = depth == 16 ? 0xFFFFu : 0xFFFFFFu;
    if ((a & ~colourBits) != (b & ~colourBits))
        largest = std::max(largest, 256);
    return largest;
}

int Compare(const char* pathA, const char* pathB)
{
    const std::vector<Record> a = ReadRecords(pathA), b = ReadRecords(pathB);
    int status = a.empty() ? 1 : 0;
    for (const Record& ra : a) {
        const auto rb = std::find_if(b.begin(), b.end(), [&](const Record& r) { return r.name == ra.name; });
        static const char* rules[3] = {"exact", "rounding", "bilinear"};
        const char* rule = ra.rule >= 0 && ra.rule <= 2 ? rules[ra.rule] : "?";
        if (rb == b.end() || rb->width != ra.width || rb->height != ra.height) {
            std::printf("%s %s missing\n", ra.name.c_str(), rule);
            status = 1;
            continue;
        }
        // A 16-bit screen against a 32-bit one (a window on a 32-bit desktop
        // where only one path follows the desktop): both as R5G6B5, the
        // 32-bit words cut as PackColor cuts colours.
        Record narrowA = ra, narrowB = *rb;
        for (Record* r : {&narrowA, &narrowB}) {
            if (r->depth == 16 || ra.depth == rb->depth)
                continue;
            for (uint32_t& word : r->words)
                word = (word >> 8 & 0xF800) | (word >> 5 & 0x07E0) | (word >> 3 & 0x001F);
            r->depth = 16;
        }
        const Record& ca = narrowA;
        const Record& cb = narrowB;
        int largest = 0, differing = 0, firstX = -1, firstY = -1;
        uint32_t firstA = 0, firstB = 0;
        for (size_t i = 0; i < ca.words.size(); ++i) {
            const int px = ca.x + int(i % size_t(ca.width)), py = ca.y + int(i / size_t(ca.width));
            if (ca.words[i] == cb.words[i])
                continue;
            const int steps = ChannelSteps(ca.words[i], cb.words[i], ca.depth);
            ++differing;
            if (firstX < 0 || steps > largest) {
                firstX = px;
                firstY = py;
                firstA = ca.words[i];
                firstB = cb.words[i];
            }
            largest = std::max(largest, steps);
        }
        if (differing == 0) {
            std::printf("%s %s exact\n", ra.name.c_str(), rule);
        } else if (largest <= ra.rule) {
            std::printf("%s %s within %d (%d pixels)\n", ra.name.c_str(), rule, largest, differing);
        } else {
            std::printf("%s %s differs %d %d at %d,%d %08x %08x\n", ra.name.c_str(), rule, largest, differing,
                        firstX, firstY, firstA, firstB);
            status = 1;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--compare" && argc == 4)
        return Compare(argv[2], argv[3]);
    if (mode == "--dump" && argc >= 3) {
        int depth = 16;
        std::string only;
        for (int i = 3; i + 1 < argc; i += 2) {
            if (std::strcmp(argv[i], "--depth") == 0)
                depth = std::atoi(argv[i + 1]);
            else if (std::strcmp(argv[i], "--only") == 0)
                only = argv[i + 1];
        }
        return Dump(argv[2], depth, only);
    }
    std::fprintf(stderr, "usage: gl_compare_probe --dump FILE [--depth 16|32] [--only NAME]\n"
                         "       gl_compare_probe --compare A B\n");
    return 2;
}
