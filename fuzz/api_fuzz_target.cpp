// The media layer's public calls driven by a hostile caller: every input is a
// program of calls (fonts, text, images, draw targets and regions, screen
// modes, device loss and restore, the memory dump) run on the headless
// backend. Every handle the program has seen, deleted or not, stays in play.
//
// The layer ends the process on purpose in a few places (the 32,769th image,
// a screen mode that cannot be set at all); AbortMediaLibraryHook turns that
// into the end of the input, an expected outcome. Sizes and counts are
// bounded so that the fuzzer's memory limit never fires on what the layer
// itself allows.
//
// Built by fuzz/CMakeLists.txt as a libFuzzer target (clang) and by
// tests/CMakeLists.txt with a replay main (g++), which runs the regression
// inputs of tests/data/fuzz/api in the suite.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/font/font.h"
#include "media/font/text.h"
#include "media/graphics/draw.h"
#include "media/graphics/image_table.h"
#include "media/graphics/screen.h"
#include "media/graphics/color_format.h"
#include "media/image/image_decode.h"
#include "media/image/image_load.h"
#include "media/log/log.h"
#include "media/platform/font_raster.h"
#include "media/platform/gl_context.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/core/memory.h"
#include "media/core/system_state.h"
#include "media/system/window.h"

#ifndef KORVANTA_FIXTURE_IMAGES
#error "KORVANTA_FIXTURE_IMAGES must name the folder of the fixture pictures"
#endif

namespace {

// Bounds that keep a program inside the fuzzer's memory limit.
constexpr size_t MaxCalls = 400;
constexpr int32_t MaxImageSide = 1024;
constexpr int64_t MaxPixelsPerInput = int64_t(48) << 20;  // made or loaded, over the whole input
constexpr int32_t MaxScreenSide = 1280;
constexpr size_t MaxSeenHandles = 4096;
constexpr size_t MaxTextBytes = 8192;
constexpr size_t MaxMemoryPicture = 16384;
// Graphics restarts (mode and window changes, restores) measure the display's
// refresh, 60 ms or more each: a few per input.
constexpr int MaxRestarts = 2;

struct ExpectedAbort {};

void ThrowExpectedAbort(const char*)
{
    throw ExpectedAbort{};
}

// The input read as a stream of numbers; an exhausted input reads zeros.
class Program {
public:
    Program(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Done() const { return position_ >= size_; }
    uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }
    // Every read is a statement of its own: the order of evaluation inside
    // one expression differs between compilers, and the replay build (g++)
    // must read an input as the fuzzer (clang) did.
    uint16_t U16()
    {
        const uint16_t low = Byte();
        return uint16_t(low | Byte() << 8);
    }
    uint32_t U32()
    {
        const uint32_t low = U16();
        return low | uint32_t(U16()) << 16;
    }
    int Pick(int count) { return Byte() % count; }
    bool Flag() { return Byte() & 1; }

