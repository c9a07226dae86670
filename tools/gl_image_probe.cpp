// Draws a table of image cases (opaque, keyed, alpha, parts, mirrored parts,
// derived images, quads, brightness, blending, clipping, an image wider than
// the screen in several texture pieces, a drawable image) into the back
// screen of whichever graphics path runs, and writes the screen's pixel words
// for a comparison of the two paths.
//
//   gl_image_probe OUTPUT_FILE [--depth 16|32] [--recreate] [--pictures DIR]
//
// --pictures: DXT1 to DXT5 pictures (DDS) of DIR are loaded and drawn too;
// prints "dxt compressed <n> of <m>" (how many the hardware path kept as DXT).
//
// --recreate: once the images are made (and the drawable one drawn into),
// their textures are deleted and made again as after a lost device, before
// anything is drawn; prints "textures live <before> released <n> recreated <n>".
// Drawable images come back empty (the memory path empties its own to match).
//
// --transfer-failure: once the images are made, one upload of the pattern
// image meets memory that is not there (the log gets the transfer line), and
// the next one fills the texture again.
//
// Then the outlines with reversed corners are checked against the pixels
// each path paints: "outline NAME ok" or "outline NAME wrong ..."; on the
// hardware path "scissor after clear ok" says a cleared rectangle left the
// device's scissor on the draw area, and "formats ..." names the texture rows
// of the glyph caches and of a DXT1 picture and the screen's channel bits.
//
// OUTPUT_FILE gets the screen's words (width x height, row by row, 32 bits
// each, as ReadTargetWords gives them). Standard output: "path <hardware|software>
// depth <n> size <w> <h>", then one "case NAME X Y W H STEPS" per case: the
// rectangle the case drew into and how many steps of the screen's channel
// width the two paths may differ there, red, green and blue ("0,1,0").
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "media/graphics/draw.h"
#include "media/graphics/gl_api.h"
#include "media/graphics/gl_device.h"
#include "media/graphics/gl_screen.h"
#include "media/graphics/gl_image.h"
#include "media/graphics/image_table.h"
#include "media/graphics/screen.h"
#include "media/image/image_load.h"
#include "media/platform/gl_context.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/core/memory.h"
#include "media/system/window.h"

namespace {

using namespace media;

constexpr int ScreenW = 700, ScreenH = 400;

Rgba PatternColour(int x, int y)
{
    return Rgba{uint8_t(x * 37 + y * 11), uint8_t(x * 13 + y * 29), uint8_t(x * 5 + y * 53), 255};
}

// An image without alpha: a pattern with black (the transparent colour)
// dots and a black frame, so that keying shows.
ImageHandle PatternImage(int width, int height)
{
    const ImageHandle image = MakeEmptyImage(width, height, false, false);
    PixelRegion pixels;
    if (image < 0 || !GetImagePixels(image, &pixels))
        return -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgba c = PatternColour(x, y);
            if ((x + y) % 7 == 0 || x == 0 || y == height - 1)
                c = Rgba{0, 0, 0, 255};
            WritePixel(*pixels.format, pixels.At(x, y), c);
        }
    }
    ImagePixelsChanged(image);
    return image;
}

ImageHandle AlphaImage(int width, int height)
{
    const ImageHandle image = MakeEmptyImage(width, height, true, false);
    PixelRegion pixels;
    if (image < 0 || !GetImagePixels(image, &pixels))
        return -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgba c = PatternColour(x, y);
            c.a = uint8_t(x * 255 / (width - 1));
            if (y % 5 == 0)
                c.a = 255;
            if (y % 5 == 1)
                c.a = 0;
            WritePixel(*pixels.format, pixels.At(x, y), c);
        }
    }
    ImagePixelsChanged(image);
    return image;
}

struct Cell {
    int x, y;
};
// Cells of 80 x 64 pixels, each case in its own.
Cell CellAt(int index)
{
    return Cell{10 + (index % 8) * 85, 10 + (index / 8) * 70};
}

// How far a case may differ: `steps` in every channel, and where the image
// has no alpha on a 16-bit screen one green step more at most: its texture
// row (A1R5G5B5) keeps five bits of green.
void Case(const char* name, int x, int y, int w, int h, int steps, bool alphaTestRow = true)
{
    const int green = steps + (alphaTestRow && ScreenDepth() == 16 ? 1 : 0);
    std::printf("case %s %d %d %d %d %d,%d,%d\n", name, x, y, w, h, steps, green, steps);
}

