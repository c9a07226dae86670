// Rectangles and images drawn into the software screen, on 16- and 32-bit
// screens: exact pixel sets, transparency, alpha, brightness, blend modes,
// mirrored parts and quadrilaterals.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <utility>

#include "graphics_fixture.h"

using namespace media;
using namespace testing_support;

namespace {

class DrawTest : public ScreenDepthTest {
protected:
    // Background word of the cleared screen.
    uint32_t Black() const { return PackColor(0, 0, 0); }

    // The set of screen pixels that differ from black.
    std::set<std::pair<int, int>> Painted() const
    {
        std::set<std::pair<int, int>> painted;
        const PixelRegion screen = ScreenPixels();
        for (int y = 0; y < screen.height; ++y)
            for (int x = 0; x < screen.width; ++x)
                if (WordAt(screen, x, y) != Black())
                    painted.insert({x, y});
        return painted;
    }

    static std::set<std::pair<int, int>> Box(int left, int top, int right, int bottom)
    {
        std::set<std::pair<int, int>> box;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                box.insert({x, y});
        return box;
    }

    // An image whose pixels all differ and none is black.
    ImageHandle PatternImage(int width, int height, bool alpha, uint32_t seed)
    {
        const ImageHandle image = MakeEmptyImage(width, height, alpha, true);
        std::mt19937 random(seed);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                PutPixel(image, x, y,
                         Rgba{uint8_t(64 + random() % 192), uint8_t(64 + random() % 192), uint8_t(64 + random() % 192),
                              uint8_t(alpha ? random() % 256 : 255)});
        return image;
    }

