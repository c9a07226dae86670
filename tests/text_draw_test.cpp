// Text drawn onto the software screen, compared pixel for pixel with
// FreeType's own bitmaps of the same glyphs at the places the layout gives
// (pen, offsets, baseline, edge), on 16- and 32-bit screens for the four font
// types; clipping, long texts, lone lead bytes, spaces, spacing, vertical text.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "font_fixture.h"
#include "media_fixture.h"

using namespace media;
using namespace testing_support;

namespace {

constexpr int ScreenW = 160, ScreenH = 48;
constexpr int Ascent = 14;  // IPAGothic with a 16-pixel cell

struct Sample {
    const char* name;
    const char* text;  // Shift-JIS
    std::vector<uint32_t> unicode;
};

const Sample samples[] = {
    {"Preparation", "戦闘準備画面", {0x6226, 0x95D8, 0x6E96, 0x5099, 0x753B, 0x9762}},
    {"Mixed", "Ag,あｱ漢", {0x41, 0x67, 0x2C, 0x3042, 0xFF71, 0x6F22}},
};

class TextTest : public ::testing::Test {
protected:
    void Start(int depth)
    {
        dir_ = MakeTempDir();
        StartFontScreen(ScreenW, ScreenH, depth, dir_);
    }
    void TearDown() override
    {
        StopFontScreen();
        std::string command = "rm -rf '" + dir_ + "'";
        if (std::system(command.c_str()) != 0) {
        }
    }
    std::vector<std::string> LogLines() const { return LinesWithoutTimestamps(ReadFile(dir_ + "/Log.txt")); }
    bool Logged(const std::string& text) const
    {
        const auto lines = LogLines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
    uint32_t Word(int x, int y) const { return WordAt(ScreenPixels(), x, y); }
    uint32_t Encode(int r, int g, int b) const
    {
        return EncodeColor(*ScreenPixels().format, Rgba{uint8_t(r), uint8_t(g), uint8_t(b), 255});
    }
    int Measure(FontHandle font, const char* text, int limit = -1)
    {
        return RenderText(TextMode::Measure, 0, 0, text, 0, nullptr, nullptr, font, 0, limit, 0);
    }
    int CountNonBlack() const
    {
        int n = 0;
        const PixelRegion s = ScreenPixels();
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x)
                n += WordAt(s, x, y) != Encode(0, 0, 0);
        return n;
    }
    std::string dir_;
};

// ------------------------------------------------------------ pixels

class TextPixelTest : public TextTest, public ::testing::WithParamInterface<std::tuple<int, int, int>> {};

TEST_P(TextPixelTest, GlyphsMatchFreeTypeAtTheirPlaces)
{
    const auto [depth, type, sampleIndex] = GetParam();
    const Sample& sample = samples[sampleIndex];
    Start(depth);
    const bool edged = type & 1, antialiased = type & 2;
    const int e = edged ? 1 : 0;
    const FontHandle font = CreateFontToHandle(nullptr, 16, 6, type, -1, -1, 0);
    ASSERT_NE(font, -1);
    ReferenceFace face(FaceFile(font), 16);
    ASSERT_TRUE(face.Ok());

    const int x0 = 5, y0 = 10;
    const ColorValue white = PackColor(255, 255, 255), red = PackColor(255, 0, 0);
    ASSERT_EQ(DrawTextToHandle(x0, y0, sample.text, white, font, red, 0), 0);

    // Per screen pixel: glyph level (1 bit, or the 0..15 cell value) and edge.
    std::vector<int> glyph(ScreenW * ScreenH, 0), edge(ScreenW * ScreenH, 0);
    std::vector<char> isGlyph(ScreenW * ScreenH, 0);
    int pen = 0;
    for (uint32_t u : sample.unicode) {
        const ReferenceGlyph g = face.Glyph(u, !antialiased);
        const int left = x0 + pen + g.left + e, top = y0 + Ascent - g.top + e;
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x) {
                int v = g.At(x, y);
                if (antialiased)
                    v = std::max(0, platform::CoverageLevel(uint8_t(v)) - 1);
                if (!v)
                    continue;
                const int px = left + x, py = top + y;
                glyph[py * ScreenW + px] = v;
                isGlyph[py * ScreenW + px] = 1;
                if (edged) {
                    const int level = antialiased ? v : 1;
                    for (auto [dx, dy] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}}) {
                        int& ed = edge[(py + dy) * ScreenW + px + dx];
                        ed = std::max(ed, level);
                    }
                }
            }
        pen += g.advance + 2 * e;
    }
    EXPECT_EQ(Measure(font, sample.text), pen);

    for (int y = 0; y < ScreenH; ++y)
        for (int x = 0; x < ScreenW; ++x) {
            const int i = y * ScreenW + x;
            const uint32_t got = Word(x, y);
            uint32_t want = Encode(0, 0, 0);
            if (type == 0) {
                if (glyph[i])
                    want = white;
            } else if (type == 1) {
                if (isGlyph[i])
                    want = white;
                else if (edge[i])
                    want = red;
            } else if (type == 2) {
                const int a = glyph[i] * 17;
                want = Encode(a, a, a);
            } else {
                // Exact where one layer decides; blended pixels only show.
                if (glyph[i] == 15)
                    want = Encode(255, 255, 255);
                else if (!glyph[i])
                    want = Encode(edge[i] * 17, 0, 0);
                else {
                    EXPECT_NE(got, Encode(0, 0, 0)) << x << "," << y;
                    continue;
                }
            }
            ASSERT_EQ(got, want) << "pixel " << x << "," << y;
        }
}