// A background the transparent cases draw over.
void Backdrop(Cell c)
{
    DrawRect(c.x, c.y, c.x + 80, c.y + 64, PackColor(40, 200, 120), 1);
}

std::string picturesFolder;

// The texture rows some images took, and the screen's channel sizes.
std::string glyphFormats[2], dxt1Format = "none";

const char* TextureFormatOf(ImageHandle image)
{
    const ImageEntry* entry = FindImage(image);
    return entry && entry->body->textures ? DeviceFormatName(entry->body->textures->format) : "none";
}

// DDS pictures with DXT blocks: each kind drawn opaque and over the backdrop.
void DrawPictures(int* n)
{
    if (picturesFolder.empty())
        return;
    const char* names[] = {"dxt1_8x8.dds", "dxt2_8x8.dds", "dxt3_8x8.dds", "dxt4_8x8.dds",
                           "dxt5_8x8.dds", "im_dxt1.dds",  "im_dxt5.dds"};
    int compressed = 0, loaded = 0;
    Cell c = CellAt((*n)++);
    Backdrop(c);
    int x = c.x;
    for (const char* name : names) {
        const std::string path = picturesFolder + "/" + name;
        const ImageHandle picture = LoadImageToHandle(path.c_str(), 0);
        const ImageEntry* entry = FindImage(picture);
        if (!entry)
            continue;
        ++loaded;
        if (std::string(name) == "dxt1_8x8.dds")
            dxt1Format = TextureFormatOf(picture);
        if (entry->body->textures && entry->body->textures->compressed)
            ++compressed;
        if (entry->width == 8) {
            DrawImage(x, c.y, picture, 0);
            DrawImage(x, c.y + 10, picture, 1);
            x += 10;
        } else {
            DrawImage(c.x, c.y + (name[4] == '1' ? 20 : 44), picture, 1);
            DrawImage(c.x + 40, c.y + (name[4] == '1' ? 20 : 44), picture, 0);
        }
        DeleteImage(picture);
    }
    std::printf("dxt compressed %d of %d\n", compressed, loaded);
    // Blocks of two exact colours decode alike; alpha blends may round a step.
    Case("dxt", c.x, c.y, 80, 64, 1, false);
}

