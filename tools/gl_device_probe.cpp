// Starts the media layer in a window on the display, says which graphics path
// it took and how many GL objects live, optionally draws a fixed picture and
// keeps showing it, and ends the media layer again. The device-setup tests
// run it under provoked failures; the pixel tests take pictures of its window.
//
//   gl_device_probe [--depth 16|32] [--fullscreen W H] [--lose] [--activate N] [--picture] [--front]
//                   [--hold SECONDS] [--pictures-from DIR] [--image-check FILE] [--lose-at-present] [--close]
//
// Prints "started <hardware|software> depth <n> live <n> context <0|1>",
// "screen <width> <height> emulated <0|1> windowed <0|1>" and the processor
// time the start took ("start cpu <ms>"), then "shown" once the picture is
// presented (it is drawn again for every 30 ms frame while held), then
// "ended ..." as at the start. --lose simulates a lost device once started
// and activates the window, then prints "restored ...". --activate N takes
// the window's activation away and gives it back N times, printing
// "activated ..." after each.
// --front draws the picture once on the front screen and leaves its showing
// to the front-screen timer: the hold only pumps messages, and "shown sub
// <0|1>" (whether a sub back buffer was made) follows a few of its ticks.
// With --activate as well, the picture is shown so ("front sub <0|1>")
// before the activations, and again after them.
// --pictures-from DIR sets DIR as the picture fallback folder (as an installed
// korvanta does), loads .\PIC\button.png once started and prints "picture
// <recorded path>"; its pixels are cleared before a --lose, and "refilled
// yes|no" after the restore says whether the reload brought them back.
// --image-check FILE loads the picture FILE and prints
// "image <made|none> live <before> <after>", then draws a rectangle, reads it
// back and prints "drawn <hardware|software> <yes|no>".
// --lose-at-present: the picture drawn and presented, a loss simulated, then
// "lost present <result>"; a key tapped and one pump (no activation):
// "pumped <path> live <n>"; the key read across the next pump:
// "key kept <yes|no>"; the picture again: "pixels back <yes|no> present <r>".
// --close: the close button's message, pumped until the window is gone:
// "closed live <n> context <0|1> functions <0|1>" before the end.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <ctime>

#include <vector>

#include "media/font/font.h"
#include "media/graphics/draw.h"
#include "media/graphics/gl_api.h"
#include "media/graphics/gl_device.h"
#include "media/graphics/gl_screen.h"
#include "media/graphics/mem_image.h"
#include "media/graphics/screen.h"
#include "media/image/image_load.h"
#include "media/image/picture_fallback.h"
#include "media/input/input.h"
#include "media/platform/gl_context.h"
#include "media/platform/platform.h"
#include "media/core/system_state.h"
#include "media/system/lifecycle.h"
#include "media/system/window.h"

