// Font handles and glyph caches: the 40-entry table and its check numbers,
// creation defaults, metrics, first-in-first-out eviction, the start and end
// of the font layer, character sets, and the fallbacks when faces are missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <fontconfig/fontconfig.h>

#include "font_fixture.h"

using namespace media;
using namespace testing_support;

namespace {

class FontTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = MakeTempDir();
        StartFontScreen(160, 48, 16, dir_);
    }
    void TearDown() override
    {
        StopFontScreen();
        std::string command = "rm -rf '" + dir_ + "'";
        if (std::system(command.c_str()) != 0) {
        }
    }
    std::vector<std::string> LogLines() const { return LinesWithoutTimestamps(ReadFile(dir_ + "/Log.txt")); }
    int CountLogged(const std::string& text) const
    {
        int n = 0;
        for (const std::string& line : LogLines())
            n += line.find(text) != std::string::npos;
        return n;
    }
    static int Measure(FontHandle font, const char* text)
    {
        return RenderText(TextMode::Measure, 0, 0, text, 0, nullptr, nullptr, font, 0, -1, 0);
    }
    std::string dir_;
};

TEST_F(FontTest, DefaultFontHasTheGothicCellAndCacheGeometry)
{
    const FontRecord* r = FindFont(DefaultFontHandle());
    ASSERT_NE(r, nullptr);
    EXPECT_NE(FaceFile(DefaultFontHandle()).find("japanese-gothic"), std::string::npos) << FaceFile(DefaultFontHandle());
    EXPECT_EQ(r->size, 16);
    EXPECT_EQ(r->thickness, 6);
    EXPECT_EQ(r->cellHeight, 16);
    EXPECT_EQ(r->cellSize, 24);  // 16 + 2, rounded up to 8
    EXPECT_EQ(r->slotCount, 327680 / (24 * 24));
    EXPECT_EQ(r->memoryBitsPerPixel, 1);
    EXPECT_EQ(r->memoryPitch, 3);
    EXPECT_EQ(r->useTexture, 0);
    EXPECT_EQ(r->slots[r->slotCount].slotIndex, -1);
    EXPECT_EQ(Measure(DefaultFontHandle(), "A"), 8);
    EXPECT_EQ(Measure(DefaultFontHandle(), "あ"), 16);
}

TEST_F(FontTest, CreationDefaultsAndEdgeRules)
{
    struct Case {
        int type, edge;
        int wantType, wantEdge;
    };
    const Case cases[] = {
        {-1, -1, 0, 1}, {0, 3, 1, 3}, {1, -1, 1, 1}, {2, 1, 2, 1}, {2, 2, 3, 2}, {0, 1, 0, 1},
    };
    for (const Case& c : cases) {
        const FontHandle font = CreateFontToHandle(nullptr, -1, -1, c.type, -1, c.edge, 0);
        const FontRecord* r = FindFont(font);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->type, c.wantType) << c.type << "," << c.edge;
        EXPECT_EQ(r->edgeSize, c.wantEdge);
        EXPECT_EQ(r->size, 16);
        EXPECT_EQ(r->thickness, 6);
        EXPECT_EQ(r->memoryBitsPerPixel, c.wantType == 0 ? 1 : 8);
        EXPECT_EQ(r->cellHeight, (c.wantType & 1) ? 16 + 2 * c.wantEdge : 16);
        DeleteFontHandle(font);
    }
}

