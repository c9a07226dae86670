// Image blits beyond the basic pixel sets of graphics_draw_test: the vector
// blend rows against the per-pixel reference over random pixels, blits whose
// source and target share one image body, opaque draws into alpha images,
// and the memory records of image blocks.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "graphics_fixture.h"
#include "log_fixture.h"
#include "media/graphics/blend_rows.h"
#include "media/log/log.h"
#include "media/core/memory.h"

using namespace media;
using namespace testing_support;

namespace {

class BlitTest : public ScreenDepthTest {
protected:
    void TearDown() override
    {
        SetBlitKernelLevel(SupportedBlitKernelLevel());
        ScreenDepthTest::TearDown();
    }

    static void FillRandomWords(const PixelRegion& r, std::mt19937& random)
    {
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x)
                StorePixelWord(r.At(x, y), r.format->bytesPerPixel, uint32_t(random()));
    }

    static void Restore(const PixelRegion& r, const std::vector<uint32_t>& words)
    {
        size_t i = 0;
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x)
                StorePixelWord(r.At(x, y), r.format->bytesPerPixel, words[i++]);
    }

    // A source image with random words, alpha 0 and 255 and the transparent
    // colour well represented.
    static ImageHandle RandomImage(int width, int height, bool alpha, std::mt19937& random)
    {
        const ImageHandle image = MakeEmptyImage(width, height, alpha, true);
        const PixelRegion r = ImagePixels(image);
        const ColorFormat& f = *r.format;
        const uint32_t key = EncodeColor(f, Rgba{uint8_t(CurrentTransColor() >> 16), uint8_t(CurrentTransColor() >> 8),
                                                 uint8_t(CurrentTransColor()), 0}) &
                             (f.redMask | f.greenMask | f.blueMask);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint32_t word = uint32_t(random());
                switch (random() % 6) {
                case 0:
                    word = (word & ~(f.redMask | f.greenMask | f.blueMask)) | key;
                    break;
                case 1:
                    word &= ~f.alphaMask;
                    break;
                case 2:
                    word |= f.alphaMask;
                    break;
                default:
                    break;
                }
                StorePixelWord(r.At(x, y), f.bytesPerPixel, word);
            }
        }
        return image;
    }
};

// Every combination of source, target, transparency, mode, parameter,
// brightness, clipping and mirroring gives the same words with the vector
// rows as with the per-pixel loop.
TEST_P(BlitTest, VectorRowsMatchThePerPixelReference)
{
    std::vector<BlitKernelLevel> levels{BlitKernelLevel::Sse2};
    if (SupportedBlitKernelLevel() == BlitKernelLevel::Avx2)
        levels.push_back(BlitKernelLevel::Avx2);
    std::mt19937 random(1234 + GetParam());
    const int parameters[] = {0, 1, 2, 127, 128, 254, 255};
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        ResetDrawState();
        if (random() % 3 == 0)
            SetTransColor(int(random() % 256), int(random() % 256), int(random() % 256));
        const bool alphaSource = random() % 2;
        const ImageHandle source = RandomImage(1 + int(random() % 45), 1 + int(random() % 4), alphaSource, random);
        const int targetKind = int(random() % 3);  // the screen, a plain image, an alpha image
        const ImageHandle canvas = targetKind ? MakeEmptyImage(50, 8, targetKind == 2, true) : -1;
        ASSERT_EQ(SetDrawTarget(targetKind ? canvas : ScreenBack), 0);
        const PixelRegion target = targetKind ? ImagePixels(canvas) : ScreenPixels();
        FillRandomWords(target, random);
        const std::vector<uint32_t> before = Snapshot(target);

        const int mode = int(random() % 5);
        const int parameter = random() % 2 ? parameters[random() % 7] : int(random() % 256);
        SetBlendState(mode, parameter);
        if (random() % 3)
            SetDrawBrightness(int(random() % 256), int(random() % 256), int(random() % 256));
        const int trans = int(random() % 2);
        const int x = int(random() % 20) - 8, y = int(random() % 6) - 2;
        const bool part = random() % 3 == 0;
        const int mirror = int(random() % 2);
        auto draw = [&] {
            if (part)
                return DrawImagePart(x, y, 1, 0, 40, 3, source, trans, mirror);
            return DrawImage(x, y, source, trans);
        };
        SCOPED_TRACE(testing::Message() << "mode " << mode << " parameter " << parameter << " trans " << trans
                                        << " alpha " << alphaSource << " target " << targetKind << " part " << part
                                        << " mirror " << mirror);

        SetBlitKernelLevel(BlitKernelLevel::Scalar);
        ASSERT_EQ(draw(), 0);
        const std::vector<uint32_t> expected = Snapshot(target);
        for (BlitKernelLevel level : levels) {
            Restore(target, before);
            SetBlitKernelLevel(level);
            ASSERT_EQ(draw(), 0);
            ASSERT_EQ(Snapshot(target), expected) << "level " << int(level);
        }
        SetDrawTarget(ScreenBack);
        DeleteImage(source);
        if (targetKind)
            DeleteImage(canvas);
    }
}