INSTANTIATE_TEST_SUITE_P(Fonts, TextPixelTest,
                         ::testing::Combine(::testing::Values(16, 32), ::testing::Values(0, 1, 2, 3),
                                            ::testing::Values(0, 1)),
                         [](const auto& info) {
                             return "Depth" + std::to_string(std::get<0>(info.param)) + "Type" +
                                    std::to_string(std::get<1>(info.param)) + samples[std::get<2>(info.param)].name;
                         });

TEST_F(TextTest, VerticalTextTurnsEachGlyphClockwise)
{
    Start(16);
    const FontHandle font = CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0);
    ReferenceFace face(FaceFile(font), 16);
    ASSERT_EQ(DrawTextToHandle(20, 2, "Aあ", PackColor(255, 255, 255), font, 0, 1), 0);
    std::vector<char> want(ScreenW * ScreenH, 0);
    int pen = 0;
    for (uint32_t u : {0x41u, 0x3042u}) {
        const ReferenceGlyph g = face.Glyph(u, true);
        const int yOffset = Ascent - g.top;
        const int left = 20 + 16 - yOffset - g.rows, top = 2 + pen + g.left;
        for (int gy = 0; gy < g.rows; ++gy)
            for (int gx = 0; gx < g.width; ++gx)
                if (g.At(gx, gy))
                    want[(top + gx) * ScreenW + left + (g.rows - 1 - gy)] = 1;
        pen += g.advance;
    }
    for (int y = 0; y < ScreenH; ++y)
        for (int x = 0; x < ScreenW; ++x)
            ASSERT_EQ(Word(x, y), want[y * ScreenW + x] ? PackColor(255, 255, 255) : Encode(0, 0, 0)) << x << "," << y;
    int w = 0, h = 0;
    RenderText(TextMode::Measure, 0, 0, "Aあ", 0, nullptr, nullptr, font, 0, -1, 1, &w, &h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 24);
}