// Size, thickness and edge size at their extremes: each either makes a font
// whose cell the cache holds and whose text draws, or fails with -1 and a
// line, leaving the table as it was. An edge of 1 << 30 used to make a
// negative cell (a crash at the first text), INT_MIN sizes and huge
// thicknesses overflowed on their way to the rasteriser.
TEST_F(FontTest, ExtremeParametersMakeASafeFontOrFailCleanly)
{
    struct Case {
        int size, thickness, edge;
        bool made;
    };
    const Case cases[] = {
        // Size: -1 and 0 are 16, negative is the em height; past a cell, none.
        {-1, 6, -1, true}, {0, 6, -1, true}, {-16, 6, -1, true}, {4, 6, -1, true}, {100, 6, -1, true},
        {-4097, 6, -1, false}, {4097, 6, -1, false}, {1 << 30, 6, -1, false}, {INT_MAX, 6, -1, false},
        {INT_MIN, 6, -1, false}, {-(1 << 30), 6, -1, false},
        // Thickness: weights 0 to 1000.
        {16, 0, -1, true}, {16, 10, -1, true}, {16, 11, -1, false}, {16, -2, -1, false},
        {16, 1 << 30, -1, false}, {16, INT_MAX, -1, false}, {16, INT_MIN, -1, false},
        // Edge size: below 1 counts as 1; an edge wider than a cell, none.
        {16, 6, 0, true}, {16, 6, -7, true}, {16, 6, INT_MIN, true}, {16, 6, 40, true},
        {16, 6, 2040, false}, {16, 6, 2048, false}, {16, 6, 2049, false}, {16, 6, 1 << 30, false},
        {16, 6, INT_MAX, false},
    };
    for (int type : {0, 3}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "type " << type << " size " << c.size << " thickness "
                                            << c.thickness << " edge " << c.edge);
            const int before = CountLogged("フォント");
            const FontHandle font = CreateFontToHandle(nullptr, c.size, c.thickness, type, -1, c.edge, 0);
            if (!c.made) {
                EXPECT_EQ(font, -1);
                EXPECT_GT(CountLogged("フォント"), before) << "a failure says why";
                continue;
            }
            const FontRecord* r = FindFont(font);
            ASSERT_NE(r, nullptr);
            EXPECT_GT(r->cellSize, 0);
            EXPECT_LE(r->cellSize, 4096);
            EXPECT_GE(r->cellSize, r->cellHeight);
            EXPECT_GT(Measure(font, "Aあ"), 0);
            EXPECT_EQ(DrawTextToHandle(0, 0, "Aあ", PackColor(255, 255, 255), font, PackColor(255, 0, 0), 0), 0);
            EXPECT_EQ(DeleteFontHandle(font), 0);
        }
    }
    // Nothing was left in the table: all 39 free entries still take a font.
    std::vector<FontHandle> fonts;
    for (int i = 0; i < 39; ++i)
        fonts.push_back(CreateFontToHandle("", 12, 6, 0, -1, -1, 0));
    EXPECT_EQ(std::count(fonts.begin(), fonts.end(), -1), 0);
    for (FontHandle font : fonts)
        DeleteFontHandle(font);
}

// FreeType's 256 coverage values onto the 17 levels, at the points where the
// level steps: rounding to the nearest sixteenth.
TEST(CoverageLevels, StepAtTheNearestSixteenth)
{
    const std::pair<int, int> points[] = {
        {0, 0},     {7, 0},     {8, 1},     {23, 1},    {24, 2},    {119, 7},   {120, 8},   {127, 8},
        {128, 8},   {135, 8},   {136, 9},   {231, 14},  {232, 15},  {247, 15},  {248, 16},  {255, 16},
    };
    for (auto [gray, level] : points)
        EXPECT_EQ(platform::CoverageLevel(uint8_t(gray)), level) << "gray " << gray;
}

