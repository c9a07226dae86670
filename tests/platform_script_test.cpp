// The headless input script: its language, its timing by presented frames
// and milliseconds, and its screenshots.
#include "media/platform/script.h"
#include "platform_fixture.h"

#include <png.h>

#include <cstdio>
#include <fstream>

namespace platform_test {
namespace {

using PlatformScript = HeadlessTest;

TEST(PlatformScriptParsing, BadLinesAreReportedWithTheirNumber)
{
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"jump\n", "line 1: unknown command \"jump\""},
        {"# comment\n\nwait 3 apples\n", "line 3: unknown unit \"apples\" (frames or ms)"},
        {"wait -1 frames\n", "line 1: bad number \"-1\""},
        {"wait 2\n", "line 1: expected \"wait N frames\" or \"wait N ms\""},
        {"key down A\nkey down NOPE\n", "line 2: unknown key \"NOPE\""},
        {"key press A\n", "line 1: expected \"key down NAME\" or \"key up NAME\""},
        {"mouse move 1\n", "line 1: expected \"mouse move X Y\""},
        {"mouse move 1 y\n", "line 1: bad coordinates \"1 y\""},
        {"button down fourth\n", "line 1: unknown button \"fourth\""},
        {"wheel 999\n", "line 1: expected \"wheel N\" with N from -273 to 273"},
        {"focus maybe\n", "line 1: expected \"focus lost\" or \"focus gained\""},
        {"close now\n", "line 1: \"close\" takes nothing more"},
        {"screenshot   \n", "line 1: expected \"screenshot FILE.png\""},
        {"pad 1 push 3\n", "line 1: expected \"pad N press|release BUTTON\""},
        {"pad 17 press 1\n", "line 1: bad pad \"17\" (1 to 16)"},
        {"pad 1 press 33\n", "line 1: bad pad button \"33\" (1 to 32, left, right, up or down)"},
        {"resize 10\n", "line 1: expected \"resize WIDTH HEIGHT\" (client size, 0 to 32767)"},
    };
    for (const auto& c : cases) {
        std::vector<ScriptCommand> commands;
        std::string error;
        EXPECT_FALSE(ParseScript(c.text, &commands, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_TRUE(commands.empty());
    }
}

TEST(PlatformScriptParsing, AcceptsEveryCommandInAnyCase)
{
    const char* text =
        "# a whole session\r\n"
        "  WAIT 3 Frames\r\n"
        "wait 1 frame\n"
        "wait 250 ms\n"
        "key down esc\n"
        "Key Up Escape\n"
        "mouse move -4 12\n"
        "button down LEFT\n"
        "button up middle\n"
        "wheel -3\n"
        "focus lost\n"
        "focus gained\n"
        "screenshot shots/first frame.png\n"
        "close\n"
        "PAD 2 Press Up\n"
        "pad 16 release 32\n"
        "resize 640 480\n";
    std::vector<ScriptCommand> commands;
    std::string error;
    ASSERT_TRUE(ParseScript(text, &commands, &error)) << error;
    ASSERT_EQ(commands.size(), 16u);
    using Kind = ScriptCommand::Kind;
    EXPECT_EQ(commands[0].kind, Kind::WaitFrames);
    EXPECT_EQ(commands[0].count, 3);
    EXPECT_EQ(commands[0].line, 2);
    EXPECT_EQ(commands[2].kind, Kind::WaitMilliseconds);
    EXPECT_EQ(commands[3].key->virtualKey, 0x1B);
    EXPECT_EQ(commands[4].kind, Kind::KeyUp);
    EXPECT_EQ(commands[5].x, -4);
    EXPECT_EQ(commands[6].button, 0);
    EXPECT_EQ(commands[7].button, 2);
    EXPECT_EQ(commands[8].count, -3);
    EXPECT_EQ(commands[11].path, "shots/first frame.png");
    EXPECT_EQ(commands[12].kind, Kind::Close);
    EXPECT_EQ(commands[13].kind, Kind::PadPress);
    EXPECT_EQ(commands[13].x, 1);
    EXPECT_EQ(commands[13].button, 34);
    EXPECT_EQ(commands[14].kind, Kind::PadRelease);
    EXPECT_EQ(commands[14].x, 15);
    EXPECT_EQ(commands[14].button, 31);
    EXPECT_EQ(commands[15].kind, Kind::Resize);
    EXPECT_EQ(commands[15].x, 640);
    EXPECT_EQ(commands[15].y, 480);
}

// Notepad saves UTF-8 with a byte order mark and CR LF, and often no final line end.
TEST(PlatformScriptParsing, ANotepadFileReadsAsItsCommands)
{
    std::vector<ScriptCommand> commands;
    std::string error;
    ASSERT_TRUE(ParseScript("\xEF\xBB\xBFwait 2 frames\r\nclose", &commands, &error)) << error;
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].kind, ScriptCommand::Kind::WaitFrames);
    EXPECT_EQ(commands[0].count, 2);
    EXPECT_EQ(commands[1].kind, ScriptCommand::Kind::Close);
    EXPECT_EQ(commands[1].line, 2);
}

// A script saved as UTF-16 is named as such, not echoed as a command of odd bytes.
TEST(PlatformScriptParsing, AUtf16ScriptIsRefusedAsSuch)
{
    const std::string text("\xFF\xFEw\0a\0i\0t\0", 10);
    std::vector<ScriptCommand> commands;
    std::string error;
    EXPECT_FALSE(ParseScript(text, &commands, &error));
    EXPECT_EQ(error, "line 1: a zero byte: a script is text in ASCII or UTF-8 (not UTF-16)");
    EXPECT_TRUE(commands.empty());
}