void DrawCases(ImageHandle pattern, ImageHandle alpha, ImageHandle wide, ImageHandle target)
{
    // Blending rounds on the hardware path where the memory path truncates.
    const int alphaSteps = 1;
    int n = 0;
    Cell c = CellAt(n++);
    DrawImage(c.x, c.y, pattern, 0);
    Case("opaque", c.x, c.y, 80, 64, 0);

    c = CellAt(n++);
    Backdrop(c);
    DrawImage(c.x + 4, c.y + 4, pattern, 1);
    Case("keyed", c.x, c.y, 80, 64, 0);

    c = CellAt(n++);
    Backdrop(c);
    DrawImage(c.x + 4, c.y + 4, alpha, 1);
    Case("alpha", c.x, c.y, 80, 64, alphaSteps, false);

    c = CellAt(n++);
    DrawImage(c.x, c.y, alpha, 0);
    Case("alpha-opaque", c.x, c.y, 80, 64, 0, false);

    c = CellAt(n++);
    Backdrop(c);
    DrawImagePart(c.x + 10, c.y + 10, 5, 7, 30, 25, pattern, 1, 0);
    Case("part", c.x, c.y, 80, 64, 0);

    c = CellAt(n++);
    Backdrop(c);
    DrawImagePart(c.x + 10, c.y + 10, 5, 7, 30, 25, pattern, 1, 1);
    Case("mirrored-part", c.x, c.y, 80, 64, 0);

    c = CellAt(n++);
    Backdrop(c);
    {
        const ImageHandle derived = DeriveImage(8, 6, 30, 22, pattern);
        DrawImage(c.x + 2, c.y + 2, derived, 1);
        DrawImagePart(c.x + 40, c.y + 30, 3, 2, 20, 15, derived, 0, 1);
        DeleteImage(derived);
    }
    Case("derived", c.x, c.y, 80, 64, 0);

    c = CellAt(n++);
    Backdrop(c);
    {
        const ImageHandle derived = DeriveImage(10, 5, 40, 30, alpha);
        DrawImage(c.x + 2, c.y + 2, derived, 1);
        DeleteImage(derived);
    }
    Case("derived-alpha", c.x, c.y, 80, 64, alphaSteps, false);

    c = CellAt(n++);
    Backdrop(c);
    SetDrawRegion(c.x + 6, c.y + 9, c.x + 50, c.y + 40);
    DrawImage(c.x - 3, c.y - 2, pattern, 1);
    SetDrawRegion(0, 0, ScreenW, ScreenH);
    Case("clipped", c.x, c.y, 80, 64, 0);

    c = CellAt(n++);
    SetDrawBrightness(200, 128, 64);
    DrawImage(c.x, c.y, pattern, 0);
    SetDrawBrightness(255, 255, 255);
    Case("brightness", c.x, c.y, 80, 64, 1);

    c = CellAt(n++);
    Backdrop(c);
    SetBlendState(1, 128);
    DrawImage(c.x + 4, c.y + 4, pattern, 1);
    SetBlendState(0, 0);
    Case("blend-alpha", c.x, c.y, 80, 64, 1);

    c = CellAt(n++);
    Backdrop(c);
    SetBlendState(2, 200);
    DrawImage(c.x + 4, c.y + 4, pattern, 1);
    SetBlendState(3, 100);
    DrawImage(c.x + 20, c.y + 20, pattern, 1);
    SetBlendState(0, 0);
    // Two blended draws over each other: each may round by a step.
    Case("blend-add-subtract", c.x, c.y, 80, 64, 2);

    c = CellAt(n++);
    Backdrop(c);
    // Twice the size, nearest: pixel centres fall on texel quarters, never on an edge.
    DrawImageQuad(float(c.x), float(c.y), float(c.x + 80), float(c.y), float(c.x + 80), float(c.y + 64),
                  float(c.x), float(c.y + 64), pattern, 1);
    Case("quad", c.x, c.y, 80, 64, 0);

    c = CellAt(n++);
    Backdrop(c);
    SetDrawFilter(1);
    DrawImageQuad(float(c.x + 5), float(c.y + 3), float(c.x + 75), float(c.y + 3), float(c.x + 75),
                  float(c.y + 60), float(c.x + 5), float(c.y + 60), pattern, 0);
    SetDrawFilter(0);
    Case("quad-bilinear", c.x, c.y, 80, 64, 2);

    // An image as wide as the screen and more: several texture pieces side by side.
    c = CellAt(n++);
    DrawImage(-30, 300, wide, 0);
    Case("wide-pieces", 0, 300, ScreenW, 40, 0);
    DrawImagePart(100, 350, 480, 3, 200, 30, wide, 1, 1);
    Case("wide-mirrored-part", 100, 350, 200, 30, 0);

    // The wide image shrunk onto a quad: its pieces meet inside the quad.
    // (760 x 40 onto 608 x 32: pixel centres never fall on a texel edge.)
    DrawImageQuad(50.0f, 250.0f, 658.0f, 250.0f, 658.0f, 282.0f, 50.0f, 282.0f, wide, 1);
    Case("wide-quad", 50, 250, 608, 32, 0);

    // Pixels changed after the image was made: only that rectangle is sent again.
    c = CellAt(n++);
    {
        const ImageHandle changed = PatternImage(40, 32);
        DrawImage(c.x, c.y, changed, 0);
        const ColorFormat& format = GetStandardFormat(StandardFormat::X8R8G8B8);
        uint32_t words[12 * 9];
        for (int i = 0; i < 12 * 9; ++i)
            words[i] = EncodeColor(format, Rgba{uint8_t(i * 9), 250, uint8_t(255 - i), 255});
        PixelRegion region;
        region.pixels = reinterpret_cast<uint8_t*>(words);
        region.width = 12;
        region.height = 9;
        region.pitch = 12 * 4;
        region.format = &format;
        UpdateImagePixels(changed, 30, 20, region);  // reaches past the right and bottom edges
        UpdateImagePixels(changed, 5, 4, region);
        DrawImage(c.x + 40, c.y + 20, changed, 0);
        DeleteImage(changed);
    }
    Case("updated", c.x, c.y, 80, 64, 0);

    // Glyph-cache images (1-bit and 4-bit alpha), a glyph cut out of each and
    // drawn tinted, as the text layer draws them.
    c = CellAt(n++);
    Backdrop(c);
    for (int bits : {1, 4}) {
        const ImageHandle cache = MakeGlyphCacheImage(64, 32, bits);
        PixelRegion pixels;
        if (cache < 0 || !GetImagePixels(cache, &pixels))
            continue;
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 64; ++x) {
                const int alpha = bits == 1 ? ((x / 3 + y / 2) % 2) * 255 : ((x + y) % 16) * 17;
                WritePixel(*pixels.format, pixels.At(x, y), Rgba{255, 255, 255, uint8_t(alpha)});
            }
        }
        ImagePixelsChanged(cache);
        glyphFormats[bits == 1 ? 0 : 1] = TextureFormatOf(cache);
        const ImageHandle glyph = DeriveImage(8, 4, 30, 24, cache);
        SetDrawBrightness(250, 120, 30);
        DrawImage(c.x + (bits == 1 ? 4 : 40), c.y + 10, glyph, 1);
        SetDrawBrightness(255, 255, 255);
        DeleteImage(glyph);
        DeleteImage(cache);
    }
    Case("glyph-caches", c.x, c.y, 80, 64, 1, false);

    DrawPictures(&n);

    // A drawable image drawn into, then drawn.
    c = CellAt(n++);
    SetDrawTarget(target);
    DrawImage(-5, -5, pattern, 0);
    DrawRect(10, 10, 30, 20, PackColor(255, 255, 255), 1);
    SetDrawTarget(ScreenBack);
    DrawImage(c.x, c.y, target, 0);
    Case("drawable", c.x, c.y, 80, 64, 0);

    // The drawable image drawn into itself, shifted, and a part of it
    // mirrored: the draw reads the image as it was before.
    c = CellAt(n++);
    SetDrawTarget(target);
    DrawImage(12, 9, target, 0);
    DrawImagePart(0, 30, 5, 5, 30, 20, target, 0, 1);
    SetDrawTarget(ScreenBack);
    DrawImage(c.x, c.y, target, 0);
    Case("drawable-into-itself", c.x, c.y, 80, 64, 0);

    // A part derived from the drawable image as a target: drawing, clearing
    // and the draw area start at the part's own corner.
    c = CellAt(n++);
    const ImageHandle part = DeriveImage(20, 12, 40, 30, target);
    SetDrawTarget(part);
    DrawRect(-4, -4, 12, 8, PackColor(0, 255, 255), 1);
    SetDrawRegion(5, 5, 30, 25);
    DrawImage(0, 0, pattern, 0);
    SetDrawTarget(ScreenBack);
    DrawImage(c.x, c.y, target, 0);
    DeleteImage(part);
    Case("derived-target", c.x, c.y, 80, 64, 0);

    // The drawable image drawn keyed: its pixels of the transparent colour
    // are left out, those never drawn and those drawn black alike, and no
    // others.
    c = CellAt(n++);
    Backdrop(c);
    SetDrawTarget(target);
    DrawRect(40, 20, 60, 40, PackColor(0, 0, 0), 1);
    DrawRect(46, 26, 54, 34, PackColor(255, 255, 255), 1);
    SetDrawTarget(ScreenBack);
    DrawImage(c.x + 4, c.y + 4, target, 1);
    DrawImagePart(c.x + 4, c.y + 56, 10, 10, 60, 8, target, 1, 1);
    Case("drawable-keyed", c.x, c.y, 80, 64, 0);

    // A drawable image made while the transparent colour was another: that
    // colour is left out, black is drawn.
    c = CellAt(n++);
    Backdrop(c);
    SetTransColor(200, 96, 48);
    const ImageHandle tinted = MakeEmptyImage(60, 40, false, true);
    SetTransColor(0, 0, 0);
    SetDrawTarget(tinted);
    DrawRect(0, 0, 60, 30, PackColor(200, 96, 48), 1);
    DrawImage(-6, -4, pattern, 1);
    DrawRect(20, 10, 40, 20, PackColor(200, 96, 48), 1);
    SetDrawTarget(ScreenBack);
    DrawImage(c.x + 6, c.y + 8, tinted, 1);
    DeleteImage(tinted);
    Case("drawable-keyed-colour", c.x, c.y, 80, 64, 0);
}

