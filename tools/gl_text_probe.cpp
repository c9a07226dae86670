// Text through the glyph caches of either graphics path, and a lost device.
// Starts the media layer in a window, draws lines of text with the four font
// types (plain, edged, antialiased, antialiased and edged) and writes the
// screen's pixel words to a file, so that a run on the hardware path can be
// set against one on the memory path. Prints what the glyph caches are:
//
//   font <type> texture <0|1> alpha <bits> planes <1|2> texels <glyph> <edge>
//
// (texels: cache texels with a nonzero alpha in the glyph and edge planes).
// With --lose, after that first picture: an image loaded from a file whose
// contents are then replaced, a drawable image drawn into, a simulated loss
// of the GL context and an activation of the window; then
//
//   check <name> ok|FAIL <details>
//
// for the image (the new file's pixels), the drawable image (empty), the
// fonts (same handles) and text (drawn again), and the text picture again
// into <out>.after; then every image is deleted (the glyph caches too) and
// the picture drawn once more into <out>.refilled.
//
// --deny-on-restore: as --lose, but the device cannot be made again (no
// depth format usable), so the memory path takes over.
//
// --cache-fails: after the first picture every image is deleted (the glyph
// caches too) and glyph-cache images cannot be made any more, so each font
// has to turn to a memory cache at its next text; the fonts again, and the
// text picture into <out>.fallback.
//
// --cache-alias: after the first picture every image is deleted, and new
// 16 x 16 images are made (and deleted) until one takes the handle the edged
// font's cache image had (check numbers wrap after 2,048 images); it is
// filled with one colour, the text picture drawn into <out>.alias, and
//
//   alias image <1: it has that handle and still lives> kept <pixels of 256 unchanged>
//
// --restore-in-wait text|image: the window made inactive, a loss simulated
// and the activation only posted, so that the wait of the next text (or
// image) draw runs the restore; with --deny-on-restore the restore leaves the
// memory path. Prints
//
//   wait <text|image> result <r> active <0|1> path <hardware|software> lit <pixels>
//
// and the same draw once more after it ("again ...").
//
//   gl_text_probe [--depth 16|32] --out FILE [--lose | --deny-on-restore | --cache-fails | --cache-alias]
//                 [--restore-in-wait text|image]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "media/font/font.h"
#include "media/font/text.h"
#include "media/graphics/draw.h"
#include "media/graphics/gl_device.h"
#include "media/graphics/screen.h"
#include "media/image/image_load.h"
#include "media/platform/gl_context.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/core/system_state.h"
#include "media/system/window.h"