    // Any int, weighted towards small values and the edges.
    int32_t Int()
    {
        static const int32_t edges[] = {INT32_MIN, INT32_MIN + 1, -65536, -32769, -32768, -2, -1, 0, 1, 2,
                                        255,       256,           4095,   32767,  32768,  65535, 65536,
                                        1 << 24,   1 << 30,       INT32_MAX - 1, INT32_MAX};
        switch (Pick(8)) {
        case 0:
            return edges[Pick(int(sizeof edges / sizeof edges[0]))];
        case 1:
            return int32_t(U32());
        case 2:
        case 3:
            return int32_t(int8_t(Byte()));
        default:
            return int32_t(int16_t(U16()));
        }
    }
    // A size from -2 to max.
    int32_t Side(int32_t max) { return int32_t(U16() % uint32_t(max + 3)) - 2; }
    float Float()
    {
        static const float edges[] = {0.0f, -0.0f, 1e30f, -1e30f, 1e-30f, 2147483648.0f, -2147483904.0f,
                                      __builtin_inff(), -__builtin_inff(), __builtin_nanf("")};
        if (Pick(6) == 0)
            return edges[Pick(int(sizeof edges / sizeof edges[0]))];
        const float value = float(int16_t(U16()));
        return value / float(1 + Pick(8));
    }
    // Bytes for text: a piece of the input, repeated up to MaxTextBytes.
    // The terminator ends it wherever it falls.
    std::string Text()
    {
        const size_t length = Byte();
        std::string piece;
        for (size_t i = 0; i < length && !Done(); ++i)
            piece.push_back(char(Byte()));
        const size_t repeats = Pick(8) == 0 ? 1 + U16() % 1024 : 1;
        std::string text;
        for (size_t i = 0; i < repeats && text.size() + piece.size() <= MaxTextBytes; ++i)
            text += piece;
        return text;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

std::vector<std::string> fixtureNames;  // sorted, absolute
std::vector<std::vector<uint8_t>> fixtureBytes;
std::string workFolder;
std::string callerFolder;  // the fuzzer's own working folder, given back after every input

void ReadFixtures()
{
    const std::string folder = KORVANTA_FIXTURE_IMAGES;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        const std::string expected = ".expected";  // pixel listings, not pictures
        if (name[0] == '.' ||
            (name.size() > expected.size() && name.compare(name.size() - expected.size(), expected.size(), expected) == 0))
            continue;
        fixtureNames.push_back(folder + "/" + name);
    }
    closedir(dir);
    std::sort(fixtureNames.begin(), fixtureNames.end());
    for (const std::string& path : fixtureNames) {
        std::vector<uint8_t> bytes;
        if (FILE* file = std::fopen(path.c_str(), "rb")) {
            uint8_t buffer[4096];
            size_t got;
            while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
                bytes.insert(bytes.end(), buffer, buffer + got);
            std::fclose(file);
        }
        fixtureBytes.push_back(std::move(bytes));
    }
}

// The work folder holds the log alone; it goes with the process.
void RemoveWorkFolder()
{
    if (workFolder.empty() || workFolder == "/tmp")
        return;
    std::remove((workFolder + "/Log.txt").c_str());
    rmdir(workFolder.c_str());
}

void SetUpOnce()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    ReadFixtures();
    // The log goes into a folder of our own.
    char folder[] = "/tmp/korvanta-apifuzz-XXXXXX";
    if (mkdtemp(folder)) {
        workFolder = folder;
        std::atexit(RemoveWorkFolder);
    } else {
        workFolder = "/tmp";
    }
    char cwd[4096];
    callerFolder = getcwd(cwd, sizeof cwd) ? cwd : "/";
    media::AbortMediaLibraryHook = ThrowExpectedAbort;
}

// One program's run.
class Run {
public:
    explicit Run(Program& program) : p_(program) {}

    void Execute()
    {
        for (size_t calls = 0; calls < MaxCalls && !p_.Done(); ++calls)
            Call();
    }

private:
    media::ImageHandle AnyImage()
    {
        switch (p_.Pick(8)) {
        case 0:
            return media::ScreenBack;
        case 1:
            return media::ScreenFront;
        case 2:
            return p_.Int();
        default:
            return images_.empty() ? -1 : images_[p_.U16() % images_.size()];
        }
    }
    media::FontHandle AnyFont()
    {
        switch (p_.Pick(6)) {
        case 0:
            return -1;
        case 1:
            return p_.Int();
        case 2:
            return media::DefaultFontHandle();
        default:
            return fonts_.empty() ? -1 : fonts_[p_.U16() % fonts_.size()];
        }
    }
    void Seen(std::vector<int32_t>& list, int32_t handle)
    {
        if (handle != -1 && list.size() < MaxSeenHandles)
            list.push_back(handle);
    }
    void SeenImage(media::ImageHandle handle)
    {
        Seen(images_, handle);
        if (const media::ImageEntry* entry = media::FindImage(handle))
            pixels_ += int64_t(entry->width) * entry->height;
    }
    bool PixelsLeft(int64_t pixels) const { return pixels_ + pixels <= MaxPixelsPerInput; }
    media::ColorValue Colour()
    {
        if (!p_.Flag())
            return media::ColorValue(p_.U32());
        const int red = p_.Byte(), green = p_.Byte(), blue = p_.Byte();
        return media::PackColor(red, green, blue);
    }