// The screen keeps only what text wrote since its last clear, to clear just
// that again: text of every kind and place must leave nothing behind.
TEST_F(TextTest, ClearingTheScreenLeavesNoTextOfAnyKind)
{
    Start(16);
    const struct {
        int type, edge, italic;
    } kinds[] = {{0, -1, 0}, {1, 3, 0}, {2, -1, 1}, {3, 2, 1}};
    const int places[][2] = {{5, 10}, {-7, -5}, {150, 40}, {60, 0}};
    const ColorValue white = PackColor(255, 255, 255), red = PackColor(255, 0, 0);
    std::vector<uint32_t> words(size_t(ScreenW) * ScreenH);
    const uint32_t black = Encode(0, 0, 0);
    for (const auto& kind : kinds) {
        const FontHandle font = CreateFontToHandle(nullptr, 16, 6, kind.type, -1, kind.edge, kind.italic);
        ASSERT_NE(font, -1);
        for (const auto& place : places) {
            for (const int vertical : {0, 1}) {
                SCOPED_TRACE(testing::Message() << "type " << kind.type << " at " << place[0] << "," << place[1]
                                                << (vertical ? " vertical" : ""));
                ASSERT_EQ(ClearDrawTarget(nullptr), 0);
                ASSERT_EQ(DrawTextToHandle(place[0], place[1], "Ag漢あ W", white, font, red, vertical), 0);
                ASSERT_EQ(ClearDrawTarget(nullptr), 0);
                ASSERT_TRUE(ReadTargetWords(ScreenBack, 0, 0, ScreenW, ScreenH, words.data()));
                EXPECT_EQ(std::count(words.begin(), words.end(), black), ScreenW * ScreenH);
            }
        }
        DeleteFontHandle(font);
    }
}

TEST_F(TextTest, BrightnessAndBlendingColourTheText)
{
    Start(32);
    const FontHandle font = DefaultFontHandle();
    DrawRect(0, 0, ScreenW, ScreenH, PackColor(0, 0, 200), 1);
    SetDrawBrightness(255, 128, 0);
    DrawTextToHandle(0, 0, "■", PackColor(255, 255, 255), font, 0, 0);
    SetDrawBrightness(255, 255, 255);
    EXPECT_EQ(Word(8, 8), PackColor(255, 128, 0));

    // Alpha blending goes through the temporary image and mixes with the target.
    SetBlendState(1, 128);
    DrawTextToHandle(40, 0, "■", PackColor(255, 255, 255), font, 0, 0);
    SetBlendState(0, 255);
    EXPECT_EQ(Word(48, 8), PackColor((255 * 128 + 0 * 127) / 255, (255 * 128) / 255, (255 * 128 + 200 * 127) / 255));
    EXPECT_EQ(Word(40, 15), PackColor(0, 0, 200)) << "the key colour stays out";
    EXPECT_EQ(CurrentDrawState().brightGreen, 255);
    EXPECT_EQ(displaySettings.drawArea.right, ScreenW);
}

// Blended and antialiased text go through screen-sized temporary images that
// DeleteAllImages deletes with the rest. Check numbers wrap after 2,048 new
// images, so a caller's image can come to carry a deleted temporary image's
// handle: the text must neither write into that image nor delete it.
TEST_F(TextTest, TemporaryImagesNeverTakeOverACallersImageUnderTheirOldHandle)
{
    Start(32);
    struct Case {
        const char* name;
        int type, blend;
        int width, height;  // the caller's image
    };
    const Case cases[] = {
        {"antialiased, an image of the screen's size", FontTypeAntialiased, 0, ScreenW, ScreenH},
        {"antialiased, a smaller image", FontTypeAntialiased, 0, 20, 10},
        {"blended, an image of the screen's size", 0, 1, ScreenW, ScreenH},
        {"blended, a smaller image", 0, 1, 20, 10},
    };
    const ColorValue white = PackColor(255, 255, 255);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteAllImages();
        ClearDrawTarget(nullptr);
        const FontHandle font = CreateFontToHandle(nullptr, 16, 6, c.type, -1, -1, 0);
        SetBlendState(c.blend, 128);
        ASSERT_EQ(DrawTextToHandle(0, 0, "■", white, font, 0, 0), 0);
        ASSERT_EQ(ImageCount(), 1) << "the temporary image";
        const ImageHandle temporary = ImageEntryAtSlot(0)->handle;
        DeleteAllImages();

        ImageHandle mine = -1;
        for (int i = 0; i < HandleCheckLimit && mine != temporary; ++i) {
            if (mine != -1)
                DeleteImage(mine);
            mine = MakeEmptyImage(c.width, c.height, false, true);
        }
        ASSERT_EQ(mine, temporary) << "a full round of check numbers gives the handle again";
        PixelRegion pixels;
        ASSERT_TRUE(GetImagePixels(mine, &pixels));
        const uint32_t mineWord = EncodeColor(*pixels.format, Rgba{10, 20, 30, 255});
        FillRegion(pixels, mineWord);
        const uint32_t key = FindImage(mine)->body->transColor;

        ClearDrawTarget(nullptr);
        EXPECT_EQ(DrawTextToHandle(0, 0, "■", white, font, 0, 0), 0);
        SetBlendState(0, 255);
        EXPECT_GT(CountNonBlack(), 20) << "the text still draws";
        const ImageEntry* entry = FindImage(mine);
        ASSERT_NE(entry, nullptr) << "the caller's image was deleted";
        EXPECT_EQ(entry->body->transColor, key);
        ASSERT_TRUE(GetImagePixels(mine, &pixels));
        int changed = 0;
        for (int y = 0; y < pixels.height; ++y)
            for (int x = 0; x < pixels.width; ++x)
                changed += WordAt(pixels, x, y) != mineWord;
        EXPECT_EQ(changed, 0) << "pixels of the caller's image written";
        DeleteImage(mine);
        DeleteFontHandle(font);
    }
}