    // Channels of a screen pixel.
    Rgba ScreenRgba(int x, int y) const
    {
        const PixelRegion s = ScreenPixels();
        return ReadPixel(*s.format, s.At(x, y));
    }
};

TEST_P(DrawTest, FilledRectanglePaintsRightAndBottomExclusive)
{
    const ColorValue white = PackColor(255, 255, 255);
    EXPECT_EQ(DrawRect(10, 10, 20, 15, white, 1), 0);
    EXPECT_EQ(Painted(), Box(10, 10, 20, 15));
    EXPECT_EQ(WordAt(ScreenPixels(), 10, 10), white);

    ClearDrawTarget(nullptr);
    EXPECT_EQ(DrawRect(20, 15, 10, 10, white, 1), 0);  // corners reversed
    EXPECT_EQ(Painted(), Box(10, 10, 20, 15));

    ClearDrawTarget(nullptr);
    EXPECT_EQ(DrawRect(20, 10, 10, 15, white, 1), 0);  // one axis reversed
    EXPECT_EQ(Painted(), Box(10, 10, 20, 15));
}

TEST_P(DrawTest, OutlinePaintsEachBorderPixelOnce)
{
    const ColorValue white = PackColor(255, 255, 255);
    EXPECT_EQ(DrawRect(10, 10, 20, 15, white, 0), 0);
    std::set<std::pair<int, int>> expected = Box(10, 10, 20, 11);
    for (auto p : Box(10, 14, 20, 15))
        expected.insert(p);
    for (auto p : Box(10, 11, 11, 14))
        expected.insert(p);
    for (auto p : Box(19, 11, 20, 14))
        expected.insert(p);
    EXPECT_EQ(expected.size(), 26u);
    EXPECT_EQ(Painted(), expected);

    ClearDrawTarget(nullptr);
    DrawRect(20, 15, 10, 10, white, 0);
    EXPECT_EQ(Painted(), expected);
}

TEST_P(DrawTest, ThinOutlinesAreFilledOnceEvenWhenBlended)
{
    // With additive blending a pixel painted twice would come out brighter.
    SetBlendState(2, 100);
    const ColorValue grey = PackColor(128, 128, 128);
    DrawRect(5, 5, 6, 9, grey, 0);    // one pixel wide
    DrawRect(10, 5, 16, 6, grey, 0);  // one pixel high
    DrawRect(20, 5, 22, 7, grey, 0);  // two by two
    const Rgba once = ScreenRgba(5, 5);
    EXPECT_GT(once.r, 0);
    std::set<std::pair<int, int>> expected = Box(5, 5, 6, 9);
    for (auto p : Box(10, 5, 16, 6))
        expected.insert(p);
    for (auto p : Box(20, 5, 22, 7))
        expected.insert(p);
    EXPECT_EQ(Painted(), expected);
    for (auto [x, y] : expected) {
        const Rgba c = ScreenRgba(x, y);
        EXPECT_EQ(c.r, once.r) << x << "," << y;
    }
}

TEST_P(DrawTest, RectanglesAreClippedToTheScreenAndTheDrawArea)
{
    const ColorValue white = PackColor(255, 255, 255);
    EXPECT_EQ(DrawRect(-5, -5, 3, 2, white, 1), 0);
    EXPECT_EQ(Painted(), Box(0, 0, 3, 2));

    ClearDrawTarget(nullptr);
    EXPECT_EQ(DrawRect(70, 50, 100, 100, white, 1), 0);
    EXPECT_EQ(DrawRect(-100, -100, -1, 30, white, 0), 0);
    EXPECT_TRUE(Painted().empty());

    SetDrawRegion(30, 20, 10, 10);  // swapped into 10..30 x 10..20
    EXPECT_EQ(DrawRect(0, 0, 64, 48, white, 1), 0);
    EXPECT_EQ(Painted(), Box(10, 10, 30, 20));
}

TEST_P(DrawTest, EmptyDrawAreaDrawsNothing)
{
    const ImageHandle image = PatternImage(4, 4, false, 1);
    SetDrawRegion(10, 10, 10, 40);
    EXPECT_TRUE(displaySettings.drawAreaEmpty);
    EXPECT_EQ(DrawRect(0, 0, 64, 48, PackColor(255, 255, 255), 1), 0);
    EXPECT_EQ(DrawImage(10, 10, image, 0), 0);
    EXPECT_EQ(DrawImagePart(10, 10, 0, 0, 2, 2, image, 0, 1), 0);
    EXPECT_EQ(DrawImageQuad(0, 0, 60, 0, 60, 40, 0, 40, image, 0), 0);
    EXPECT_TRUE(Painted().empty());
}

TEST_P(DrawTest, RawColourValuesUnpackWithTheScreenFormat)
{
    DrawRect(0, 0, 1, 1, 255, 1);
    DrawRect(1, 0, 2, 1, 65280, 1);
    int r, g, b;
    UnpackColor(255, &r, &g, &b);
    EXPECT_EQ(WordAt(ScreenPixels(), 0, 0), PackColor(r, g, b));
    UnpackColor(65280, &r, &g, &b);
    EXPECT_EQ(WordAt(ScreenPixels(), 1, 0), PackColor(r, g, b));
}

TEST_P(DrawTest, ImageLandsUnscaledAndClipped)
{
    const ImageHandle image = PatternImage(5, 4, false, 2);
    const PixelRegion source = ImagePixels(image);
    EXPECT_EQ(DrawImage(-2, 45, image, 0), 0);
    EXPECT_EQ(Painted(), Box(0, 45, 3, 48));
    for (int j = 0; j < 3; ++j)
        for (int i = 2; i < 5; ++i)
            EXPECT_EQ(WordAt(ScreenPixels(), i - 2, 45 + j), WordAt(source, i, j));
    EXPECT_EQ(DrawImage(64, 0, image, 0), 0);
    EXPECT_EQ(DrawImage(0, -4, image, 0), 0);
    EXPECT_EQ(Painted(), Box(0, 45, 3, 48));
}

TEST_P(DrawTest, ColourKeyLeavesBlackPixelsOut)
{
    const ImageHandle image = PatternImage(4, 1, false, 3);
    PutPixel(image, 1, 0, Rgba{0, 0, 0, 255});
    DrawRect(0, 0, 64, 48, PackColor(0, 0, 255), 1);
    EXPECT_EQ(DrawImage(10, 10, image, 1), 0);
    EXPECT_EQ(WordAt(ScreenPixels(), 11, 10), PackColor(0, 0, 255));
    EXPECT_EQ(WordAt(ScreenPixels(), 10, 10), WordAt(ImagePixels(image), 0, 0));
    EXPECT_EQ(DrawImage(10, 10, image, 0), 0);  // opaque: black copied too
    EXPECT_EQ(WordAt(ScreenPixels(), 11, 10), Black());
}

TEST_P(DrawTest, TransparentColourIsTakenWhenTheImageIsMade)
{
    SetTransColor(255, 0, 255);
    const ImageHandle image = MakeEmptyImage(2, 1, false, true);
    SetTransColor(0, 0, 0);
    PutPixel(image, 0, 0, Rgba{255, 0, 255, 255});
    PutPixel(image, 1, 0, Rgba{0, 0, 0, 255});
    DrawRect(0, 0, 64, 48, PackColor(0, 255, 0), 1);
    DrawImage(0, 0, image, 1);
    EXPECT_EQ(WordAt(ScreenPixels(), 0, 0), PackColor(0, 255, 0));  // magenta left out
    EXPECT_EQ(WordAt(ScreenPixels(), 1, 0), Black());                 // black drawn
}

TEST_P(DrawTest, AlphaImageBlendsWithItsAlphaOrCopiesOpaque)
{
    const ImageHandle image = MakeEmptyImage(3, 1, true, true);
    PutPixel(image, 0, 0, Rgba{255, 0, 0, 128});
    PutPixel(image, 1, 0, Rgba{255, 0, 0, 0});
    PutPixel(image, 2, 0, Rgba{0, 0, 0, 255});  // black with alpha: no colour key
    DrawRect(0, 0, 64, 48, PackColor(0, 0, 255), 1);
    const Rgba target = ScreenRgba(0, 0);
    const Rgba source = ReadPixel(*ImagePixels(image).format, ImagePixels(image).At(0, 0));
    EXPECT_EQ(DrawImage(0, 0, image, 1), 0);
    const Rgba blended = ScreenRgba(0, 0);
    auto mix = [](int s, int d, int a) { return (s * a + d * (255 - a)) / 255; };
    const Rgba expected{uint8_t(mix(source.r, target.r, 128)), uint8_t(mix(source.g, target.g, 128)),
                        uint8_t(mix(source.b, target.b, 128)), 255};
    EXPECT_EQ(WordAt(ScreenPixels(), 0, 0), EncodeColor(*ScreenPixels().format, expected));
    if (GetParam() == 32) {
        EXPECT_EQ(blended.r, 128);
    }
    EXPECT_EQ(WordAt(ScreenPixels(), 1, 0), PackColor(0, 0, 255));
    EXPECT_EQ(WordAt(ScreenPixels(), 2, 0), Black());

    DrawImage(0, 0, image, 0);
    EXPECT_EQ(WordAt(ScreenPixels(), 0, 0), PackColor(255, 0, 0));
    EXPECT_EQ(WordAt(ScreenPixels(), 1, 0), PackColor(255, 0, 0));
}

TEST_P(DrawTest, BrightnessTintsWhiteExactly)
{
    const ImageHandle image = MakeEmptyImage(2, 2, true, true);
    for (int i = 0; i < 4; ++i)
        PutPixel(image, i % 2, i / 2, Rgba{255, 255, 255, 255});
    SetDrawBrightnessWord(0x7FFF8040);  // upper byte ignored
    DrawImage(0, 0, image, 1);
    EXPECT_EQ(WordAt(ScreenPixels(), 1, 1), PackColor(255, 128, 64));
    DrawRect(5, 5, 6, 6, PackColor(255, 255, 255), 1);
    EXPECT_EQ(WordAt(ScreenPixels(), 5, 5), PackColor(255, 128, 64));
    SetDrawBrightness(300, -4, 255);  // clamped
    EXPECT_EQ(CurrentDrawState().brightRed, 255);
    EXPECT_EQ(CurrentDrawState().brightGreen, 0);
}

TEST_P(DrawTest, ImagePartShowsItsRectangleMirroredOrNot)
{
    const ImageHandle image = PatternImage(4, 2, false, 4);
    const PixelRegion source = ImagePixels(image);
    EXPECT_EQ(DrawImagePart(10, 10, 1, 0, 2, 2, image, 0, 0), 0);
    EXPECT_EQ(Painted(), Box(10, 10, 12, 12));
    EXPECT_EQ(WordAt(ScreenPixels(), 10, 10), WordAt(source, 1, 0));
    EXPECT_EQ(WordAt(ScreenPixels(), 11, 1 + 10), WordAt(source, 2, 1));

    ClearDrawTarget(nullptr);
    EXPECT_EQ(DrawImagePart(10, 10, 1, 0, 2, 2, image, 0, 1), 0);
    EXPECT_EQ(Painted(), Box(10, 10, 12, 12));
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(WordAt(ScreenPixels(), 10, 10 + y), WordAt(source, 2, y));
        EXPECT_EQ(WordAt(ScreenPixels(), 11, 10 + y), WordAt(source, 1, y));
    }
    // The draw area is as it was.
    EXPECT_EQ(displaySettings.drawArea.right, 64);
    EXPECT_EQ(DrawImagePart(0, 0, 0, 0, 1, 1, image + 1, 0, 0), -1);
}