    void CreateFont()
    {
        std::string face;
        if (p_.Flag()) {
            static const char* const faces[] = {"", "IPAGothic", "DejaVu Sans", "monospace", "serif"};
            face = faces[p_.Pick(5)];
        } else {
            const size_t length = p_.Byte() % 300;
            for (size_t i = 0; i < length; ++i)
                face.push_back(char(p_.Byte()));
        }
        const bool nullFace = p_.Pick(4) == 0;
        const int size = p_.Int(), thickness = p_.Int(), type = p_.Int();
        const int charset = p_.Flag() ? p_.Pick(6) - 1 : p_.Int();
        const int edge = p_.Int(), italic = p_.Int();
        Seen(fonts_, media::CreateFontToHandle(nullFace ? nullptr : face.c_str(), size, thickness, type, charset,
                                               edge, italic));
    }

    void DrawText()
    {
        const std::string text = p_.Text();
        const int x = p_.Int(), y = p_.Int();
        const media::ColorValue colour = Colour(), edge = Colour();
        switch (p_.Pick(5)) {
        case 0: {
            const media::FontHandle font = AnyFont();
            media::DrawTextToHandle(x, y, text.c_str(), colour, font, edge, p_.Int());
            break;
        }
        case 1:
            media::DrawTextString(x, y, text.c_str(), colour, edge);
            break;
        case 2:
            media::DrawTextFormat(x, y, colour, "%s", text.c_str());
            break;
        case 3: {
            int width = 0, height = 0;
            const media::FontHandle font = AnyFont();
            const int limit = p_.Int(), vertical = p_.Int();
            media::RenderText(media::TextMode::Measure, x, y, text.c_str(), colour, nullptr, nullptr, font, edge, limit,
                              vertical, &width, &height);
            break;
        }
        default: {
            // A character cut at the end: a lone lead byte of any set.
            std::string cut = text;
            cut.push_back(char(0x80 | p_.Byte()));
            const media::FontHandle font = AnyFont();
            media::DrawTextToHandle(x, y, cut.c_str(), colour, font, edge, p_.Int());
            break;
        }
        }
    }

    void FontCall()
    {
        const media::FontHandle font = AnyFont();
        switch (p_.Pick(8)) {
        case 0:
            media::DeleteFontHandle(font);
            break;
        case 1:
            media::SetFontSpacing(p_.Int(), font);
            break;
        case 2: {
            char face[256];
            int size = 0, thickness = 0;
            media::QueryFontState(p_.Flag() ? face : nullptr, &size, &thickness, font);
            media::QueryFontSize(font);
            media::CheckFontHandle(font);
            break;
        }
        case 3: {
            const int size = p_.Int();
            media::SetDefaultFontSize(size, p_.Int());
            break;
        }
        case 4:
            media::RegisterFontLostFlag(font, &fontLost_[p_.Pick(4)]);
            break;
        case 5: {
            uint16_t codes[8];
            const int count = 1 + p_.Pick(8);
            for (int i = 0; i < count; ++i)
                codes[i] = p_.U16();
            media::RenderGlyphs(font, count, codes);
            break;
        }
        case 6:
            media::ResetGlyphCache(font);
            break;
        default:
            // A character the rasteriser refuses, as with a damaged outline.
            media::platform::SimulateRefusedGlyph(p_.Flag() ? 0 : p_.U16());
            break;
        }
    }

