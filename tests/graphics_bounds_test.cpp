// No drawing call writes outside its target's draw area, whatever the
// rectangle, position, image size, draw area or drawing state: random cases
// drawn into a window cut out of a larger image (the guard band around it
// must stay untouched), and into the screen itself (AddressSanitizer watches
// its edges).
#include <gtest/gtest.h>

#include <random>

#include "graphics_fixture.h"

using namespace media;
using namespace testing_support;

namespace {

constexpr int Guard = 6;

class DrawBoundsTest : public ScreenDepthTest {
protected:
    std::mt19937 random{20240611u + uint32_t(GetParam())};

    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); }
    float Coordinate() { return std::uniform_real_distribution<float>(-40.f, 80.f)(random); }

    // A source image, sometimes a part cut out of a larger image whose
    // surroundings are painted `poison` (a colour the part itself never has).
    ImageHandle RandomSource(Rgba poison)
    {
        const bool alpha = Between(0, 1);
        const int width = Between(1, 24), height = Between(1, 24);
        const bool cut = Between(0, 1);
        const int margin = cut ? 3 : 0;
        const ImageHandle whole = MakeEmptyImage(width + 2 * margin, height + 2 * margin, alpha, true);
        const PixelRegion pixels = ImagePixels(whole);
        for (int y = 0; y < pixels.height; ++y) {
            for (int x = 0; x < pixels.width; ++x) {
                const bool inside = x >= margin && x < margin + width && y >= margin && y < margin + height;
                Rgba c = poison;
                if (inside) {
                    // Black now and then, so that the colour key has work.
                    const uint8_t level = Between(0, 5) == 0 ? 0 : uint8_t(Between(0, 127));
                    c = Rgba{level, uint8_t(Between(0, 127)), uint8_t(Between(0, 127)), uint8_t(Between(0, 255))};
                }
                WritePixel(*pixels.format, pixels.At(x, y), c);
            }
        }
        if (!cut)
            return whole;
        const ImageHandle part = DeriveImage(margin, margin, width, height, whole);
        DeleteImage(whole);
        return part;
    }

    void RandomState()
    {
        SetBlendState(Between(0, 5), Between(-10, 300));
        if (Between(0, 1))
            SetDrawBrightness(255, 255, 255);
        else
            SetDrawBrightness(Between(0, 255), Between(0, 255), Between(0, 255));
        SetDrawFilter(Between(0, 1));
    }

    // One random primitive; returns whether it was an opaque image copy (whose
    // result must never show the poison colour).
    bool RandomDraw(Rgba poison)
    {
        RandomState();
        const int kind = Between(0, 3);
        if (kind == 0) {
            EXPECT_EQ(DrawRect(Between(-50, 90), Between(-50, 90), Between(-50, 90), Between(-50, 90),
                               PackColor(Between(0, 255), Between(0, 255), Between(0, 255)), Between(0, 1)),
                      0);
            return false;
        }
        const ImageHandle image = RandomSource(poison);
        const int trans = Between(0, 1);
        if (kind == 1) {
            EXPECT_EQ(DrawImage(Between(-30, 70), Between(-30, 70), image, trans), 0);
        } else if (kind == 2) {
            EXPECT_EQ(DrawImagePart(Between(-30, 70), Between(-30, 70), Between(-10, 30), Between(-10, 30),
                                    Between(-5, 30), Between(-5, 30), image, trans, Between(0, 1)),
                      0);
        } else {
            EXPECT_EQ(DrawImageQuad(Coordinate(), Coordinate(), Coordinate(), Coordinate(), Coordinate(),
                                    Coordinate(), Coordinate(), Coordinate(), image, trans),
                      0);
        }
        DeleteImage(image);
        return true;
    }

    void RandomDrawArea(int width, int height)
    {
        SetDrawRegion(Between(-10, width + 10), Between(-10, height + 10), Between(-10, width + 10),
                      Between(-10, height + 10));
    }

    static bool Inside(const DrawArea& a, int x, int y)
    {
        return x >= a.left && x < a.right && y >= a.top && y < a.bottom;
    }
};

TEST_P(DrawBoundsTest, ImageTargetsKeepTheirGuardBandAndDrawArea)
{
    const Rgba poison{255, 255, 254, 255};
    for (int round = 0; round < 600; ++round) {
        SCOPED_TRACE(round);
        const int width = Between(1, 40), height = Between(1, 40);
        const ImageHandle body = MakeEmptyImage(width + 2 * Guard, height + 2 * Guard, Between(0, 1), true);
        const ImageHandle target = DeriveImage(Guard, Guard, width, height, body);
        ASSERT_EQ(SetDrawTarget(target), 0);
        RandomDrawArea(width, height);
        const DrawArea area = displaySettings.drawArea;
        const PixelRegion all = ImagePixels(body);
        const std::vector<uint32_t> before = Snapshot(all);

        for (int draw = 0; draw < 3; ++draw)
            RandomDraw(poison);

        const std::vector<uint32_t> after = Snapshot(all);
        for (int y = 0; y < all.height; ++y) {
            for (int x = 0; x < all.width; ++x) {
                if (Inside(area, x - Guard, y - Guard))
                    continue;
                const size_t i = size_t(y) * all.width + x;
                ASSERT_EQ(after[i], before[i]) << "pixel " << x - Guard << "," << y - Guard << " of a " << width
                                               << "x" << height << " target";
            }
        }
        SetDrawTarget(ScreenBack);
        DeleteImage(target);
        DeleteImage(body);
    }
    EXPECT_EQ(ImageCount(), 0);
}

TEST_P(DrawBoundsTest, ScreenKeepsPixelsOutsideTheDrawAreaAndNeverShowsUnseenSourcePixels)
{
    const Rgba poison{255, 255, 254, 255};
    const PixelRegion screen = ScreenPixels();
    const uint32_t poisonWord = EncodeColor(*screen.format, poison);
    for (int round = 0; round < 600; ++round) {
        SCOPED_TRACE(round);
        ClearDrawTarget(nullptr);
        RandomDrawArea(screen.width, screen.height);
        const DrawArea area = displaySettings.drawArea;
        const std::vector<uint32_t> before = Snapshot(screen);

        const bool plainCopy = RandomDraw(poison);
        const bool unmodulated = CurrentDrawState().blendMode == 0 && CurrentDrawState().brightRed == 255 &&
                                 CurrentDrawState().brightGreen == 255 && CurrentDrawState().brightBlue == 255 &&
                                 CurrentDrawState().filter == 0;

        const std::vector<uint32_t> after = Snapshot(screen);
        for (int y = 0; y < screen.height; ++y) {
            for (int x = 0; x < screen.width; ++x) {
                const size_t i = size_t(y) * screen.width + x;
                if (!Inside(area, x, y)) {
                    ASSERT_EQ(after[i], before[i]) << "pixel " << x << "," << y;
                } else if (plainCopy && unmodulated) {
                    ASSERT_NE(after[i], poisonWord) << "pixel " << x << "," << y << " shows a pixel beyond the image";
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, DrawBoundsTest, ::testing::Values(16, 32), DepthName);

}  // namespace