// The edge every glyph pixel stamps around itself, read back from the cells
// of edged fonts: the cache holds 1 for the glyph and 2 for the edge, and the
// edge must be the glyph spread by the size's mask, clipped to the cell.
TEST_F(FontTest, EdgesAreTheGlyphSpreadByTheMaskOfTheirSize)
{
    struct Case {
        int edge;
        std::vector<std::string> mask;  // (2e + 1) rows; empty: the full square
    };
    const Case cases[] = {
        {1, {".#.", "#.#", ".#."}},
        {2, {".###.", "#####", "#####", "#####", ".###."}},
        {3, {"...#...", ".#####.", ".#####.", "#######", ".#####.", ".#####.", "...#..."}},
        {4,
         {"..#####..", ".#######.", "#########", "#########", "#########", "#########", "#########", ".#######.",
          "..#####.."}},
        {5, {}},
        {7, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "edge " << c.edge);
        const FontHandle font = CreateFontToHandle(nullptr, 16, 6, 1, -1, c.edge, 0);
        FontRecord* r = FindFont(font);
        ASSERT_NE(r, nullptr);
        for (const char* text : {".", "+", "W"}) {
            SCOPED_TRACE(text);
            ASSERT_GT(Measure(font, text), 0);
            const GlyphMapEntry& entry = r->glyphMap[uint8_t(text[0])];
            ASSERT_TRUE(entry.cached && entry.slot);
            const int cell = r->cellSize;
            auto at = [&](int x, int y) {
                return r->memoryCache[(int64_t(entry.slot->slotIndex) * cell + y) * r->memoryPitch + x];
            };
            auto stamps = [&](int dx, int dy) {
                if (c.mask.empty())
                    return true;
                return c.mask[size_t(dy + c.edge)][size_t(dx + c.edge)] == '#';
            };
            int glyphPixels = 0, edgePixels = 0;
            for (int y = 0; y < cell; ++y)
                for (int x = 0; x < cell; ++x) {
                    bool spread = false;
                    for (int dy = -c.edge; dy <= c.edge && !spread; ++dy)
                        for (int dx = -c.edge; dx <= c.edge && !spread; ++dx) {
                            const int gx = x - dx, gy = y - dy;
                            spread = (dx || dy) && stamps(dx, dy) && gx >= 0 && gy >= 0 && gx < cell &&
                                     gy < cell && at(gx, gy) == 1;
                        }
                    const int want = at(x, y) == 1 ? 1 : spread ? 2 : 0;
                    ASSERT_EQ(at(x, y), want) << "cell pixel " << x << "," << y;
                    glyphPixels += want == 1;
                    edgePixels += want == 2;
                }
            EXPECT_GT(glyphPixels, 0);
            EXPECT_GT(edgePixels, 0);
        }
        DeleteFontHandle(font);
    }
}

TEST_F(FontTest, AnEightBitScreenGetsNoAntialiasedFonts)
{
    StopFontScreen();
    StartFontScreen(160, 48, 8, dir_);
    const FontHandle font = CreateFontToHandle(nullptr, 16, 6, 3, -1, -1, 0);
    ASSERT_NE(font, -1);
    EXPECT_EQ(FindFont(font)->type, 1);
    EXPECT_EQ(DrawTextToHandle(0, 0, "あ", PackColor(255, 255, 255), font, 0, 0), 0);
}

TEST_F(FontTest, TableHoldsFortyFontsAndRefusesStaleHandles)
{
    std::vector<FontHandle> fonts{DefaultFontHandle()};
    for (int i = 1; i < FontTableSize; ++i) {
        fonts.push_back(CreateFontToHandle("", 12, 6, 0, -1, -1, 0));
        ASSERT_NE(fonts.back(), -1) << i;
    }
    EXPECT_EQ(CreateFontToHandle("", 12, 6, 0, -1, -1, 0), -1);
    EXPECT_EQ(CountLogged("作成できるフォントハンドル数 40 の限界を超えました"), 1);

    const FontHandle old = fonts[7];
    EXPECT_EQ(HandleKind(old), HandleKindFont);
    EXPECT_EQ(HandleSlot(old), 7);
    ASSERT_EQ(DeleteFontHandle(old), 0);
    EXPECT_EQ(DeleteFontHandle(old), -1);
    EXPECT_EQ(CheckFontHandle(old), 0);
    EXPECT_EQ(QueryFontSize(old), -1);
    EXPECT_EQ(SetFontSpacing(1, old), -1);
    EXPECT_EQ(DrawTextToHandle(0, 0, "A", 0, old, 0, 0), -1);

    const FontHandle reused = CreateFontToHandle("", 12, 6, 0, -1, -1, 0);
    EXPECT_EQ(HandleSlot(reused), 7);
    EXPECT_NE(reused, old);
    EXPECT_EQ(CheckFontHandle(old), 0) << "the check number differs";
    EXPECT_EQ(CheckFontHandle(reused), 1);
    EXPECT_EQ(CreateFontToHandle("", 12, 6, 0, -1, -1, 0, 7), -1) << "a taken index, no message";
    EXPECT_EQ(CountLogged("作成できるフォントハンドル数"), 1);
    for (FontHandle bad : {-1, 0, MakeHandle(HandleKindImage, HandleCheck(reused), 7), MakeHandle(HandleKindFont, 0, 40)})
        EXPECT_EQ(CheckFontHandle(bad), 0) << bad;

    int32_t lost = 5;
    EXPECT_EQ(RegisterFontLostFlag(reused, &lost), 0);
    EXPECT_EQ(lost, 0);
    DeleteFontHandle(reused);
    EXPECT_EQ(lost, 1);
}