    void MakeImage()
    {
        switch (p_.Pick(5)) {
        case 0:
        case 1: {
            if (fixtureNames.empty() || !PixelsLeft(1 << 20))
                return;
            const std::string& name = fixtureNames[p_.U16() % fixtureNames.size()];
            SeenImage(media::LoadImageToHandle(name.c_str(), p_.Int()));
            break;
        }
        case 2: {
            // From memory: a fixture cut short or with a byte changed, or the
            // input's own bytes.
            std::vector<uint8_t> bytes;
            if (!fixtureBytes.empty() && p_.Pick(4) != 0) {
                bytes = fixtureBytes[p_.U16() % fixtureBytes.size()];
                if (!bytes.empty() && p_.Flag()) {
                    const size_t at = p_.U16() % bytes.size();
                    bytes[at] ^= uint8_t(1 + p_.Pick(255));
                }
                if (p_.Flag())
                    bytes.resize(p_.U16() % (bytes.size() + 1));
            } else {
                const size_t length = p_.U16() % MaxMemoryPicture;
                for (size_t i = 0; i < length && !p_.Done(); ++i)
                    bytes.push_back(p_.Byte());
            }
            media::MemoryStream stream{bytes.data(), bytes.size()};
            const media::ImageReader reader = media::MemoryImageReader(&stream);
            media::BaseImage picture;
            if (media::DecodeImage(reader, &picture) == 0 &&
                PixelsLeft(int64_t(picture.width) * picture.height))
                SeenImage(media::CreateImageFromBase(picture, nullptr));
            media::FreeBaseImage(&picture);
            break;
        }
        case 3: {
            const int32_t width = p_.Side(MaxImageSide), height = p_.Side(MaxImageSide);
            if (!PixelsLeft(int64_t(std::max(width, 0)) * std::max(height, 0)))
                return;
            const bool alpha = p_.Flag();
            SeenImage(media::MakeEmptyImage(width, height, alpha, p_.Flag()));
            break;
        }
        default: {
            const int32_t width = p_.Side(MaxImageSide), height = p_.Side(MaxImageSide);
            if (!PixelsLeft(int64_t(std::max(width, 0)) * std::max(height, 0)))
                return;
            SeenImage(media::MakeGlyphCacheImage(width, height, p_.Pick(6)));
            break;
        }
        }
    }

    void ImageCall()
    {
        switch (p_.Pick(8)) {
        case 0: {
            const int32_t x = p_.Int(), y = p_.Int(), width = p_.Int(), height = p_.Int();
            Seen(images_, media::DeriveImage(x, y, width, height, AnyImage()));
            break;
        }
        case 1:
        case 2:
            media::DeleteImage(AnyImage());
            break;
        case 3:
            media::DeleteAllImages();
            break;
        case 4: {
            const media::ImageHandle image = AnyImage();
            media::SetImageLostFlag(image, p_.Flag() ? nullptr : &imageLost_[p_.Pick(4)]);
            break;
        }
        case 5: {
            // The pixels written through the writers' interface.
            const media::ImageHandle handle = AnyImage();
            media::PixelRegion region;
            if (media::GetImagePixels(handle, &region) && region.width > 0 && region.height > 0) {
                const int32_t x = p_.Int() % (region.width + 1), y = p_.Int() % (region.height + 1);
                if (x >= 0 && y >= 0)
                    std::memset(region.Row(y % region.height), p_.Byte(),
                                size_t(region.width) * region.format->bytesPerPixel);
                int32_t rect[4] = {p_.Int(), p_.Int(), p_.Int(), p_.Int()};
                media::ImagePixelsChanged(handle, p_.Flag() ? rect : nullptr);
            }
            break;
        }
        case 6: {
            // Pixels from a fixture copied in at any place.
            const int32_t x = p_.Int(), y = p_.Int();
            const media::ImageHandle handle = AnyImage();
            std::vector<uint32_t> pixels(size_t(16) * 16, p_.U32());
            media::PixelRegion source{reinterpret_cast<uint8_t*>(pixels.data()), 16, 16, 64,
                                      &media::GetStandardFormat(media::StandardFormat::A8R8G8B8)};
            media::UpdateImagePixels(handle, x, y, source);
            break;
        }
        default:
            media::ReloadImageFiles();
            break;
        }
    }

    void Draw()
    {
        switch (p_.Pick(6)) {
        case 0: {
            const int x = p_.Int(), y = p_.Int();
            const media::ImageHandle image = AnyImage();
            media::DrawImage(x, y, image, p_.Int());
            break;
        }
        case 1: {
            const int x = p_.Int(), y = p_.Int(), sx = p_.Int(), sy = p_.Int(), w = p_.Int(), h = p_.Int();
            const media::ImageHandle image = AnyImage();
            const int trans = p_.Int();
            media::DrawImagePart(x, y, sx, sy, w, h, image, trans, p_.Int());
            break;
        }
        case 2: {
            float c[8];
            for (float& v : c)
                v = p_.Float();
            const media::ImageHandle image = AnyImage();
            media::DrawImageQuad(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], image, p_.Int());
            break;
        }
        case 3: {
            const int x1 = p_.Int(), y1 = p_.Int(), x2 = p_.Int(), y2 = p_.Int();
            const media::ColorValue colour = Colour();
            media::DrawRect(x1, y1, x2, y2, colour, p_.Int());
            break;
        }
        case 4: {
            int rect[4] = {p_.Int(), p_.Int(), p_.Int(), p_.Int()};
            media::ClearDrawTarget(p_.Flag() ? rect : nullptr);
            break;
        }
        default:
            media::PresentScreen();
            break;
        }
    }

