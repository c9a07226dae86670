// Pixel formats built from masks, and colours packed for the screen.
#include <gtest/gtest.h>

#include "graphics_fixture.h"
#include "media/graphics/color_format.h"

using namespace media;
using testing_support::ScreenDepthTest;

namespace {

struct FormatCase {
    StandardFormat id;
    int depth;
    int redWidth, greenWidth, blueWidth, alphaWidth;
    int redLocation, greenLocation, blueLocation, alphaLocation;
    uint32_t noneMask;
    int noneLocation, noneWidth;
};

TEST(ColorFormatTest, MasksGiveWidthsLocationsAndNoneMask)
{
    using S = StandardFormat;
    const FormatCase cases[] = {
        {S::R5G6B5, 16, 5, 6, 5, 0, 11, 5, 0, 0, 0, 0, 0},
        {S::R5G6B5A8, 32, 5, 6, 5, 8, 11, 5, 0, 16, 0xFF000000, 24, 8},
        {S::X8R8G8B8, 32, 8, 8, 8, 0, 16, 8, 0, 0, 0xFF000000, 24, 8},
        {S::A8R8G8B8, 32, 8, 8, 8, 8, 16, 8, 0, 24, 0, 0, 0},
        {S::R8G8B8, 24, 8, 8, 8, 0, 16, 8, 0, 0, 0, 0, 0},
        {S::X1R5G5B5, 16, 5, 5, 5, 0, 10, 5, 0, 0, 0x8000, 15, 1},
        {S::A1R5G5B5, 16, 5, 5, 5, 1, 10, 5, 0, 15, 0, 0, 0},
        {S::A4R4G4B4, 16, 4, 4, 4, 4, 8, 4, 0, 12, 0, 0, 0},
        {S::X4R4G4B4, 16, 4, 4, 4, 0, 8, 4, 0, 0, 0xF000, 12, 4},
        {S::A8R3G3B2, 16, 3, 3, 2, 8, 5, 2, 0, 8, 0, 0, 0},
        {S::R3G3B2, 8, 3, 3, 2, 0, 5, 2, 0, 0, 0, 0, 0},
        {S::A2R10G10B10, 32, 10, 10, 10, 2, 20, 10, 0, 30, 0, 0, 0},
        {S::A2B10G10R10, 32, 10, 10, 10, 2, 0, 10, 20, 30, 0, 0, 0},
        {S::A8B8G8R8, 32, 8, 8, 8, 8, 0, 8, 16, 24, 0, 0, 0},
        {S::X8B8G8R8, 32, 8, 8, 8, 0, 0, 8, 16, 0, 0xFF000000, 24, 8},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(int(c.id));
        const ColorFormat& f = GetStandardFormat(c.id);
        EXPECT_EQ(f.bitDepth, c.depth);
        EXPECT_EQ(f.bytesPerPixel, c.depth / 8);
        EXPECT_EQ(f.redWidth, c.redWidth);
        EXPECT_EQ(f.greenWidth, c.greenWidth);
        EXPECT_EQ(f.blueWidth, c.blueWidth);
        EXPECT_EQ(f.alphaWidth, c.alphaWidth);
        EXPECT_EQ(f.redLocation, c.redLocation);
        EXPECT_EQ(f.greenLocation, c.greenLocation);
        EXPECT_EQ(f.blueLocation, c.blueLocation);
        EXPECT_EQ(f.alphaLocation, c.alphaLocation);
        EXPECT_EQ(f.noneMask, c.noneMask);
        EXPECT_EQ(f.noneLocation, c.noneLocation);
        EXPECT_EQ(f.noneWidth, c.noneWidth);
        EXPECT_EQ(f.compressedKind, 0);
    }
}

TEST(ColorFormatTest, ZeroMaskGivesZeroChannelAndAlphaReadsOpaque)
{
    const ColorFormat f = MakeColorFormat(16, 0xF800, 0, 0x001F, 0);
    EXPECT_EQ(f.greenWidth, 0);
    EXPECT_EQ(f.greenLocation, 0);
    EXPECT_EQ(f.noneMask, 0x07E0u);
    const Rgba c = DecodeColor(f, 0xFFFF);
    EXPECT_EQ(c.r, 255);
    EXPECT_EQ(c.g, 0);
    EXPECT_EQ(c.b, 255);
    EXPECT_EQ(c.a, 255);
}

TEST(ColorFormatTest, ChannelsRoundTripThroughEveryFormat)
{
    // Full and zero channels survive any width; the none bits are always set.
    for (int id = 0; id <= int(StandardFormat::X8B8G8R8); ++id) {
        SCOPED_TRACE(id);
        const ColorFormat& f = GetStandardFormat(StandardFormat(id));
        const Rgba in{255, 0, 255, 0};
        const uint32_t word = EncodeColor(f, in);
        EXPECT_EQ(word & f.noneMask, f.noneMask);
        const Rgba out = DecodeColor(f, word);
        EXPECT_EQ(out.r, 255);
        EXPECT_EQ(out.g, 0);
        EXPECT_EQ(out.b, 255);
        EXPECT_EQ(out.a, f.alphaMask ? 0 : 255);
    }
}

TEST(ColorFormatTest, PaletteVariantReadsEntries)
{
    ColorFormat f = MakePaletteVariant(GetStandardFormat(StandardFormat::X8R8G8B8));
    EXPECT_EQ(f.bitDepth, 8);
    EXPECT_TRUE(f.usesPalette);
    f.palette[7][0] = 10;  // blue
    f.palette[7][1] = 20;
    f.palette[7][2] = 30;
    uint8_t pixel = 7;
    const Rgba c = ReadPixel(f, &pixel);
    EXPECT_EQ(c.r, 30);
    EXPECT_EQ(c.g, 20);
    EXPECT_EQ(c.b, 10);
    pixel = 0;
    WritePixel(f, &pixel, Rgba{31, 19, 11, 255});
    EXPECT_EQ(pixel, 7);  // nearest entry
}

class ScreenColorTest : public ScreenDepthTest {};

struct PackCase {
    int red, green, blue;
    uint32_t word16, word32;
};

TEST_P(ScreenColorTest, PackColorFollowsTheScreenFormat)
{
    const PackCase cases[] = {
        {255, 255, 255, 0xFFFF, 0xFFFFFFFF},
        {0, 0, 0, 0x0000, 0xFF000000},
        {128, 64, 32, (16u << 11) | (16u << 5) | 4u, 0xFF804020},
        {256, 0, 0, 0x0000, 0xFF000000},  // only the low 8 bits count
        {0x1FF, 0x100, 0x2FF, 0xF81F, 0xFFFF00FF},
    };
    for (const PackCase& c : cases) {
        SCOPED_TRACE(c.red);
        EXPECT_EQ(PackColor(c.red, c.green, c.blue), GetParam() == 16 ? c.word16 : c.word32);
    }
    EXPECT_EQ(PackColor(256, 0, 0), PackColor(0, 0, 0));
}

struct UnpackCase {
    uint32_t value;
    int red16, green16, blue16;
    int red32, green32, blue32;
};

TEST_P(ScreenColorTest, UnpackColorScalesEachChannel)
{
    const UnpackCase cases[] = {
        {0x00FF, 0, 28, 255, 0, 0, 255},
        {0xFF00, 255, 226, 0, 0, 255, 0},
        {0xFFFF, 255, 255, 255, 0, 255, 255},
        {0xFF804020, 8 * 255 / 31, 1 * 255 / 63, 0, 0x80, 0x40, 0x20},
    };
    for (const UnpackCase& c : cases) {
        SCOPED_TRACE(c.value);
        int r = -1, g = -1, b = -1;
        EXPECT_EQ(UnpackColor(c.value, &r, &g, &b), 0);
        if (GetParam() == 16) {
            EXPECT_EQ(r, c.red16);
            EXPECT_EQ(g, c.green16);
            EXPECT_EQ(b, c.blue16);
        } else {
            EXPECT_EQ(r, c.red32);
            EXPECT_EQ(g, c.green32);
            EXPECT_EQ(b, c.blue32);
        }
    }
}

TEST_P(ScreenColorTest, SoftwareImageFormatsFollowTheScreenDepth)
{
    const ColorFormat& plain = ImageColorFormat(false);
    const ColorFormat& alpha = ImageColorFormat(true);
    const ColorFormat& screen = ScreenImage()->format;
    if (GetParam() == 16) {
        EXPECT_TRUE(SameLayout(plain, GetStandardFormat(StandardFormat::R5G6B5)));
        EXPECT_TRUE(SameLayout(alpha, GetStandardFormat(StandardFormat::R5G6B5A8)));
        EXPECT_EQ(alpha.alphaMask, 0x00FF0000u);
        EXPECT_TRUE(SameLayout(screen, GetStandardFormat(StandardFormat::R5G6B5)));
    } else {
        EXPECT_TRUE(SameLayout(plain, GetStandardFormat(StandardFormat::X8R8G8B8)));
        EXPECT_TRUE(SameLayout(alpha, GetStandardFormat(StandardFormat::A8R8G8B8)));
        EXPECT_TRUE(SameLayout(screen, GetStandardFormat(StandardFormat::X8R8G8B8)));
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, ScreenColorTest, ::testing::Values(16, 32), testing_support::DepthName);

}  // namespace