namespace {

using namespace media;

constexpr int ScreenW = 640, ScreenH = 400;
// The text picture's area of the screen.
constexpr int PictureW = 640, PictureH = 260;

FontHandle fonts[4] = {-1, -1, -1, -1};

void MakeFonts()
{
    // Edge 1 on the plain edged font, 2 (a disc) on the antialiased one.
    const int edges[4] = {-1, 1, -1, 2};
    for (int type = 0; type < 4; ++type)
        fonts[type] = CreateFontToHandle(nullptr, 20, 6, type, -1, edges[type], 0);
}

// The lines: every font type plain, under a brightness, blended, vertical
// and cut by the draw area.
void DrawTextPicture()
{
    SetDrawTarget(ScreenBack);
    SetDrawRegion(0, 0, ScreenW, ScreenH);
    ClearDrawTarget(nullptr);
    DrawRect(0, 0, PictureW, PictureH, PackColor(40, 60, 90), 1);
    const char* text = "Korvanta 0123 あいう漢字 ＡＢ";
    for (int type = 0; type < 4; ++type) {
        const int y = 4 + type * 64;
        DrawTextToHandle(6, y, text, PackColor(255, 220, 40), fonts[type], PackColor(200, 20, 20), 0);
        SetDrawBrightness(128, 255, 200);
        DrawTextToHandle(6, y + 21, text, PackColor(250, 250, 250), fonts[type], PackColor(20, 20, 220), 0);
        SetDrawBrightness(255, 255, 255);
        SetBlendState(1, 160);
        DrawTextToHandle(6, y + 42, text, PackColor(90, 255, 120), fonts[type], PackColor(0, 0, 0), 0);
        SetBlendState(0, 255);
        // Vertical, each glyph a quarter turn clockwise.
        DrawTextToHandle(420, y, "あ漢Ag", PackColor(255, 255, 255), fonts[type], PackColor(0, 160, 0), 1);
        // Cut by the draw area's right edge.
        SetDrawRegion(0, 0, 600, ScreenH);
        DrawTextToHandle(560, y, "Wm", PackColor(255, 255, 255), fonts[type], PackColor(255, 0, 255), 0);
        SetDrawRegion(0, 0, ScreenW, ScreenH);
    }
}

bool DumpPicture(const std::string& path)
{
    std::vector<uint32_t> words(size_t(PictureW) * PictureH);
    if (!ReadTargetWords(ScreenBack, 0, 0, PictureW, PictureH, words.data()))
        return false;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(words.data(), sizeof(uint32_t), words.size(), file) == words.size();
    return std::fclose(file) == 0 && written;
}

void PrintFonts()
{
    for (int type = 0; type < 4; ++type) {
        const FontRecord* r = FindFont(fonts[type]);
        if (!r) {
            std::printf("font %d missing\n", type);
            continue;
        }
        int alphaBits = 0, planes = 0;
        long glyphTexels = 0, edgeTexels = 0;
        PixelRegion cache;
        if (r->useTexture && GetImagePixels(HeldImageHandle(r->cacheImage), &cache)) {
            alphaBits = cache.format->alphaWidth;
            planes = cache.width / r->cacheWidth;
            const ImageEntry* edge = FindImage(HeldImageHandle(r->edgeImage));
            if (planes == 2 && !(edge && edge->offsetX == r->cacheWidth && edge->width == r->cacheWidth))
                planes = -1;  // the edge image is not the right half
            for (int32_t y = 0; y < cache.height; ++y) {
                for (int32_t x = 0; x < cache.width; ++x) {
                    uint16_t texel;
                    std::memcpy(&texel, cache.At(x, y), 2);
                    if (texel & cache.format->alphaMask)
                        ++(x < r->cacheWidth ? glyphTexels : edgeTexels);
                }
            }
        }
        std::printf("font %d texture %d alpha %d planes %d texels %ld %ld\n", type, r->useTexture, alphaBits,
                    planes, glyphTexels, edgeTexels);
    }
}

// A 16 x 16 picture of one colour as a 24-bit BMP.
bool WriteBmp(const char* path, uint8_t red, uint8_t green, uint8_t blue)
{
    uint8_t header[54] = {'B', 'M'};
    auto put32 = [&](int at, uint32_t value) {
        for (int i = 0; i < 4; ++i)
            header[at + i] = uint8_t(value >> (8 * i));
    };
    const uint32_t pixelBytes = 16 * 16 * 3;
    put32(2, 54 + pixelBytes);
    put32(10, 54);
    put32(14, 40);
    put32(18, 16);
    put32(22, 16);
    header[26] = 1;
    header[28] = 24;
    put32(34, pixelBytes);
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    std::fwrite(header, 1, sizeof header, file);
    for (uint32_t i = 0; i < 16 * 16; ++i) {
        const uint8_t bgr[3] = {blue, green, red};
        std::fwrite(bgr, 1, 3, file);
    }
    return std::fclose(file) == 0;
}

uint32_t ColourBits(uint32_t word)
{
    return ScreenDepth() == 16 ? word & 0xFFFF : word & 0xFFFFFF;
}

void Check(const char* name, bool ok, const std::string& details)
{
    std::printf("check %s %s %s\n", name, ok ? "ok" : "FAIL", details.c_str());
}

void LoseAndRestore(const std::string& out, bool denyOnRestore)
{
    // An image from a file that changes while the device is away.
    const bool written = WriteBmp("probe_picture.bmp", 200, 40, 40);
    const ImageHandle picture = written ? LoadImageToHandle("probe_picture.bmp", 0) : -1;
    WriteBmp("probe_picture.bmp", 30, 90, 220);
    // A drawable image drawn into.
    const ImageHandle drawable = MakeEmptyImage(32, 32, false, true);
    SetDrawTarget(drawable);
    DrawRect(0, 0, 32, 32, PackColor(250, 250, 250), 1);
    SetDrawTarget(ScreenBack);
    uint32_t before = 0;
    ReadTargetWords(drawable, 5, 5, 1, 1, &before);

    if (denyOnRestore)
        setenv("KORVANTA_GL_DENY", "D16,D24X8,D32", 1);  // no depth buffer: the device cannot be made
    platform::gl::SimulateContextLoss();
    platform::SendMessage(systemState.mainWindow, platform::WM_ACTIVATE, platform::WA_ACTIVE, 0);
    std::printf("restored %s live %d\n", displaySettings.hardwarePath ? "hardware" : "software",
                GlLiveObjectCount());

    // The picture, drawn opaque, shows the new file.
    SetDrawTarget(ScreenBack);
    SetDrawRegion(0, 0, ScreenW, ScreenH);
    ClearDrawTarget(nullptr);
    DrawImage(600, 300, picture, 0);
    uint32_t words[16 * 16];
    const bool read = ReadTargetWords(ScreenBack, 600, 300, 16, 16, words);
    const uint32_t wanted = ColourBits(PackColor(30, 90, 220));
    int matching = 0;
    for (uint32_t word : words)
        matching += read && ColourBits(word) == wanted;
    char details[160];
    std::snprintf(details, sizeof details, "picture %d: %d of 256 pixels 0x%X (first 0x%X)", picture, matching,
                  unsigned(wanted), unsigned(read ? ColourBits(words[0]) : 0));
    Check("reloaded-picture", picture >= 0 && matching == 256, details);

    // The drawable image is empty again.
    std::vector<uint32_t> inside(32 * 32, 1);
    const bool insideRead = ReadTargetWords(drawable, 0, 0, 32, 32, inside.data());
    int empty = 0;
    for (uint32_t word : inside)
        empty += ColourBits(word) == 0;
    std::snprintf(details, sizeof details, "drawable %d: %d of 1024 pixels empty (0x%X before the loss)", drawable,
                  insideRead ? empty : -1, unsigned(ColourBits(before)));
    Check("drawable-empty", insideRead && empty == 1024 && ColourBits(before) != 0, details);

    // Fonts under their old handles, and text that draws.
    int valid = 0;
    for (FontHandle font : fonts)
        valid += CheckFontHandle(font);
    std::snprintf(details, sizeof details, "%d of 4 fonts valid", valid);
    Check("font-handles", valid == 4, details);
    const uint32_t background = ColourBits(PackColor(0, 0, 0));
    DrawTextString(10, 340, "復帰 Restored", PackColor(255, 255, 255), 0);
    std::vector<uint32_t> line(200 * 20);
    ReadTargetWords(ScreenBack, 10, 340, 200, 20, line.data());
    int lit = 0;
    for (uint32_t word : line)
        lit += ColourBits(word) != background;
    std::snprintf(details, sizeof details, "%d pixels of the default font's line lit", lit);
    Check("default-text", lit > 100, details);

    DrawTextPicture();
    PrintFonts();
    Check("picture-after", DumpPicture(out + ".after"), out + ".after");

    // Every image deleted, the glyph caches with them: the fonts make new
    // caches at their next text.
    DeleteAllImages();
    DrawTextPicture();
    PrintFonts();
    Check("picture-refilled", DumpPicture(out + ".refilled"), out + ".refilled");
}

void CacheFails(const std::string& out)
{
    SimulateGlyphCacheImageFailure(true);
    DeleteAllImages();
    DrawTextPicture();
    PrintFonts();
    Check("picture-fallback", DumpPicture(out + ".fallback"), out + ".fallback");
    SimulateGlyphCacheImageFailure(false);
}

void CacheAlias(const std::string& out)
{
    const FontRecord* r = FindFont(fonts[1]);
    const ImageHandle old = r ? r->cacheImage.handle : -1;
    DeleteAllImages();
    // The slots below the old one taken, so that the next images come to its slot.
    for (int32_t slot = 0; old >= 0 && slot < HandleSlot(old); ++slot)
        MakeEmptyImage(16, 16, false, false);
    ImageHandle mine = -1;
    for (int i = 0; old >= 0 && i < HandleCheckLimit && mine != old; ++i) {
        if (mine != -1)
            DeleteImage(mine);
        mine = MakeEmptyImage(16, 16, false, false);
    }
    PixelRegion pixels;
    uint32_t word = 0;
    if (GetImagePixels(mine, &pixels)) {
        word = EncodeColor(*pixels.format, Rgba{10, 20, 30, 255});
        FillRegion(pixels, word);
        ImagePixelsChanged(mine);
    }
    DrawTextPicture();
    Check("picture-alias", DumpPicture(out + ".alias"), out + ".alias");
    int kept = 0;
    const bool alive = old >= 0 && mine == old && GetImagePixels(mine, &pixels);
    for (int32_t y = 0; alive && y < pixels.height; ++y)
        for (int32_t x = 0; x < pixels.width; ++x)
            kept += LoadPixelWord(pixels.At(x, y), pixels.format->bytesPerPixel) == word;
    std::printf("alias image %d kept %d\n", alive ? 1 : 0, kept);
}

// One draw of text or of an image after `arm` (nothing between them may
// wait for the window); the pixels it lit.
template <class Arm>
int DrawForWait(bool text, ImageHandle picture, int* result, Arm&& arm)
{
    SetDrawTarget(ScreenBack);
    SetDrawRegion(0, 0, ScreenW, ScreenH);
    ClearDrawTarget(nullptr);
    std::vector<uint32_t> before(120 * 24), after(120 * 24);
    ReadTargetWords(ScreenBack, 10, 300, 120, 24, before.data());
    arm();
    *result = text ? DrawTextToHandle(10, 300, "待機 Wait", PackColor(255, 255, 255), fonts[1], PackColor(255, 0, 0), 0)
                   : DrawImage(10, 300, picture, 0);
    ReadTargetWords(ScreenBack, 10, 300, 120, 24, after.data());
    int lit = 0;
    for (size_t i = 0; i < after.size(); ++i)
        lit += ColourBits(after[i]) != ColourBits(before[i]);
    return lit;
}

void RestoreInWait(bool text, bool denyOnRestore)
{
    const bool written = WriteBmp("probe_wait.bmp", 200, 40, 40);
    const ImageHandle picture = written ? LoadImageToHandle("probe_wait.bmp", 0) : -1;
    // Inactive, and the activation that will find the device lost waits in
    // the queue: the draw's own wait takes it.
    auto arm = [&] {
        platform::SendMessage(systemState.mainWindow, platform::WM_ACTIVATE, platform::WA_INACTIVE, 0);
        if (denyOnRestore)
            setenv("KORVANTA_GL_DENY", "D16,D24X8,D32", 1);
        platform::gl::SimulateContextLoss();
        platform::PostMessage(systemState.mainWindow, platform::WM_ACTIVATE, platform::WA_ACTIVE, 0);
    };
    int result = 0;
    int lit = DrawForWait(text, picture, &result, arm);
    std::printf("wait %s result %d active %d path %s lit %d\n", text ? "text" : "image", result,
                int(systemState.active), displaySettings.hardwarePath ? "hardware" : "software", lit);
    lit = DrawForWait(text, picture, &result, [] {});
    std::printf("again %s result %d path %s lit %d\n", text ? "text" : "image", result,
                displaySettings.hardwarePath ? "hardware" : "software", lit);
}

}  // namespace