    void DrawState()
    {
        switch (p_.Pick(6)) {
        case 0: {
            const int mode = p_.Flag() ? p_.Pick(6) : p_.Int();
            media::SetBlendState(mode, p_.Int());
            break;
        }
        case 1: {
            const int red = p_.Int(), green = p_.Int(), blue = p_.Int();
            media::SetDrawBrightness(red, green, blue);
            break;
        }
        case 2: {
            const int red = p_.Int(), green = p_.Int(), blue = p_.Int();
            media::SetTransColor(red, green, blue);
            break;
        }
        case 3:
            media::SetDrawFilter(p_.Flag() ? p_.Pick(4) : p_.Int());
            break;
        case 4:
            media::SetDrawBrightnessWord(p_.Int());
            break;
        default:
            media::ResetDrawState();
            break;
        }
    }

    void TargetCall()
    {
        switch (p_.Pick(3)) {
        case 0:
            media::SetDrawTarget(AnyImage());
            break;
        case 1: {
            const int left = p_.Int(), top = p_.Int(), right = p_.Int(), bottom = p_.Int();
            media::SetDrawRegion(left, top, right, bottom);
            break;
        }
        default: {
            uint32_t words[16 * 16];
            const int32_t x = p_.Int(), y = p_.Int();
            const int32_t width = 1 + p_.Pick(16), height = 1 + p_.Pick(16);
            // Only a rectangle inside the target may be asked for.
            media::DrawArea area;
            const int target = media::CurrentDrawTarget();
            if (media::CurrentTargetArea(&area) && target == media::ScreenBack && x >= 0 && y >= 0 &&
                int64_t(x) + width <= media::ScreenWidth() && int64_t(y) + height <= media::ScreenHeight())
                media::ReadTargetWords(target, x, y, width, height, words);
            break;
        }
        }
    }

    int Depth()
    {
        static const int depths[] = {-1, 0, 8, 15, 16, 24, 32};
        return p_.Flag() ? depths[p_.Pick(7)] : p_.Int();
    }

    // False once the input has had its share of graphics restarts.
    bool Restart() { return restarts_++ < MaxRestarts; }

    void ScreenCall()
    {
        const int call = p_.Pick(4);
        if (call < 3 && !Restart())
            return;
        switch (call) {
        case 0:
        case 1: {
            static const int sizes[][2] = {{640, 480}, {320, 240}, {800, 600}, {1024, 768}, {-1, -1}, {0, 0}};
            int width, height;
            if (p_.Flag()) {
                const int i = p_.Pick(6);
                width = sizes[i][0];
                height = sizes[i][1];
            } else {
                width = p_.Side(MaxScreenSide);
                height = p_.Side(MaxScreenSide);
            }
            const int depth = Depth();
            const int force = p_.Int();
            media::ChangeScreenMode(width, height, depth, force, p_.Int());
            break;
        }
        case 2:
            media::ChangeWindowMode(p_.Int());
            break;
        default:
            media::SetWaitVSync(p_.Flag());
            break;
        }
    }

    void Loss()
    {
        const int call = p_.Pick(4);
        if (call < 2 && !Restart())
            return;
        switch (call) {
        case 0:
            // The loss as the window procedure meets it: a simulated context
            // loss, then the window going inactive and active again.
            media::platform::gl::SimulateContextLoss();
            if (media::systemState.mainWindow) {
                media::platform::PostMessage(media::systemState.mainWindow, media::platform::WM_ACTIVATE, 0, 0);
                media::platform::PostMessage(media::systemState.mainWindow, media::platform::WM_ACTIVATE, 1, 0);
                media::PumpWindowMessages();
            }
            break;
        case 1:
            media::RestoreGraphics();
            break;
        case 2:
            media::PumpWindowMessages();
            break;
        default:
            media::platform::gl::TakeSimulatedLoss();
            break;
        }
    }

    void Memory()
    {
        if (p_.Flag())
            media::LogMemoryDump();
        else
            media::CheckMemoryRecords();
    }