TEST_P(DrawTest, QuadOnTheImageRectangleEqualsDrawImage)
{
    for (int alpha = 0; alpha < 2; ++alpha) {
        for (int filter = 0; filter < 2; ++filter) {
            for (int trans = 0; trans < 2; ++trans) {
                SCOPED_TRACE(alpha * 4 + filter * 2 + trans);
                const ImageHandle image = PatternImage(7, 5, alpha, 5 + alpha);
                PutPixel(image, 3, 2, Rgba{0, 0, 0, 255});
                SetDrawFilter(filter);
                DrawRect(0, 0, 64, 48, PackColor(90, 30, 200), 1);
                DrawImage(9, 4, image, trans);
                const std::vector<uint32_t> expected = Snapshot(ScreenPixels());
                DrawRect(0, 0, 64, 48, PackColor(90, 30, 200), 1);
                EXPECT_EQ(DrawImageQuad(9, 4, 16, 4, 16, 9, 9, 9, image, trans), 0);
                EXPECT_EQ(Snapshot(ScreenPixels()), expected);
            }
        }
    }
}

TEST_P(DrawTest, QuadWithSwappedSidesMirrorsTheImage)
{
    const ImageHandle image = PatternImage(6, 3, false, 6);
    DrawImagePart(20, 20, 0, 0, 6, 3, image, 0, 1);
    const std::vector<uint32_t> expected = Snapshot(ScreenPixels());
    ClearDrawTarget(nullptr);
    DrawImageQuad(26, 20, 20, 20, 20, 23, 26, 23, image, 0);
    EXPECT_EQ(Snapshot(ScreenPixels()), expected);
}