int main(int argc, char** argv)
{
    int depth = 16;
    bool lose = false, denyOnRestore = false, cacheFails = false, cacheAlias = false;
    std::string out, inWait;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--depth" && i + 1 < argc) {
            depth = std::atoi(argv[++i]);
        } else if (argument == "--out" && i + 1 < argc) {
            out = argv[++i];
        } else if (argument == "--lose") {
            lose = true;
        } else if (argument == "--deny-on-restore") {
            lose = denyOnRestore = true;
        } else if (argument == "--cache-fails") {
            cacheFails = true;
        } else if (argument == "--cache-alias") {
            cacheAlias = true;
        } else if (argument == "--restore-in-wait" && i + 1 < argc &&
                   (std::strcmp(argv[i + 1], "text") == 0 || std::strcmp(argv[i + 1], "image") == 0)) {
            inWait = argv[++i];
        } else {
            out.clear();
            break;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "usage: gl_text_probe [--depth 16|32] --out FILE "
                             "[--lose | --deny-on-restore | --cache-fails | --cache-alias] "
                             "[--restore-in-wait text|image]\n");
        return 2;
    }
    std::string error;
    if (!platform::SelectSdlBackend(&error)) {
        std::fprintf(stderr, "gl_text_probe: %s\n", error.c_str());
        return 1;
    }
    SetWindowTitle("GlTextProbe");
    ChangeWindowMode(1);
    SetScreenMode(ScreenW, ScreenH, depth, 60);
    if (InitMediaLibrary() != 0) {
        platform::CloseBackend();
        return 3;
    }
    std::printf("started %s depth %d\n", displaySettings.hardwarePath ? "hardware" : "software", ScreenDepth());
    MakeFonts();
    DrawTextPicture();
    PrintFonts();
    const bool dumped = DumpPicture(out);
    PresentScreen();
    if (!inWait.empty())
        RestoreInWait(inWait == "text", denyOnRestore);
    else if (lose)
        LoseAndRestore(out, denyOnRestore);
    else if (cacheFails)
        CacheFails(out);
    else if (cacheAlias)
        CacheAlias(out);
    for (FontHandle font : fonts)
        DeleteFontHandle(font);
    EndMediaLibrary();
    std::printf("ended live %d\n", GlLiveObjectCount());
    platform::CloseBackend();
    return dumped ? 0 : 4;
}