// ------------------------------------------------------------ clipping

class TextClipTest : public TextTest, public ::testing::WithParamInterface<int> {};

TEST_P(TextClipTest, TextIsCutAtEveryEdgeOfTheDrawArea)
{
    Start(16);
    const int type = GetParam();
    const FontHandle font = CreateFontToHandle(nullptr, 16, 6, type, -1, 2, 0);
    const char* text = "画面A";
    const ColorValue white = PackColor(255, 255, 255), red = PackColor(255, 0, 0);
    // The whole text once, as the reference.
    DrawTextToHandle(40, 14, text, white, font, red, 0);
    const std::vector<uint32_t> whole = Snapshot(ScreenPixels());
    int w = 0, h = 0;
    RenderText(TextMode::Measure, 0, 0, text, 0, nullptr, nullptr, font, 0, -1, 0, &w, &h);

    struct Case {
        const char* name;
        int x, y;                           // where the text goes
        int left, top, right, bottom;       // draw area
    };
    const Case cases[] = {
        {"left of the screen", -20, 14, 0, 0, ScreenW, ScreenH},
        {"above the screen", 40, -9, 0, 0, ScreenW, ScreenH},
        {"right of the screen", ScreenW - 30, 14, 0, 0, ScreenW, ScreenH},
        {"below the screen", 40, ScreenH - 7, 0, 0, ScreenW, ScreenH},
        {"inside a narrow area", 40, 14, 50, 18, 70, 25},
        {"wholly outside the area", 40, 14, 100, 0, 150, 40},
    };
    for (const Case& c : cases) {
        ClearDrawTarget(nullptr);
        SetDrawRegion(c.left, c.top, c.right, c.bottom);
        EXPECT_EQ(DrawTextToHandle(c.x, c.y, text, white, font, red, 0), 0) << c.name;
        SetDrawRegion(0, 0, ScreenW, ScreenH);
        for (int y = 0; y < ScreenH; ++y)
            for (int x = 0; x < ScreenW; ++x) {
                const int rx = x - c.x + 40, ry = y - c.y + 14;
                uint32_t want = PackColor(0, 0, 0);
                const bool inArea = x >= c.left && x < c.right && y >= c.top && y < c.bottom;
                if (inArea && rx >= 0 && rx < ScreenW && ry >= 0 && ry < ScreenH)
                    want = whole[size_t(ry) * ScreenW + rx];
                ASSERT_EQ(Word(x, y), want) << c.name << " at " << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Types, TextClipTest, ::testing::Values(1, 3));

TEST_F(TextTest, FrontScreenTextRightOfTheAreaDrawsNothing)
{
    Start(16);
    ASSERT_EQ(SetDrawTarget(ScreenFront), 0);
    SetDrawRegion(0, 0, 50, ScreenH);
    EXPECT_EQ(DrawTextString(50, 0, "A", PackColor(255, 255, 255), 0), 0);
    EXPECT_EQ(CountNonBlack(), 0);
    EXPECT_EQ(DrawTextString(45, 0, "A", PackColor(255, 255, 255), 0), 0);
    EXPECT_GT(CountNonBlack(), 0);
}

// ------------------------------------------------------------ strings

TEST_F(TextTest, StringsAreCutIntoCharactersByTheLeadByteRule)
{
    Start(16);
    const FontHandle font = DefaultFontHandle();
    CharRecord records[16];
    int count = 0;
    struct Case {
        const char* text;
        int limit;
        std::vector<uint16_t> codes;
    };
    const Case cases[] = {
        {"A\nB", -1, {0x41, 0x0A, 0x42}},
        {"Nを", -1, {0x4E, 0xF082}},
        {"A\x82", -1, {0x41, 0x82}},            // lone lead byte at the end
        {"\x82\xA0\x82\xA2", 1, {0xA082}},      // a character that starts before the limit is whole
        {"\xB1\x82\xA0", -1, {0xB1, 0xA082}},   // half-width katakana is one byte
    };
    for (const Case& c : cases) {
        ASSERT_EQ(PrepareGlyphs(font, c.text, c.limit, records, &count), 0);
        std::vector<uint16_t> got;
        for (int i = 0; i < count; ++i)
            got.push_back(records[i].Code());
        EXPECT_EQ(got, c.codes) << c.text;
    }
    // Advances: one byte half width, two bytes full width.
    EXPECT_EQ(Measure(font, "Nを押したら選択画面へ"), 8 + 10 * 16);
    EXPECT_EQ(Measure(font, "A\nB"), 8 + Measure(font, "\n") + 8);
    // A lone lead byte draws the missing-glyph box and does not crash.
    EXPECT_EQ(DrawTextString(0, 0, "A\x82", PackColor(255, 255, 255), 0), 0);
    EXPECT_GT(Measure(font, "A\x82"), 8);
}

TEST_F(TextTest, SpacesAdvanceWithoutDrawingAndSpacingAddsToEveryCharacter)
{
    Start(16);
    const FontHandle font = DefaultFontHandle();
    EXPECT_EQ(DrawTextString(0, 0, " \x81\x40 ", PackColor(255, 255, 255), 0), 0);
    EXPECT_EQ(CountNonBlack(), 0);
    EXPECT_EQ(Measure(font, " \x81\x40"), 8 + 16);
    const int plain = Measure(font, "あいA");
    SetFontSpacing(3, font);
    EXPECT_EQ(Measure(font, "あいA"), plain + 3 * 3);
}

TEST_F(TextTest, EmptyTextDrawsNothingAndLogsNothingEvenWithABadFont)
{
    Start(16);
    const size_t before = LogLines().size();
    EXPECT_EQ(DrawTextString(0, 0, "", PackColor(255, 255, 255), 0), 0);
    EXPECT_EQ(DrawTextToHandle(0, 0, "", 0, 12345, 0, 0), 0);
    EXPECT_EQ(DrawTextToHandle(0, 0, nullptr, 0, 12345, 0, 0), 0);
    EXPECT_EQ(LogLines().size(), before);
    EXPECT_EQ(DrawTextToHandle(0, 0, "A", 0, 12345, 0, 0), -1);
    EXPECT_TRUE(Logged("フォントハンドル値が異常です"));
}

TEST_F(TextTest, TextsLongerThanTheFixedStorageAreDrawnWhole)
{
    Start(16);
    const FontHandle font = DefaultFontHandle();
    std::string text;
    for (int i = 0; i < 180; ++i)
        text += i % 3 ? "あ" : "A";  // 300 bytes: 60 one-byte and 120 two-byte characters
    ASSERT_EQ(text.size(), 300u);
    EXPECT_EQ(Measure(font, text.c_str()), 60 * 8 + 120 * 16);
    EXPECT_EQ(Measure(font, text.c_str(), 257), Measure(font, text.substr(0, 258).c_str()));
    // Drawn from x far left so that the last characters land on the screen.
    ClearDrawTarget(nullptr);
    EXPECT_EQ(DrawTextToHandle(-(60 * 8 + 120 * 16) + 40, 0, text.c_str(), PackColor(255, 255, 255), font, 0, 0), 0);
    const std::vector<uint32_t> tail = Snapshot(ScreenPixels());
    ClearDrawTarget(nullptr);
    DrawTextToHandle(0, 0, text.substr(text.size() - 5).c_str(), PackColor(255, 255, 255), font, 0, 0);
    EXPECT_EQ(tail, Snapshot(ScreenPixels()));
}

// A character whose glyph the rasteriser refuses ends the text there: what
// comes before it is drawn, directly (types 0 and 1) and through the
// temporary image (antialiased types, and blended text), as "AB" alone.
TEST_F(TextTest, ARefusedGlyphEndsTheTextWhereItStands)
{
    Start(16);
    struct Case {
        int type;
        bool blended;
    };
    for (const Case c : {Case{0, false}, Case{1, false}, Case{2, false}, Case{3, false}, Case{0, true}}) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << (c.blended ? " blended" : ""));
        const FontHandle font = CreateFontToHandle(nullptr, 16, 6, c.type, -1, -1, 0);
        ASSERT_NE(font, -1);
        SetBlendState(c.blended ? 1 : 0, c.blended ? 200 : 255);
        ClearDrawTarget(nullptr);
        ASSERT_EQ(DrawTextToHandle(4, 4, "AB", PackColor(255, 255, 255), font, PackColor(255, 0, 0), 0), 0);
        const std::vector<uint32_t> wanted = Snapshot(ScreenPixels());
        ASSERT_GT(CountNonBlack(), 0);

        platform::SimulateRefusedGlyph('C');
        ClearDrawTarget(nullptr);
        EXPECT_EQ(DrawTextToHandle(4, 4, "ABCD", PackColor(255, 255, 255), font, PackColor(255, 0, 0), 0), 0);
        const std::vector<uint32_t> got = Snapshot(ScreenPixels());
        EXPECT_EQ(Measure(font, "ABCD"), -1);
        platform::SimulateRefusedGlyph(0);
        SetBlendState(0, 255);
        EXPECT_TRUE(got == wanted) << "the text up to the refused character, and nothing after it";
        EXPECT_TRUE(Logged("GetGlyphOutline 関数が失敗しました"));
        EXPECT_TRUE(Logged("テキストキャッシュの作成に失敗しました"));
        DeleteFontHandle(font);
    }
}

