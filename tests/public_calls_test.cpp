// The public calls (include/korvanta) where they do more than hand on their
// arguments: the formatted log and text calls format before the floors do,
// so a long or double-byte text must come out cut exactly as the floors' own
// calls cut it; the key codes must be the codes the key table fills; the
// image and text queries answer from the floors' records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvanta/media.h"
#include "media/graphics/draw.h"
#include "media/graphics/screen.h"
#include "media/input/virtual_key_map.h"
#include "media/font/text.h"
#include "media_fixture.h"

namespace {

using namespace testing_support;

// ---------------------------------------------------------------- the log

struct FormattedCase {
    const char* what;
    const char* format;  // takes one string
    std::string argument;
};

void PrintTo(const FormattedCase& c, std::ostream* out) { *out << c.what; }

class PublicLogTest : public LogFixture, public ::testing::WithParamInterface<FormattedCase> {
protected:
    // A fresh log written through the floor's calls or the public ones.
    std::vector<std::string> Written(bool viaPublic)
    {
        const FormattedCase& c = GetParam();
        media::LogStart();
        if (viaPublic) {
            korvanta::LogPrintf(c.format, c.argument.c_str());
            korvanta::LogPrintfLine(c.format, c.argument.c_str());
        } else {
            media::LogPrintf(c.format, c.argument.c_str());
            media::LogPrintfLine(c.format, c.argument.c_str());
        }
        media::LogAdd("next\n");
        return Lines();
    }
};

TEST_P(PublicLogTest, WritesWhatTheFloorsCallsWrite)
{
    const std::vector<std::string> floor = Written(false);
    ASSERT_GE(floor.size(), 2u);
    EXPECT_FALSE(floor[0].empty());
    EXPECT_EQ(Written(true), floor);
}

INSTANTIATE_TEST_SUITE_P(Texts, PublicLogTest,
    ::testing::Values(
        FormattedCase{"short", "%s items\n", "12"},
        FormattedCase{"ShiftJis", "[%s]", "日本語"},
        FormattedCase{"CutToTheBuffer", "%s", std::string(3000, 'x')},
        FormattedCase{"CutKeepingItsLineFeed", "%s\n", std::string(3000, 'y')},
        FormattedCase{"CutBeforeADoubleByteCharacter", "%s", std::string(1022, 'a') + "\x82\xA0"}),
    [](const ::testing::TestParamInfo<FormattedCase>& info) { return std::string(info.param.what); });

// ---------------------------------------------------------------- key codes

TEST(PublicKeyCodes, AreTheCodesTheKeyTableFills)
{
    struct Row {
        int code;
        uint8_t virtualKey;
    };
    std::vector<Row> rows = {
        {korvanta::KeyEscape, 0x1B}, {korvanta::KeyBackspace, 0x08}, {korvanta::KeyTab, 0x09},
        {korvanta::KeyEnter, 0x0D}, {korvanta::KeySpace, 0x20}, {korvanta::KeyLeftShift, 0xA0},
        {korvanta::KeyRightShift, 0xA1}, {korvanta::KeyLeftControl, 0xA2}, {korvanta::KeyLeftAlt, 0xA4},
        {korvanta::KeyLeft, 0x25}, {korvanta::KeyUp, 0x26}, {korvanta::KeyRight, 0x27}, {korvanta::KeyDown, 0x28},
    };
    const int letters[] = {korvanta::KeyA, korvanta::KeyB, korvanta::KeyC, korvanta::KeyD, korvanta::KeyE,
                           korvanta::KeyF, korvanta::KeyG, korvanta::KeyH, korvanta::KeyI, korvanta::KeyJ,
                           korvanta::KeyK, korvanta::KeyL, korvanta::KeyM, korvanta::KeyN, korvanta::KeyO,
                           korvanta::KeyP, korvanta::KeyQ, korvanta::KeyR, korvanta::KeyS, korvanta::KeyT,
                           korvanta::KeyU, korvanta::KeyV, korvanta::KeyW, korvanta::KeyX, korvanta::KeyY,
                           korvanta::KeyZ};
    for (int i = 0; i < 26; ++i)
        rows.push_back({letters[i], uint8_t('A' + i)});
    const int digits[] = {korvanta::Key0, korvanta::Key1, korvanta::Key2, korvanta::Key3, korvanta::Key4,
                          korvanta::Key5, korvanta::Key6, korvanta::Key7, korvanta::Key8, korvanta::Key9};
    for (int i = 0; i < 10; ++i)
        rows.push_back({digits[i], uint8_t('0' + i)});

    for (const Row& row : rows) {
        int filled = -1;  // the first row of the virtual key (the main Enter before the pad's)
        for (const media::VirtualKeyRow& mapped : media::VirtualKeyMap) {
            if (mapped.virtualKey == row.virtualKey) {
                filled = mapped.keyCode;
                break;
            }
        }
        EXPECT_EQ(row.code, filled) << "virtual key 0x" << std::hex << int(row.virtualKey);
    }
}

// ---------------------------------------------------------------- in a started layer

class PublicDrawingTest : public MediaLayerTest {
protected:
    void SetUp() override
    {
        MediaLayerTest::SetUp();
        Start();
        DrainMessages();
    }

    std::vector<uint32_t> Screen()
    {
        std::vector<uint32_t> words(size_t(media::ScreenWidth()) * size_t(media::ScreenHeight()));
        EXPECT_TRUE(media::ReadTargetWords(media::ScreenBack, 0, 0, media::ScreenWidth(), media::ScreenHeight(),
                                           words.data()));
        return words;
    }
};

TEST_F(PublicDrawingTest, FormattedTextDrawsAsTheFloorsCall)
{
    const korvanta::ColorValue white = korvanta::PackColor(255, 255, 255);
    ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
    ASSERT_EQ(media::DrawTextFormat(10, 20, white, "%d%s", 42, "日本語"), 0);
    const std::vector<uint32_t> floor = Screen();
    ASSERT_EQ(media::ClearDrawTarget(nullptr), 0);
    const std::vector<uint32_t> blank = Screen();
    ASSERT_NE(floor, blank) << "the floor's call drew nothing";
    ASSERT_EQ(korvanta::DrawTextFormat(10, 20, white, "%d%s", 42, "日本語"), 0);
    EXPECT_EQ(Screen(), floor);
}

TEST_F(PublicDrawingTest, QueriesAnswerFromTheRecords)
{
    const korvanta::ImageHandle image = korvanta::MakeImage(30, 20, false, true);
    ASSERT_NE(image, -1);
    int width = 0, height = 0;
    EXPECT_EQ(korvanta::GetImageSize(image, &width, &height), 0);
    EXPECT_EQ(width, 30);
    EXPECT_EQ(height, 20);
    EXPECT_EQ(korvanta::DeleteImage(image), 0);
    EXPECT_EQ(korvanta::GetImageSize(image, &width, &height), -1);

    const korvanta::FontHandle font = korvanta::DefaultFontHandle();
    int lineHeight = 0;
    const int one = korvanta::MeasureText("日", font, &lineHeight);
    EXPECT_GT(one, 0);
    EXPECT_GT(lineHeight, 0);
    EXPECT_EQ(korvanta::MeasureText("日日日", font, nullptr), 3 * one);
    EXPECT_EQ(korvanta::MeasureText("日", -1, &lineHeight), -1);
}

}  // namespace