namespace {

// Rectangles in every way the battle screen draws them, and a few more.
void DrawPicture(int target = media::ScreenBack)
{
    using namespace media;
    SetDrawTarget(target);
    ClearDrawTarget(nullptr);
    DrawRect(10, 10, 110, 60, PackColor(255, 255, 255), 1);
    DrawRect(120, 10, 220, 60, PackColor(128, 64, 32), 1);
    DrawRect(230, 10, 330, 60, 255, 1);
    DrawRect(340, 10, 440, 60, 65280, 1);
    DrawRect(450, 10, 550, 60, PackColor(200, 100, 50), 0);
    // Both corners the other way round: the same outline on both paths (one
    // axis reversed is drawn differently on purpose, see docs/HARDWARE.md).
    DrawRect(660, 60, 560, 10, PackColor(10, 250, 130), 0);
    for (int i = 0; i < 32; ++i)
        DrawRect(10 + i * 20, 80, 28 + i * 20, 200, PackColor(i * 8, 255 - i * 8, (i * 37) & 255), 1);
    SetBlendState(1, 128);
    DrawRect(50, 150, 400, 300, PackColor(255, 0, 0), 1);
    SetBlendState(0, 0);
    DrawRect(690, 390, 720, 420, PackColor(0, 0, 255), 1);
}

std::vector<uint8_t> PixelBytes(media::ImageHandle image)
{
    media::PixelRegion region;
    std::vector<uint8_t> bytes;
    if (!media::GetImagePixels(image, &region))
        return bytes;
    for (int y = 0; y < region.height; ++y)
        bytes.insert(bytes.end(), region.Row(y), region.Row(y) + region.width * region.format->bytesPerPixel);
    return bytes;
}

void PrintState(const char* when)
{
    std::printf("%s %s depth %d live %d context %d\n", when,
                media::displaySettings.hardwarePath ? "hardware" : "software", media::ScreenDepth(),
                media::GlLiveObjectCount(), media::GlContextAlive() ? 1 : 0);
    std::fflush(stdout);
}

std::vector<uint32_t> ScreenWords(int width, int height)
{
    std::vector<uint32_t> words(size_t(width) * size_t(height));
    if (!media::ReadTargetWords(media::ScreenBack, 0, 0, width, height, words.data()))
        words.clear();
    return words;
}

void ImageCheck(const std::string& file)
{
    using namespace media;
    const int before = GlLiveObjectCount();
    const ImageHandle image = LoadImageToHandle(file.c_str(), 0);
    std::printf("image %s live %d %d\n", image >= 0 ? "made" : "none", before, GlLiveObjectCount());
    SetDrawTarget(ScreenBack);
    ClearDrawTarget(nullptr);
    DrawImage(100, 100, image, 0);
    const uint32_t colour = PackColor(10, 200, 30);
    DrawRect(20, 20, 30, 30, colour, 1);
    uint32_t word = 0;
    const bool read = ReadTargetWords(ScreenBack, 25, 25, 1, 1, &word);
    const uint32_t mask = ScreenDepth() == 16 ? 0xFFFF : 0xFFFFFF;
    std::printf("drawn %s %s\n", displaySettings.hardwarePath ? "hardware" : "software",
                read && (word & mask) == (colour & mask) ? "yes" : "no");
    // A font's glyph cache is an image too: one the device cannot take leaves
    // the font on a memory cache.
    const FontHandle font = CreateFontToHandle(nullptr, 16, 6, 0, -1, -1, 0);
    const FontRecord* record = FindFont(font);
    std::printf("font %s\n", !record ? "none" : record->useTexture ? "texture" : "memory");
    std::fflush(stdout);
}

void LoseAtPresent(int width, int height)
{
    using namespace media;
    DrawPicture();
    PresentScreen();
    const std::vector<uint32_t> before = ScreenWords(width, height);
    platform::gl::SimulateContextLoss();
    DrawPicture();
    std::printf("lost present %d\n", PresentScreen());
    // A tap taken by the pump that restores.
    platform::PostMessage(systemState.mainWindow, platform::WM_KEYDOWN, 0x42, 0);
    platform::PostMessage(systemState.mainWindow, platform::WM_KEYUP, 0x42, intptr_t(uint32_t(3u << 30)));
    platform::Sleep(2);
    PumpWindowMessages();
    PrintState("pumped");
    ReadKeyState(48);  // brings input up again
    platform::Sleep(2);
    PumpWindowMessages();
    std::printf("key kept %s\n", ReadKeyState(48) == 1 ? "yes" : "no");
    DrawPicture();
    const int presented = PresentScreen();
    const std::vector<uint32_t> after = ScreenWords(width, height);
    std::printf("pixels back %s present %d\n", !before.empty() && after == before ? "yes" : "no", presented);
    std::fflush(stdout);
}

void CloseWindow()
{
    using namespace media;
    platform::PostMessage(systemState.mainWindow, platform::WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && !systemState.windowDestroyed; ++i)
        PumpWindowMessages();
    std::printf("closed live %d context %d functions %d\n", GlLiveObjectCount(), GlContextAlive() ? 1 : 0,
                gl_api::gl.GetString || gl_api::gl.GenTextures ? 1 : 0);
    std::fflush(stdout);
}

void PrintScreen()
{
    std::printf("screen %d %d emulated %d windowed %d\n", media::ScreenWidth(), media::ScreenHeight(),
                media::displaySettings.emulate320x240 ? 1 : 0, media::systemState.windowed);
    std::fflush(stdout);
}

// Draws the picture on the front screen and pumps messages for a few of the
// front-screen timer's 32 ms ticks.
void ShowOnFront(const char* label)
{
    DrawPicture(media::ScreenFront);
    for (int i = 0; i < 20 && media::PumpWindowMessages() == 0; ++i)
        media::platform::Sleep(20);
    std::printf("%s sub %d\n", label, media::GlSubBackBufferExists() ? 1 : 0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    int depth = 16, width = 700, height = 400;
    bool fullScreen = false, picture = false, lose = false, loseAtPresent = false, close = false, front = false;
    int activations = 0;
    double holdSeconds = 0;
    std::string picturesFrom, imageFile;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--depth" && i + 1 < argc) {
            depth = std::atoi(argv[++i]);
        } else if (argument == "--fullscreen" && i + 2 < argc) {
            fullScreen = true;
            width = std::atoi(argv[++i]);
            height = std::atoi(argv[++i]);
        } else if (argument == "--lose") {
            lose = true;
        } else if (argument == "--image-check" && i + 1 < argc) {
            imageFile = argv[++i];
        } else if (argument == "--lose-at-present") {
            loseAtPresent = true;
        } else if (argument == "--close") {
            close = true;
        } else if (argument == "--activate" && i + 1 < argc) {
            activations = std::atoi(argv[++i]);
        } else if (argument == "--front") {
            front = picture = true;
        } else if (argument == "--picture") {
            picture = true;
        } else if (argument == "--pictures-from" && i + 1 < argc) {
            picturesFrom = argv[++i];
        } else if (argument == "--hold" && i + 1 < argc) {
            holdSeconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: gl_device_probe [--depth 16|32] [--fullscreen W H] [--lose] [--activate N] [--picture] [--front] [--hold S] [--pictures-from DIR] [--image-check FILE] [--lose-at-present] [--close]\n");
            return 2;
        }
    }
    std::string error;
    if (!media::platform::SelectSdlBackend(&error)) {
        std::fprintf(stderr, "gl_device_probe: %s\n", error.c_str());
        return 1;
    }
    media::SetWindowTitle("GlDeviceProbe");
    media::ChangeWindowMode(fullScreen ? 0 : 1);
    media::SetScreenMode(width, height, depth, 60);
    if (media::InitMediaLibrary() != 0) {
        PrintState("failed");
        media::platform::CloseBackend();
        return 3;
    }
    PrintState("started");
    PrintScreen();
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    std::printf("start cpu %.1f ms\n", double(cpu.tv_sec) * 1e3 + double(cpu.tv_nsec) / 1e6);
    std::fflush(stdout);
    media::ImageHandle button = -1;
    std::vector<uint8_t> loaded;
    if (!picturesFrom.empty()) {
        media::SetPictureFallbackFolder(picturesFrom);
        button = media::LoadImageToHandle(".\\PIC\\button.png", 0);
        const media::ImageEntry* entry = media::FindImage(button);
        std::printf("picture %s\n", entry && entry->fileName ? entry->fileName->path : "none");
        loaded = PixelBytes(button);
        media::PixelRegion region;
        if (media::GetImagePixels(button, &region))
            media::FillRegion(region, 0);
    }
    if (lose) {
        media::platform::gl::SimulateContextLoss();
        media::platform::SendMessage(media::systemState.mainWindow, media::platform::WM_ACTIVATE,
                                     media::platform::WA_ACTIVE, 0);
        PrintState("restored");
    }
    if (!imageFile.empty())
        ImageCheck(imageFile);
    if (loseAtPresent)
        LoseAtPresent(width, height);
    if (front && activations > 0)
        ShowOnFront("front");
    for (int i = 0; i < activations; ++i) {
        using namespace media::platform;
        SendMessage(media::systemState.mainWindow, WM_ACTIVATE, WA_INACTIVE, 0);
        SendMessage(media::systemState.mainWindow, WM_ACTIVATE, WA_ACTIVE, 0);
        PrintState("activated");
        PrintScreen();
    }
    if (button >= 0) {
        std::printf("refilled %s\n", !loaded.empty() && PixelBytes(button) == loaded ? "yes" : "no");
        std::fflush(stdout);
    }
    if (front) {
        ShowOnFront("shown");
    } else if (picture) {
        DrawPicture();
        media::PresentScreen();
        std::printf("shown\n");
        std::fflush(stdout);
    }
    const int until = media::NowMilliseconds() + int(holdSeconds * 1000);
    while (media::NowMilliseconds() < until && media::PumpWindowMessages() == 0) {
        if (picture && !front) {
            DrawPicture();
            media::PresentScreen();
        }
        media::platform::Sleep(30);
    }
    if (close)
        CloseWindow();
    media::EndMediaLibrary();
    PrintState("ended");
    media::platform::CloseBackend();
    return 0;
}