// Outlines with their corners given the other way round, and the pixels
// each path paints. The memory path puts each axis in order (the same 26
// pixels as DrawRect(10, 10, 20, 15, c, 0)). The hardware path swaps the
// two corner points whole and then draws row y1, columns x2 - 1 and x1 from
// y1 + 1 to y2 - 1 and row y2 - 1 from x1 + 1 to x2 - 2, empty ranges
// drawing nothing. Prints "outline NAME ok" or "outline NAME wrong ...".
struct Span {
    int x0, x1, y0, y1;  // inclusive
};
struct OutlineCase {
    const char* name;
    int x1, y1, x2, y2;
    std::vector<Span> hardware, software;
};

void CheckReversedOutlines()
{
    const std::vector<Span> inOrder = {{10, 19, 10, 10}, {10, 19, 14, 14}, {10, 10, 11, 13}, {19, 19, 11, 13}};
    const OutlineCase cases[] = {
        // (10, 15)-(20, 10): row 15 from 10 to 19, row 9 from 11 to 18.
        {"x-reversed", 20, 10, 10, 15, {{10, 19, 15, 15}, {11, 18, 9, 9}}, inOrder},
        // (20, 10)-(10, 15): columns 9 and 20 from 11 to 14.
        {"y-reversed", 10, 15, 20, 10, {{9, 9, 11, 14}, {20, 20, 11, 14}}, inOrder},
        {"both-reversed", 20, 15, 10, 10, inOrder, inOrder},
    };
    const int width = 32, height = 24;
    for (const OutlineCase& c : cases) {
        ClearDrawTarget(nullptr);
        DrawRect(c.x1, c.y1, c.x2, c.y2, PackColor(255, 255, 255), 0);
        std::vector<uint32_t> words(size_t(width) * height);
        if (!ReadTargetWords(ScreenBack, 0, 0, width, height, words.data())) {
            std::printf("outline %s wrong: not read\n", c.name);
            continue;
        }
        const std::vector<Span>& spans = displaySettings.hardwarePath ? c.hardware : c.software;
        int wrong = 0, painted = 0;
        std::string first;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                bool expected = false;
                for (const Span& span : spans)
                    expected = expected || (x >= span.x0 && x <= span.x1 && y >= span.y0 && y <= span.y1);
                const uint32_t word = words[size_t(y) * width + x] & 0xFFFFFF;
                const bool white = word == (ScreenDepth() == 16 ? 0xFFFFu : 0xFFFFFFu);
                painted += white;
                if (white != expected && wrong++ == 0)
                    first = std::to_string(x) + "," + std::to_string(y) + (white ? " painted" : " not painted");
            }
        }
        if (wrong)
            std::printf("outline %s wrong: %d pixels painted, %d wrong, first %s\n", c.name, painted, wrong,
                        first.c_str());
        else
            std::printf("outline %s ok\n", c.name);
    }
}