TEST_F(FontTest, FullCacheEvictsTheOldestGlyphFirst)
{
    // A big font gets the smallest automatic cache: 20 slots.
    const FontHandle font = CreateFontToHandle(nullptr, 130, 6, 0, -1, -1, 0);
    FontRecord* r = FindFont(font);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(r->slotCount, 20);
    const char* kana = "あいうえおかきくけこさしすせそたちつてと";  // 20 distinct characters
    Measure(font, kana);
    auto cached = [&](const char* c) {
        return r->glyphMap[uint8_t(c[0]) | uint8_t(c[1]) << 8].cached == 1;
    };
    EXPECT_TRUE(cached("あ"));
    EXPECT_EQ(r->nextSlot, 0);
    // One more: the first one drawn goes, however often it was used.
    Measure(font, "あああ");
    Measure(font, "な");
    EXPECT_FALSE(cached("あ"));
    EXPECT_TRUE(cached("い"));
    EXPECT_TRUE(cached("な"));
    EXPECT_EQ(r->glyphMap[0xC882].slot->slotIndex, 0);  // な took slot 0
    // Drawing it again rasterises it again, into the next slot.
    Measure(font, "あ");
    EXPECT_TRUE(cached("あ"));
    EXPECT_FALSE(cached("い"));
    EXPECT_EQ(r->nextSlot, 2);

    // A string with more distinct characters than slots draws like its pieces.
    const std::string longer = std::string(kana) + "なにぬねの";
    const ColorValue white = PackColor(255, 255, 255);
    SetFontSpacing(-130, font);  // every character at one place
    ClearDrawTarget(nullptr);
    DrawTextToHandle(0, -20, longer.c_str(), white, font, 0, 0);
    const std::vector<uint32_t> once = Snapshot(ScreenPixels());
    ClearDrawTarget(nullptr);
    for (size_t i = 0; i < longer.size(); i += 2)
        DrawTextToHandle(0, -20, longer.substr(i, 2).c_str(), white, font, 0, 0);
    EXPECT_EQ(once, Snapshot(ScreenPixels()));
}

TEST_F(FontTest, CharacterSetsCutAndAdvanceTheirOwnWay)
{
    struct Case {
        int charset;
        const char* text;
        int characters;
        int width;  // half-width one-byte characters, full-width two-byte ones; -1: 8 and a box
    };
    const Case cases[] = {
        {1, "\xB0\xA1\x41\xA1\xDF", 5, 5 * 8},        // Shift-JIS: half-width katakana are one byte
        {2, "\xB0\xA1\x41\xA1\xDF", 3, 16 + 8 + 16},  // Hangul: every byte from 0x80 leads
        {3, "\xA4\x40\x41", 2, 16 + 8},               // Big5 "一" and "A"
        {4, "\xB0\xA1\x41\xD6\xD0", 3, 16 + 8 + 16},  // GB2312
        {2, "A\xB0", 2, -1},                          // a lone lead byte still draws a box
    };
    for (const Case& c : cases) {
        const FontHandle font = CreateFontToHandle(nullptr, 16, 6, 0, c.charset, -1, 0);
        ASSERT_NE(font, -1);
        CharRecord records[16];
        int count = 0;
        ASSERT_EQ(PrepareGlyphs(font, c.text, -1, records, &count), 0);
        EXPECT_EQ(count, c.characters) << c.charset << " " << c.text;
        // The box's advance is the Korean face's own (16 in IPAGothic, 8 in NanumGothicCoding).
        const int box = Measure(font, "\xB0");
        EXPECT_GT(box, 0);
        EXPECT_EQ(Measure(font, c.text), c.width >= 0 ? c.width : 8 + box) << c.charset << " " << c.text;
        EXPECT_EQ(DrawTextToHandle(0, 0, c.text, PackColor(255, 255, 255), font, 0, 0), 0);
        DeleteFontHandle(font);
    }
}