    // The 32,769th image ends the program: derived images of one pixel share
    // a body, so the table fills without filling the memory.
    void FillImageTable()
    {
        media::ImageHandle source = -1;
        for (media::ImageHandle handle : images_)
            if (media::FindImage(handle)) {
                source = handle;
                break;
            }
        if (source == -1)
            return;
        for (int32_t i = 0; i <= media::ImageSlotCount; ++i)
            if (media::DeriveImage(0, 0, 1, 1, source) == -1)
                break;
    }

    void Call()
    {
        switch (p_.Pick(16)) {
        case 0:
            CreateFont();
            break;
        case 1:
        case 2:
            FontCall();
            break;
        case 3:
        case 4:
            DrawText();
            break;
        case 5:
        case 6:
            MakeImage();
            break;
        case 7:
            ImageCall();
            break;
        case 8:
        case 9:
            Draw();
            break;
        case 10:
            DrawState();
            break;
        case 11:
            TargetCall();
            break;
        case 12:
            ScreenCall();
            break;
        case 13:
            Loss();
            break;
        case 14:
            Memory();
            break;
        default:
            if (p_.Pick(64) == 0)
                FillImageTable();
            break;
        }
    }

    Program& p_;
    std::vector<int32_t> images_;
    std::vector<int32_t> fonts_;
    int64_t pixels_ = 0;
    int restarts_ = 0;
    // Lost flags outlive every handle they are given to.
    static inline int32_t fontLost_[4] = {};
    static inline int32_t imageLost_[4] = {};
};

}  // namespace

namespace {

// One started layer serves input after input: a graphics start measures the
// display's refresh for a tenth of a second or more, which would cap the
// fuzzer at a few inputs a second. Every input begins from the same state
// (BeginInput); a layer that ended (the program's expected end, a closed
// window) is started again.
bool sessionUp = false;

bool StartSession()
{
    media::systemState = media::SystemState{};
    media::platform::HeadlessOptions options;
    options.desktopId = "apifuzz-" + std::to_string(getpid());
    // Blanks every millisecond: the refresh measurement of a graphics start
    // then settles in about a dozen rounds.
    options.refreshRateHz = 1000.0;
    std::string error;
    if (!media::platform::SelectHeadlessBackend(options, &error))
        return false;
    media::SetScreenMode(640, 480, 16, 60);
    media::SetWindowTitle("ApiFuzz");
    media::ChangeWindowMode(1);
    if (media::InitMediaLibrary() != 0) {
        media::platform::CloseBackend();
        return false;
    }
    sessionUp = true;
    return true;
}

void EndSession()
{
    media::EndMediaLibrary();
    media::platform::CloseBackend();
    sessionUp = false;
}

// The state every input starts from: a 640 x 480 x 16 window, no images, the
// default font alone, the back screen as the target, a fresh log.
void BeginInput()
{
    media::LogStart();
    media::platform::SimulateRefusedGlyph(0);
    media::platform::gl::TakeSimulatedLoss();
    if (!media::systemState.windowed)
        media::ChangeWindowMode(1);
    if (media::ScreenWidth() != 640 || media::ScreenHeight() != 480 || media::ScreenDepth() != 16)
        media::ChangeScreenMode(640, 480, 16, 0, 60);
    media::DeleteAllImages();
    media::SetNextImageCheckNumber(0);
    media::InitFontManager();
    media::ResetDrawState();
    media::SetWaitVSync(0);  // the calls may turn it on
    media::SetDrawTarget(media::ScreenBack);
    media::SetDrawRegion(0, 0, 640, 480);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SetUpOnce();
    if (chdir(workFolder.c_str()) != 0)
        return 0;
    try {
        if (sessionUp && (!media::systemState.initialised || !media::GraphicsStarted()))
            EndSession();
        if (sessionUp || StartSession()) {
            BeginInput();
            Program program(data, size);
            Run run(program);
            run.Execute();
        }
    } catch (const ExpectedAbort&) {
        // The layer ended the program on purpose, shut down first; the next
        // input starts it again.
        while (media::LibraryLockOwner() == media::platform::CurrentThreadId())
            media::UnlockLibrary();
        media::platform::CloseBackend();
        sessionUp = false;
    }
    if (chdir(callerFolder.c_str()) != 0) {
    }
    return 0;
}