// Hardware path: "formats glyph1 ROW glyph4 ROW dxt1 ROW screen R G B A",
// the rows of the glyph caches and of a DXT1 picture and the bits of each
// channel of the screen's framebuffer.
void PrintFormats()
{
    if (!displaySettings.hardwarePath)
        return;
    using Query = void(APIENTRY*)(GLenum, GLenum, GLenum, GLint*);
    const auto query = reinterpret_cast<Query>(platform::gl::ProcAddress("glGetFramebufferAttachmentParameteriv"));
    GLint bits[4] = {-1, -1, -1, -1};
    const GLenum names[4] = {GL_FRAMEBUFFER_ATTACHMENT_RED_SIZE, GL_FRAMEBUFFER_ATTACHMENT_GREEN_SIZE,
                             GL_FRAMEBUFFER_ATTACHMENT_BLUE_SIZE, GL_FRAMEBUFFER_ATTACHMENT_ALPHA_SIZE};
    SetDrawTarget(ScreenBack);
    gl_api::gl.BindFramebuffer(GL_FRAMEBUFFER, GlScreenFramebuffer());
    for (int i = 0; i < 4 && query; ++i)
        query(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, names[i], &bits[i]);
    std::printf("formats glyph1 %s glyph4 %s dxt1 %s screen %d %d %d %d\n", glyphFormats[0].c_str(),
                glyphFormats[1].c_str(), dxt1Format.c_str(), bits[0], bits[1], bits[2], bits[3]);
}