// An image drawn into the image it was cut from, wherever the two overlap,
// gives what drawing from a separate copy of the pixels gives, as a part
// (mirrored or not) and as a quadrilateral.
TEST_P(BlitTest, BlitsWithinOneImageReadTheSourceAsItWasBefore)
{
    struct Case {
        int sx, sy, width, height;  // the derived image inside the canvas
        int x, y;                   // where it is drawn in the canvas
    };
    const Case cases[] = {
        {0, 0, 12, 10, 1, 0},   // the whole image onto itself, one pixel right
        {0, 0, 12, 10, 0, 1},   // one row down
        {0, 0, 12, 10, 2, 3},   // down and right
        {0, 0, 12, 10, -3, 2},  // down and left
        {0, 0, 12, 10, 3, -2},  // up and right
        {0, 0, 12, 10, -1, -1},
        {2, 1, 6, 5, 4, 3},     // a glyph moved inside its cache
        {4, 4, 6, 5, 1, 2},
        {3, 2, 6, 6, 3, 2},     // exactly onto itself
    };
    std::mt19937 random(77);
    for (const bool alpha : {false, true}) {
        for (const int trans : {0, 1}) {
            for (const int mirror : {0, 1}) {
                for (const bool tinted : {false, true}) {
                    for (const Case& c : cases) {
                        SCOPED_TRACE(testing::Message() << "alpha " << alpha << " trans " << trans << " mirror "
                                                        << mirror << " tinted " << tinted << " case " << c.x << ","
                                                        << c.y << " from " << c.sx << "," << c.sy);
                        ResetDrawState();
                        if (tinted)
                            SetDrawBrightness(200, 100, 250);
                        const ImageHandle canvas = RandomImage(12, 10, alpha, random);
                        const std::vector<uint32_t> start = Snapshot(ImagePixels(canvas));
                        const ImageHandle copy = MakeEmptyImage(12, 10, alpha, true);
                        const ImageHandle expectedCanvas = MakeEmptyImage(12, 10, alpha, true);
                        Restore(ImagePixels(copy), start);
                        Restore(ImagePixels(expectedCanvas), start);

                        const ImageHandle inside = DeriveImage(c.sx, c.sy, c.width, c.height, canvas);
                        const ImageHandle apart = DeriveImage(c.sx, c.sy, c.width, c.height, copy);
                        auto draw = [&](ImageHandle target, ImageHandle image, bool quad) {
                            ASSERT_EQ(SetDrawTarget(target), 0);
                            const float left = float(c.x), right = float(c.x + c.width);
                            const float top = float(c.y), bottom = float(c.y + c.height);
                            if (!quad)
                                ASSERT_EQ(DrawImagePart(c.x, c.y, 0, 0, c.width, c.height, image, trans, mirror), 0);
                            else if (mirror)
                                ASSERT_EQ(DrawImageQuad(right, top, left, top, left, bottom, right, bottom, image, trans), 0);
                            else
                                ASSERT_EQ(DrawImageQuad(left, top, right, top, right, bottom, left, bottom, image, trans), 0);
                        };
                        for (const bool quad : {false, true}) {
                            SCOPED_TRACE(quad ? "quad" : "part");
                            Restore(ImagePixels(canvas), start);
                            Restore(ImagePixels(expectedCanvas), start);
                            draw(expectedCanvas, apart, quad);
                            draw(canvas, inside, quad);
                            EXPECT_EQ(Snapshot(ImagePixels(canvas)), Snapshot(ImagePixels(expectedCanvas)));
                        }
                        SetDrawTarget(ScreenBack);
                        for (ImageHandle image : {inside, apart, canvas, copy, expectedCanvas})
                            DeleteImage(image);
                    }
                }
            }
        }
    }
}