// Working storage for long texts is sized in 64 bits: a length whose records
// pass 2^31 bytes is refused, never given a wrapped size (1,431,655,766
// records of 3 bytes once asked for 2 bytes and were written past them).
TEST(TextWorkingStorage, SizesThatDoNotFitAreRefused)
{
    struct Case {
        int64_t count, each;
        int32_t bytes;
    };
    const Case cases[] = {
        {0, 3, 0},
        {257, 3, 771},
        {257, 2, 514},
        {715827882, 3, 2147483646},
        {715827883, 3, -1},
        {1431655766, 3, -1},
        {INT32_MAX, 2, -1},
        {INT32_MAX, 1, INT32_MAX},
        {INT32_MAX, 3, -1},
        {-1, 3, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextWorkingBytes(c.count, c.each), c.bytes) << c.count << " x " << c.each;
    static_assert(sizeof(CharRecord) == 3, "the records' size is the one the case above uses");
}

TEST_F(TextTest, FormattedTextIsCutAt2047Bytes)
{
    Start(16);
    const FontHandle font = DefaultFontHandle();
    // Every character drawn at the same place, so the last one shows
    // whether it was drawn.
    ASSERT_EQ(SetFontSpacing(-8, font), 0);
    const ColorValue white = PackColor(255, 255, 255);
    DrawTextString(0, 0, "A", white, 0);
    DrawTextString(0, 0, "B", white, 0);
    const std::vector<uint32_t> both = Snapshot(ScreenPixels());
    ClearDrawTarget(nullptr);
    DrawTextString(0, 0, "A", white, 0);
    const std::vector<uint32_t> onlyA = Snapshot(ScreenPixels());

    const std::string a2046(2046, 'A');
    ClearDrawTarget(nullptr);
    EXPECT_EQ(DrawTextFormat(0, 0, white, "%sB", a2046.c_str()), 0);  // 2047 bytes: whole
    EXPECT_EQ(Snapshot(ScreenPixels()), both);

    const std::string a5000(5000, 'A');
    ClearDrawTarget(nullptr);
    EXPECT_EQ(DrawTextFormat(0, 0, white, "%sB", a5000.c_str()), 0);  // cut before the B
    EXPECT_EQ(Snapshot(ScreenPixels()), onlyA);
}

TEST_F(TextTest, DefaultFontFollowsItsSettings)
{
    Start(16);
    const FontHandle first = DefaultFontHandle();
    ASSERT_EQ(CheckFontHandle(first), 1);
    DrawTextString(0, 0, "A", PackColor(255, 255, 255), 0);
    EXPECT_EQ(DefaultFontHandle(), first) << "an empty face name matches the record: not made again";
    SetDefaultFontSize(24, -1);
    EXPECT_EQ(QueryFontSize(DefaultFontHandle()), 24);
    EXPECT_EQ(CheckFontHandle(first), 0);
    char face[256] = "x";
    int size = 0, thickness = 0;
    EXPECT_EQ(QueryFontState(face, &size, &thickness, DefaultFontHandle()), 0);
    EXPECT_STREQ(face, "");
    EXPECT_EQ(thickness, 6);
    EXPECT_EQ(FindFont(DefaultFontHandle())->cellHeight, 24);
}

// ------------------------------------------------------------ whole library

class TextWindowTest : public MediaLayerTest {};

TEST_F(TextWindowTest, ThePresentedWindowShowsTheTextAndTheLogTheFontLines)
{
    Start();
    ASSERT_EQ(SetDrawTarget(ScreenBack), 0);
    ClearDrawTarget(nullptr);
    const ColorValue white = PackColor(255, 255, 255);
    ASSERT_EQ(DrawTextString(100, 50, "戦闘準備画面", white, 0), 0);
    ASSERT_EQ(DrawTextFormat(0, 20, white, "%dms", 30), 0);
    ASSERT_EQ(PresentScreen(), 0);
    platform::headless::Frame frame;
    ASSERT_TRUE(platform::headless::LastFrame(&frame));
    ASSERT_EQ(frame.width, 700);

    ReferenceFace face(FaceFile(DefaultFontHandle()), 16);
    ASSERT_TRUE(face.Ok());
    std::vector<char> want(700 * 400, 0);
    int pen = 0;
    for (uint32_t u : samples[0].unicode) {
        const ReferenceGlyph g = face.Glyph(u, true);
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x)
                if (g.At(x, y))
                    want[(50 + Ascent - g.top + y) * 700 + 100 + pen + g.left + x] = 1;
        pen += g.advance;
    }
    for (int y = 40; y < 80; ++y)
        for (int x = 90; x < 210; ++x)
            ASSERT_EQ(frame.At(x, y), want[y * 700 + x] ? 0xFFFFFFu : 0u) << x << "," << y;

    const std::vector<std::string> lines = Lines();
    EXPECT_EQ(FirstMissingInOrder(lines, {"入力関連の初期化をしました", "フォントの初期化を行います",
                                          "フォントの初期化は正常に終了しました"}),
              -1);
    media::EndMediaLibrary();
    EXPECT_EQ(FirstMissingInOrder(Lines(), {"フォントの初期化は正常に終了しました", "フォントの初期化を行います",
                                            "フォントの初期化は正常に終了しました", "入力関連の終了処理"}),
              -1);
}

}  // namespace