TEST_F(FontTest, WeightAndItalicChangeTheGlyphs)
{
    auto pixels = [&](FontHandle font) {
        ClearDrawTarget(nullptr);
        DrawTextToHandle(0, 0, "山A", PackColor(255, 255, 255), font, 0, 0);
        return Snapshot(ScreenPixels());
    };
    auto inked = [](const std::vector<uint32_t>& words) {
        int n = 0;
        for (uint32_t w : words)
            n += w != 0;
        return n;
    };
    const FontHandle regular = CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0);
    const FontHandle bold = CreateFontToHandle(nullptr, 16, 7, 0, -1, -1, 0);
    const FontHandle italic = CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 1);
    const auto r = pixels(regular), b = pixels(bold), i = pixels(italic);
    EXPECT_GT(inked(b), inked(r));
    EXPECT_NE(i, r);
    EXPECT_EQ(FindFont(bold)->cellSize, 24);
}

TEST_F(FontTest, NamedFacesMapToTheGothicOrWhatCoversTheLanguage)
{
    struct Case {
        const char* face;
        const char* wantFile;
    };
    const Case cases[] = {
        {"ＭＳ ゴシック", "japanese-gothic"},
        {"ＭＳ　ゴシック", "japanese-gothic"},
        {"MS Gothic", "japanese-gothic"},
        {"ＭＳ ｺﾞｼｯｸ", "japanese-gothic"},
        {"No Such Face", "ipa|japanese-gothic"},  // fontconfig's default face would draw boxes
        {"DejaVu Sans Mono", "DejaVuSansMono"},
    };
    for (const Case& c : cases) {
        const FontHandle font = CreateFontToHandle(c.face, 16, 6, 0, -1, -1, 0);
        ASSERT_NE(font, -1) << c.face;
        const std::string file = FaceFile(font), want = c.wantFile;
        const size_t bar = want.find('|');
        const bool found = file.find(want.substr(0, bar)) != std::string::npos ||
                           (bar != std::string::npos && file.find(want.substr(bar + 1)) != std::string::npos);
        EXPECT_TRUE(found) << c.face << " -> " << file;
        char face[256];
        QueryFontState(face, nullptr, nullptr, font);
        EXPECT_STREQ(face, c.face);
        DeleteFontHandle(font);
    }
}

// The faces fontconfig says cover a language.
std::vector<std::string> FacesCovering(const char* language)
{
    std::vector<std::string> files;
    FcPattern* pattern = FcPatternCreate();
    FcLangSet* languages = FcLangSetCreate();
    FcLangSetAdd(languages, reinterpret_cast<const FcChar8*>(language));
    FcPatternAddLangSet(pattern, FC_LANG, languages);
    FcLangSetDestroy(languages);
    FcObjectSet* objects = FcObjectSetBuild(FC_FILE, nullptr);
    if (FcFontSet* set = FcFontList(nullptr, pattern, objects)) {
        for (int i = 0; i < set->nfont; ++i) {
            FcChar8* file = nullptr;
            if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) == FcResultMatch)
                files.push_back(reinterpret_cast<const char*>(file));
        }
        FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return files;
}

bool FaceHasCharacter(const std::string& file, uint32_t unicode)
{
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    bool has = false;
    if (FT_Init_FreeType(&library) == 0 && FT_New_Face(library, file.c_str(), 0, &face) == 0) {
        has = FT_Get_Char_Index(face, unicode) != 0;
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return has;
}

// The Gothic of the Korean and Chinese character sets is a face that covers
// the language (IPAGothic has no Hangul, and Hangul would come out as boxes);
// Japanese keeps IPAGothic. A language with no face installed is skipped,
// except in CI, whose install step brings one for each.
TEST_F(FontTest, TheGothicOfEachCharacterSetCoversItsLanguage)
{
    struct Case {
        int charset;
        const char* face;  // null: the default face
        const char* language;
        uint32_t sample;  // a character of the language IPAGothic lacks; 0: none checked
    };
    const Case cases[] = {
        {1, nullptr, "ja", 0},
        {0, "MS Gothic", "ja", 0},
        {2, nullptr, "ko", 0xAC00},             // Hangul GA
        {2, "ＭＳ ゴシック", "ko", 0xD7A3},  // the last Hangul syllable
        {3, nullptr, "zh-tw", 0},
        {4, nullptr, "zh-cn", 0x8FD9},  // simplified "this"
    };
    const bool ci = std::getenv("CI") && std::string(std::getenv("CI")) == "true";
    std::string skipped;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.language) + " " + (c.face ? c.face : "(default face)"));
        const FontHandle font = CreateFontToHandle(c.face, 16, 6, 0, c.charset, -1, 0);
        ASSERT_NE(font, -1);
        const std::string file = FaceFile(font);
        DeleteFontHandle(font);
        if (std::string(c.language) == "ja") {
            EXPECT_TRUE(file.find("ipag") != std::string::npos || file.find("japanese-gothic") != std::string::npos)
                << file;
            continue;
        }
        const std::vector<std::string> covering = FacesCovering(c.language);
        if (covering.empty()) {
            EXPECT_FALSE(ci) << "no face covers " << c.language << ": scripts/install-deps.sh brings one";
            skipped += std::string(" ") + c.language;
            continue;
        }
        EXPECT_NE(std::find(covering.begin(), covering.end(), file), covering.end()) << file;
        if (c.sample) {
            EXPECT_TRUE(FaceHasCharacter(file, c.sample)) << file;
        }
    }
    if (!skipped.empty())
        GTEST_SKIP() << "no face installed for" << skipped
                     << " (fonts-nanum, fonts-arphic-gbsn00lp, fonts-droid-fallback)";
}