// Drawn without transparency, an image with alpha lands opaque in an alpha
// target on every path: copied, mirrored, tinted or converted.
TEST_P(BlitTest, OpaqueDrawsWriteFullAlpha)
{
    const ImageHandle stamp = MakeEmptyImage(5, 2, true, true);
    for (int i = 0; i < 10; ++i)
        PutPixel(stamp, i % 5, i / 5, Rgba{uint8_t(20 * i), 90, 200, uint8_t(i * 7)});
    const ImageHandle canvas = MakeEmptyImage(8, 4, true, true);
    ASSERT_EQ(SetDrawTarget(canvas), 0);
    struct Path {
        const char* name;
        bool tinted;
        int mirror;
    };
    for (const Path& path : {Path{"copy", false, 0}, Path{"mirrored", false, 1}, Path{"tinted", true, 0}}) {
        SCOPED_TRACE(path.name);
        ClearDrawTarget(nullptr);
        const uint32_t cleared = WordAt(ImagePixels(canvas), 0, 0);
        SetDrawBrightness(255, path.tinted ? 128 : 255, 255);
        ASSERT_EQ(DrawImagePart(1, 1, 0, 0, 5, 2, stamp, 0, path.mirror), 0);
        const PixelRegion pixels = ImagePixels(canvas);
        for (int y = 1; y < 3; ++y)
            for (int x = 1; x < 6; ++x)
                EXPECT_EQ(ReadPixel(*pixels.format, pixels.At(x, y)).a, 255) << x << "," << y;
        EXPECT_EQ(WordAt(pixels, 0, 0), cleared);  // outside: untouched
    }
    SetDrawTarget(ScreenBack);
}

INSTANTIATE_TEST_SUITE_P(Depths, BlitTest, ::testing::Values(16, 32), DepthName);

// The image blocks in the memory dump carry the empty source name and line 0
// that every caller of the media layer passes.
class ImageMemoryRecordTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartSoftwareScreen(16, 16, 32);
        dir_ = MakeTempDir();
        ASSERT_FALSE(dir_.empty());
        ASSERT_TRUE(SetLogLocation(dir_.c_str(), "Log.txt"));
        LogStart();
    }
    void TearDown() override
    {
        StopSoftwareScreen();
        std::string command = "rm -rf '" + dir_ + "'";
        if (std::system(command.c_str()) != 0) {
        }
    }
    std::string dir_;
};

TEST_F(ImageMemoryRecordTest, ImageBlocksNameNoSourceFile)
{
    const ImageHandle image = MakeEmptyImage(7, 3, true, true);
    ASSERT_GE(image, 0);
    const ImageEntry* entry = FindImage(image);
    const void* blocks[] = {entry, entry->body, entry->body->image.pixels};
    LogMemoryDump();
    const std::vector<std::string> lines = LinesWithoutTimestamps(ReadFile(dir_ + "/Log.txt"));
    for (const void* block : blocks) {
        char address[40];
        std::snprintf(address, sizeof address, "addr:%016" PRIxPTR, uintptr_t(block));
        int found = 0;
        for (const std::string& line : lines) {
            if (line.find(address) == std::string::npos)
                continue;
            ++found;
            EXPECT_NE(line.find("  file:  line:0  "), std::string::npos) << line;
        }
        EXPECT_EQ(found, 1) << address;
    }
    DeleteImage(image);
}

}  // namespace