// Hardware path: a clear of a rectangle leaves the device's scissor on the
// draw area, where it was. Prints "scissor after clear ok" or "... wrong".
void CheckClearScissor()
{
    if (!displaySettings.hardwarePath)
        return;
    SetDrawRegion(100, 50, 300, 200);
    const int rect[4] = {10, 20, 40, 60};
    ClearDrawTarget(rect);
    GLint box[4] = {};
    gl_api::gl.GetIntegerv(GL_SCISSOR_BOX, box);
    GLint enabled = 0;
    gl_api::gl.GetIntegerv(GL_SCISSOR_TEST, &enabled);
    const bool on = enabled != 0;
    SetDrawRegion(0, 0, ScreenW, ScreenH);
    // GL counts rows from the bottom.
    const GLint wanted[4] = {100, ScreenH - 200, 200, 150};
    if (on && std::equal(box, box + 4, wanted))
        std::printf("scissor after clear ok\n");
    else
        std::printf("scissor after clear wrong: %s %d %d %d %d\n", on ? "on" : "off", box[0], box[1], box[2], box[3]);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: gl_image_probe OUTPUT_FILE [--depth 16|32]\n");
        return 2;
    }
    int depth = 16;
    bool recreate = false, transferFailure = false;
    for (int i = 2; i < argc; ++i) {
        if (std::string(argv[i]) == "--transfer-failure")
            transferFailure = true;
        if (std::string(argv[i]) == "--depth" && i + 1 < argc)
            depth = std::atoi(argv[++i]);
        else if (std::string(argv[i]) == "--recreate")
            recreate = true;
        else if (std::string(argv[i]) == "--pictures" && i + 1 < argc)
            picturesFolder = argv[++i];
    }
    std::string error;
    if (!platform::SelectSdlBackend(&error)) {
        std::fprintf(stderr, "gl_image_probe: %s\n", error.c_str());
        return 1;
    }
    SetWindowTitle("GlImageProbe");
    ChangeWindowMode(1);
    SetScreenMode(ScreenW, ScreenH, depth, 60);
    if (InitMediaLibrary() != 0) {
        platform::CloseBackend();
        return 3;
    }
    std::printf("path %s depth %d size %d %d\n", displaySettings.hardwarePath ? "hardware" : "software",
                ScreenDepth(), ScreenW, ScreenH);
    const ImageHandle pattern = PatternImage(40, 32);
    const ImageHandle alpha = AlphaImage(48, 36);
    const ImageHandle wide = PatternImage(760, 40);
    const ImageHandle target = MakeEmptyImage(70, 50, false, true);
    if (pattern < 0 || alpha < 0 || wide < 0 || target < 0) {
        std::fprintf(stderr, "gl_image_probe: images not made (%d %d %d %d)\n", pattern, alpha, wide, target);
        EndMediaLibrary();
        platform::CloseBackend();
        return 4;
    }
    if (transferFailure) {
        FailAllocationsFrom(1024);  // the 40 x 32 image's upload needs more
        ImagePixelsChanged(pattern);
        FailAllocationsFrom(0);
        ImagePixelsChanged(pattern);
    }
    if (recreate) {
        SetDrawTarget(target);
        DrawRect(0, 0, 70, 50, PackColor(255, 255, 255), 1);
        SetDrawTarget(ScreenBack);
        const int before = GlLiveObjectCount();
        ReleaseAllImageTextures();
        const int released = GlLiveObjectCount();
        RecreateAllImageTextures();
        std::printf("textures live %d released %d recreated %d\n", before, released, GlLiveObjectCount());
        PixelRegion pixels;
        if (!displaySettings.hardwarePath && GetImagePixels(target, &pixels))
            FillRegion(pixels, 0);
    }
    SetDrawTarget(ScreenBack);
    ClearDrawTarget(nullptr);
    DrawCases(pattern, alpha, wide, target);
    std::vector<uint32_t> words(size_t(ScreenW) * ScreenH);
    const bool read = ReadTargetWords(ScreenBack, 0, 0, ScreenW, ScreenH, words.data());
    int status = read ? 0 : 5;
    if (FILE* out = std::fopen(argv[1], "wb")) {
        std::fwrite(words.data(), sizeof(uint32_t), words.size(), out);
        std::fclose(out);
    } else {
        status = 6;
    }
    CheckReversedOutlines();
    CheckClearScissor();
    PrintFormats();
    std::printf("live %d\n", GlLiveObjectCount());
    std::fflush(stdout);
    EndMediaLibrary();
    std::printf("ended live %d\n", GlLiveObjectCount());
    platform::CloseBackend();
    return status;
}