// ------------------------------------------------------------ lifecycle

TEST_F(FontTest, GraphicsEndRunsTheFontStartOnceMoreAndDeletesEverything)
{
    const FontHandle extra = CreateFontToHandle("", 20, 6, 2, -1, -1, 0);
    ASSERT_EQ(CheckFontHandle(extra), 1);
    const int before = CountLogged("フォントの初期化を行います");
    EndGraphics();
    EXPECT_EQ(CountLogged("フォントの初期化を行います"), before + 1);
    EXPECT_EQ(CountLogged("フォントの初期化は正常に終了しました"), before + 1);
    EXPECT_EQ(CheckFontHandle(extra), 0);
    EXPECT_EQ(CheckFontHandle(DefaultFontHandle()), 0);
    EndGraphics();  // a second end is harmless
    EXPECT_EQ(CountLogged("フォントの初期化を行います"), before + 1);
}

TEST_F(FontTest, RecreatingFontsKeepsHandlesAndSpacing)
{
    const FontHandle font = CreateFontToHandle("", 20, 8, 3, -1, 2, 1);
    SetFontSpacing(4, font);
    Measure(font, "あい");
    ASSERT_EQ(RecreateAllFonts(), 0);
    const FontRecord* r = FindFont(font);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->spacing, 4);
    EXPECT_EQ(r->type, 3);
    EXPECT_EQ(r->edgeSize, 2);
    EXPECT_EQ(r->italic, 1);
    EXPECT_EQ(r->glyphMap[0xA082].cached, 0) << "a fresh cache";
    EXPECT_EQ(CheckFontHandle(DefaultFontHandle()), 1);
}

TEST_F(FontTest, ScreenModeChangeKeepsTheDefaultFontSize)
{
    SetDefaultFontSize(20, 8);
    systemState.windowed = 1;
    ASSERT_EQ(ChangeScreenMode(200, 60, 32, 1, -1), 0);
    int size = 0, thickness = 0;
    ASSERT_EQ(QueryFontState(nullptr, &size, &thickness, DefaultFontHandle()), 0);
    EXPECT_EQ(size, 20);
    EXPECT_EQ(thickness, 8);
}