TEST_P(DrawTest, QuadScalesByWholeTexels)
{
    const ImageHandle image = PatternImage(2, 2, false, 7);
    const PixelRegion source = ImagePixels(image);
    DrawImageQuad(0, 0, 4, 0, 4, 4, 0, 4, image, 0);  // doubled, nearest
    EXPECT_EQ(Painted(), Box(0, 0, 4, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(WordAt(ScreenPixels(), x, y), WordAt(source, x / 2, y / 2));
    EXPECT_EQ(DrawImageQuad(0, 0, 0, 0, 0, 0, 0, 0, image, 0), 0);  // nothing to cover
}

TEST_P(DrawTest, FlatHugeAndTwistedQuadsStayInTheDrawArea)
{
    const ImageHandle image = PatternImage(5, 5, true, 11);
    const float cases[][8] = {
        {10, 10, 10, 10, 10, 10, 10, 10},                      // one point
        {0, 0, 30, 15, 60, 30, 90, 45},                        // a line
        {0, 10, 60, 10.0001f, 60, 10.0002f, 0, 10.0001f},      // almost flat
        {-1e30f, -1e30f, 1e30f, -1e30f, 1e30f, 1e30f, -1e30f, 1e30f},
        {0, 0, 60, 40, 60, 0, 0, 40},                          // bow tie
        {5, 5, 1e-30f, 5, 5, 1e-30f, 1e-30f, 1e-30f},
    };
    SetDrawRegion(8, 6, 40, 30);
    for (int filter = 0; filter < 2; ++filter) {
        SetDrawFilter(filter);
        for (const auto& q : cases) {
            EXPECT_EQ(DrawImageQuad(q[0], q[1], q[2], q[3], q[4], q[5], q[6], q[7], image, filter), 0);
        }
    }
    for (auto [x, y] : Painted())
        EXPECT_TRUE(x >= 8 && x < 40 && y >= 6 && y < 30) << x << "," << y;
}

TEST_P(DrawTest, ImagesCanBeDrawTargets)
{
    const ImageHandle canvas = MakeEmptyImage(8, 6, false, true);
    const ImageHandle stamp = PatternImage(3, 3, false, 8);
    ASSERT_EQ(SetDrawTarget(canvas), 0);
    EXPECT_EQ(displaySettings.drawArea.right, 8);
    EXPECT_EQ(displaySettings.drawArea.bottom, 6);
    EXPECT_EQ(DrawImage(6, 4, stamp, 0), 0);
    EXPECT_EQ(DrawRect(0, 0, 100, 1, PackColor(255, 255, 255), 1), 0);
    const PixelRegion pixels = ImagePixels(canvas);
    EXPECT_EQ(WordAt(pixels, 7, 5), WordAt(ImagePixels(stamp), 1, 1));
    EXPECT_EQ(WordAt(pixels, 7, 0), PackColor(255, 255, 255));
    EXPECT_TRUE(Painted().empty());  // the screen untouched

    ClearDrawTarget(nullptr);
    EXPECT_EQ(WordAt(pixels, 7, 5), Black());

    ASSERT_EQ(SetDrawTarget(ScreenBack), 0);
    EXPECT_EQ(displaySettings.drawArea.right, 64);
    DeleteImage(canvas);
    EXPECT_EQ(SetDrawTarget(canvas), -1);
    EXPECT_EQ(CurrentDrawTarget(), ScreenBack);
}

TEST_P(DrawTest, DrawingIntoADeletedTargetFails)
{
    const ImageHandle canvas = MakeEmptyImage(8, 6, false, true);
    const ImageHandle stamp = PatternImage(3, 3, false, 9);
    SetDrawTarget(canvas);
    DeleteImage(canvas);
    EXPECT_EQ(DrawRect(0, 0, 4, 4, PackColor(255, 255, 255), 1), -1);
    EXPECT_EQ(DrawImage(0, 0, stamp, 0), -1);
    EXPECT_EQ(ClearDrawTarget(nullptr), 0);
}

TEST_P(DrawTest, ImageDrawingNeedsTheLibraryAndAValidHandle)
{
    const ImageHandle image = PatternImage(2, 2, false, 10);
    EXPECT_EQ(DrawImage(0, 0, image + (1 << 16), 0), -1);
    EXPECT_EQ(DrawImageQuad(0, 0, 1, 0, 1, 1, 0, 1, -1, 0), -1);
    EXPECT_EQ(DrawImagePart(0, 0, 0, 0, 1, 1, -1, 0, 0), -1);

    // A part outside the draw area leaves it empty: nothing to draw, no error,
    // whatever the handle (as DrawImage with an empty area).
    EXPECT_EQ(DrawImagePart(100, 0, 0, 0, 2, 2, -1, 0, 0), 0);
    EXPECT_EQ(DrawImagePart(0, 0, 0, 0, 0, 2, image + (1 << 16), 0, 1), 0);
    SetDrawRegion(5, 5, 5, 9);
    EXPECT_EQ(DrawImage(0, 0, -1, 0), 0);
    EXPECT_EQ(DrawImagePart(0, 0, 0, 0, 2, 2, -1, 0, 0), 0);
    SetDrawRegion(0, 0, 64, 48);

    systemState.initialised = 0;
    EXPECT_EQ(DrawImage(0, 0, image, 0), -1);
    EXPECT_EQ(DrawImagePart(100, 0, 0, 0, 2, 2, image, 0, 0), -1);
    systemState.initialised = 1;
}

// Exact channel arithmetic, at 8 bits per channel.
class Draw32Test : public ::testing::Test {
protected:
    void SetUp() override { StartSoftwareScreen(8, 8, 32); }
    void TearDown() override { StopSoftwareScreen(); }
};

TEST_F(Draw32Test, BlendModesCombineWithTheTarget)
{
    struct Case {
        int mode, parameter;
        Rgba expected;
    };
    // Target (100, 200, 50), rectangle colour (200, 100, 250).
    const Case cases[] = {
        {0, 0, {200, 100, 250, 255}},
        {1, 255, {200, 100, 250, 255}},
        {1, 51, {(200 * 51 + 100 * 204) / 255, (100 * 51 + 200 * 204) / 255, (250 * 51 + 50 * 204) / 255, 255}},
        {2, 255, {255, 255, 255, 255}},
        {2, 51, {100 + 200 * 51 / 255, 200 + 100 * 51 / 255, 50 + 250 * 51 / 255, 255}},
        {3, 255, {0, 100, 0, 255}},
        {4, 0, {100 * 200 / 255, 200 * 100 / 255, 50 * 250 / 255, 255}},
        {9, 255, {200, 100, 250, 255}},  // unknown modes draw as mode 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        SetBlendState(0, 255);
        DrawRect(0, 0, 1, 1, PackColor(100, 200, 50), 1);
        SetBlendState(c.mode, c.parameter);
        DrawRect(0, 0, 1, 1, PackColor(200, 100, 250), 1);
        const Rgba got = ReadPixel(*ScreenPixels().format, ScreenPixels().At(0, 0));
        EXPECT_EQ(got.r, c.expected.r);
        EXPECT_EQ(got.g, c.expected.g);
        EXPECT_EQ(got.b, c.expected.b);
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, DrawTest, ::testing::Values(16, 32), DepthName);

}  // namespace