TEST(PlatformScriptFile, SelectingFailsOnABadScriptOrAMissingFile)
{
    const std::string path = "platform_script_bad.txt";
    std::ofstream(path) << "wait 1 frames\nfly away\n";
    HeadlessOptions options;
    options.scriptPath = path;
    options.desktopId = "script-file-test";
    std::string error;
    EXPECT_FALSE(SelectHeadlessBackend(options, &error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_EQ(CurrentBackend(), Backend::None);

    options.scriptPath = "no/such/script.txt";
    EXPECT_FALSE(SelectHeadlessBackend(options, &error));
    EXPECT_NE(error.find("no/such/script.txt"), std::string::npos) << error;

    std::ofstream(path) << "# fine\nkey down B\n";
    options.scriptPath = path;
    ASSERT_TRUE(SelectHeadlessBackend(options, &error)) << error;
    EXPECT_FALSE(headless::ScriptFinished());
    CloseBackend();
    std::remove(path.c_str());
}

void PresentOne(WindowHandle window, uint16_t colour)
{
    const uint16_t pixels[1] = {colour};
    PresentBitmap(window, pixels, BitmapDescription{1, 1, 16, 2, 0xF800, 0x07E0, 0x001F}, Rect{0, 0, 1, 1},
                  Rect{0, 0, 1, 1});
}

TEST_F(PlatformScript, WaitsCountPresentedFrames)
{
    const WindowHandle window = MakeWindow();
    TakeAll();
    std::string error;
    ASSERT_TRUE(headless::LoadScript("wait 2 frames\nkey down B\nwait 0 frames\nkey up B\n", &error)) << error;
    EXPECT_TRUE(TakeAll().empty());
    PresentOne(window, 0);
    EXPECT_TRUE(TakeAll().empty());
    PresentOne(window, 0);
    const std::vector<Message> taken = TakeAll();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].message, uint32_t(WM_KEYDOWN));
    EXPECT_EQ(taken[1].message, uint32_t(WM_KEYUP));
    EXPECT_TRUE(headless::ScriptFinished());
}

TEST_F(PlatformScript, WaitsCountMilliseconds)
{
    MakeWindow();
    TakeAll();
    std::string error;
    ASSERT_TRUE(headless::LoadScript("wait 100000 ms\nclose\n", &error));
    EXPECT_TRUE(TakeAll().empty());

    ASSERT_TRUE(headless::LoadScript("wait 40 ms\nclose\n", &error));
    const int64_t start = QueryPerformanceCounter();
    Message message{};
    bool closed = false;
    while (!closed && ElapsedMilliseconds(start) < 10000) {
        closed = PeekMessage(&message, 0, true) && message.message == WM_CLOSE;
        if (!closed)
            Sleep(1);
    }
    ASSERT_TRUE(closed);
    EXPECT_GE(ElapsedMilliseconds(start), 40);
}

TEST_F(PlatformScript, InputWaitsForAWindowToTakeIt)
{
    std::string error;
    ASSERT_TRUE(headless::LoadScript("key down A\n", &error));
    Message message;
    EXPECT_FALSE(PeekMessage(&message, 0, true));
    const WindowHandle window = MakeWindow();
    ASSERT_TRUE(TakeUntil(WM_KEYDOWN, &message));
    EXPECT_EQ(message.window, window);
}

std::vector<uint32_t> ReadPng(const std::string& path, int* width, int* height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr))
        return {};
    *width = int(image.width);
    *height = int(image.height);
    std::vector<uint32_t> pixels(size_t(image.width) * image.height);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (uint32_t(rgb[i * 3]) << 16) | (uint32_t(rgb[i * 3 + 1]) << 8) | rgb[i * 3 + 2];
    return pixels;
}

TEST_F(PlatformScript, ScreenshotsHoldTheFrameAsPresented)
{
    const WindowHandle window = MakeWindow();
    TakeAll();
    const uint16_t pixels[] = {0x07E0, 0xF800, 0x001F, 0x8410};
    ASSERT_TRUE(PresentBitmap(window, pixels, BitmapDescription{4, 1, 16, 8, 0xF800, 0x07E0, 0x001F},
                              Rect{0, 0, 4, 1}, Rect{0, 0, 4, 1}));
    const std::string path = "platform_script_shot.png";
    std::remove(path.c_str());
    std::string error;
    ASSERT_TRUE(headless::LoadScript("screenshot " + path + "\nscreenshot no/such/dir/x.png\n", &error));
    TakeAll();
    int width = 0, height = 0;
    const std::vector<uint32_t> shot = ReadPng(path, &width, &height);
    ASSERT_EQ(width, 700);
    ASSERT_EQ(height, 400);
    EXPECT_EQ(shot[0], 0x00FF00u);
    EXPECT_EQ(shot[1], 0xFF0000u);
    EXPECT_EQ(shot[2], 0x0000FFu);
    EXPECT_EQ(shot[3], 0x848284u);
    EXPECT_EQ(shot[4], 0u);
    EXPECT_TRUE(headless::ScriptFinished()) << "a screenshot that cannot be written does not stop the script";
    std::remove(path.c_str());
}

TEST_F(PlatformScript, ScreenshotBeforeAnyFrameIsRefused)
{
    std::string error;
    EXPECT_FALSE(headless::WriteScreenshot("platform_never.png", &error));
    EXPECT_EQ(error, "no frame was presented yet");
}

}  // namespace
}  // namespace platform_test