TEST_F(FontTest, HandlesFromBeforeAGraphicsRestartStayStale)
{
    // Every restart makes the default font first and then the caller's fonts
    // in the same slots: with check numbers begun afresh, the kept handles
    // would name the new fonts.
    struct Restart {
        const char* name;
        void (*run)();
    };
    const Restart restarts[] = {
        {"screen-mode change",
         [] {
             systemState.windowed = 1;
             ASSERT_EQ(ChangeScreenMode(200, 60, 16, 1, -1), 0);
         }},
        {"graphics end and start",
         [] {
             EndGraphics();
             ASSERT_EQ(StartGraphics(), 0);
         }},
    };
    for (const Restart& restart : restarts) {
        SCOPED_TRACE(restart.name);
        const FontHandle oldDefault = DefaultFontHandle();
        const FontHandle kept = CreateFontToHandle("", 20, 6, 0, -1, -1, 0);
        ASSERT_EQ(CheckFontHandle(kept), 1);
        restart.run();
        const FontHandle fresh = CreateFontToHandle("", 12, 6, 0, -1, -1, 0);
        ASSERT_EQ(CheckFontHandle(fresh), 1);
        EXPECT_EQ(HandleSlot(fresh), HandleSlot(kept)) << "the same slot, taken again";
        EXPECT_NE(fresh, kept);
        EXPECT_NE(DefaultFontHandle(), oldDefault);
        for (FontHandle stale : {kept, oldDefault}) {
            EXPECT_EQ(CheckFontHandle(stale), 0) << stale;
            EXPECT_EQ(QueryFontSize(stale), -1) << stale;
            EXPECT_EQ(DrawTextToHandle(0, 0, "A", 0, stale, 0, 0), -1) << stale;
            EXPECT_EQ(DeleteFontHandle(stale), -1) << stale;
        }
        EXPECT_EQ(QueryFontSize(fresh), 12);
        DeleteFontHandle(fresh);
    }
}

TEST_F(FontTest, WithoutFreeTypeTheProgramEnds)
{
    EXPECT_EXIT(
        {
            platform::SimulateRasterSystemFailure(true);
            CreateFontToHandle("", 16, 6, 0, -1, -1, 0);
        },
        ::testing::ExitedWithCode(255), "");
    EXPECT_EQ(CountLogged("テキストキャッシュサーフェスのＤＣの取得に失敗しました"), 1);
}

// ------------------------------------------------------------ missing faces

class FontConfigurationTest : public FontTest {
protected:
    void UseConfiguration(const std::string& body)
    {
        const char* old = std::getenv("FONTCONFIG_FILE");
        hadOld_ = old != nullptr;
        if (old)
            old_ = old;
        const std::string path = dir_ + "/fonts.conf";
        std::ofstream(path) << "<?xml version=\"1.0\"?>\n<fontconfig>" << body << "</fontconfig>\n";
        setenv("FONTCONFIG_FILE", path.c_str(), 1);
        platform::ReloadFontConfiguration();
    }
    void TearDown() override
    {
        if (hadOld_)
            setenv("FONTCONFIG_FILE", old_.c_str(), 1);
        else
            unsetenv("FONTCONFIG_FILE");
        platform::ReloadFontConfiguration();
        FontTest::TearDown();
    }
    bool hadOld_ = false;
    std::string old_;
};

TEST_F(FontConfigurationTest, WithoutTheGothicTheDefaultFontTakesAnyFace)
{
    UseConfiguration("<dir>/usr/share/fonts/truetype/dejavu</dir><cachedir>" + dir_ + "/cache</cachedir>");
    ASSERT_EQ(InitFonts(), 0);
    const FontHandle font = DefaultFontHandle();
    ASSERT_EQ(CheckFontHandle(font), 1);
    EXPECT_NE(FaceFile(font).find("DejaVu"), std::string::npos) << FaceFile(font);
    EXPECT_EQ(DrawTextString(0, 0, "戦闘A", PackColor(255, 255, 255), 0), 0);
    EXPECT_EQ(CountLogged("フォントの作成に失敗しました"), 0);
}

TEST_F(FontConfigurationTest, WithNoFacesAtAllCreationFailsWithoutEndingTheProgram)
{
    UseConfiguration("<cachedir>" + dir_ + "/cache</cachedir>");
    ASSERT_EQ(InitFonts(), 0);
    EXPECT_EQ(CheckFontHandle(DefaultFontHandle()), 0);
    EXPECT_EQ(CountLogged("フォントの作成に失敗しました"), 1);
    EXPECT_EQ(CreateFontToHandle("DejaVu Sans", 16, 6, 0, -1, -1, 0), -1);
    EXPECT_EQ(CountLogged("指定のフォントの作成に失敗しました"), 1);
    EXPECT_EQ(DrawTextString(0, 0, "A", PackColor(255, 255, 255), 0), -1);
    EXPECT_EQ(CountLogged("フォントハンドル値が異常です"), 1);
    EXPECT_EQ(DrawTextFormat(0, 0, PackColor(255, 255, 255), "%d", 5), -1);
}

}  // namespace
