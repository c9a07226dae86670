// Texture pieces of the hardware path: how one side of an image is split
// into power-of-two textures, and the texture words of single pixels.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "media/graphics/gl_image.h"
#include "graphics_fixture.h"

namespace media {
namespace {

struct SplitCase {
    int32_t length, maxSide, screenWidth;
    bool drawable;
    std::vector<int32_t> pieces;
};

void PrintTo(const SplitCase& c, std::ostream* out)
{
    *out << "length " << c.length << " max " << c.maxSide << " screen " << c.screenWidth
         << (c.drawable ? " drawable" : "");
}

class SplitSideTable : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitSideTable, GivesThePieces)
{
    const SplitCase& c = GetParam();
    const std::vector<int32_t> pieces = SplitSide(c.length, c.maxSide, c.screenWidth, c.drawable);
    EXPECT_EQ(pieces, c.pieces);
    // Whatever the split, the pieces cover the side and are powers of two of at least 8.
    EXPECT_GE(std::accumulate(pieces.begin(), pieces.end(), int64_t(0)), c.length);
    for (int32_t piece : pieces) {
        EXPECT_GE(piece, 8);
        EXPECT_EQ(piece & (piece - 1), 0) << piece;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sides, SplitSideTable,
    testing::Values(
        // Short sides: one piece of at least 8.
        SplitCase{1, 256, 640, false, {8}}, SplitCase{8, 256, 640, false, {8}},
        SplitCase{9, 256, 640, false, {16}},
        // Below the maximum and the screen width: the next power of two.
        SplitCase{64, 256, 640, false, {64}}, SplitCase{65, 256, 640, false, {128}},
        SplitCase{100, 256, 640, false, {128}}, SplitCase{255, 256, 640, false, {256}},
        // The maximum itself is one piece; one more texel starts a second.
        SplitCase{256, 256, 640, false, {256}}, SplitCase{257, 256, 640, false, {256, 8}},
        // The rest halves the piece size down to it; equal tail pieces merge.
        SplitCase{300, 256, 640, false, {256, 32, 16}},
        // A rest beyond three quarters of a smaller piece doubles that piece;
        // a rest of exactly three quarters goes on halving.
        SplitCase{1000, 256, 640, false, {256, 256, 256, 256}},
        SplitCase{480, 256, 640, false, {256, 128, 64, 32}},
        // As long as the screen is wide (heights too): split below the maximum.
        SplitCase{640, 16384, 640, false, {512, 128}}, SplitCase{700, 16384, 640, false, {512, 128, 64}},
        SplitCase{639, 16384, 640, false, {1024}},
        // Draw targets stay one texture.
        SplitCase{640, 16384, 640, true, {1024}}, SplitCase{300, 256, 640, true, {512}},
        // A device that reports no maximum counts as 256.
        SplitCase{300, 0, 640, false, {256, 32, 16}}));

TEST(TextureWordTest, TruncatesEachChannelToTheTextureLayout)
{
    const Rgba c{0xFF, 0x86, 0x47, 0x9C};
    EXPECT_EQ(TextureWord(DeviceFormat::R5G6B5, c, false), 0xFC28u);
    EXPECT_EQ(TextureWord(DeviceFormat::A1R5G5B5, c, false), 0xFC11u);
    EXPECT_EQ(TextureWord(DeviceFormat::A1R5G5B5, c, true), 0xFC10u);
    EXPECT_EQ(TextureWord(DeviceFormat::A4R4G4B4, c, false), 0xF849u);
    EXPECT_EQ(TextureWord(DeviceFormat::A8R8G8B8, c, false), 0x9CFF8647u);
    EXPECT_EQ(TextureWord(DeviceFormat::A8R8G8B8, c, true), 0x00FF8647u);
}

// The hardware path with its device gone (no GL on the headless backend):
// the image primitives fail where the drawing rules say, and an image cannot
// be made without its textures.
class MissingDeviceTest : public testing::Test {
protected:
    void SetUp() override { testing_support::StartSoftwareScreen(64, 48, 16); }
    void TearDown() override
    {
        displaySettings.hardwarePath = false;
        testing_support::StopSoftwareScreen();
    }
};

TEST_F(MissingDeviceTest, ImagePrimitivesReturnMinusOne)
{
    const ImageHandle image = MakeEmptyImage(8, 8, false, false);
    ASSERT_GE(image, 0);
    displaySettings.hardwarePath = true;
    EXPECT_EQ(DrawImage(0, 0, image, 1), -1);
    EXPECT_EQ(DrawImagePart(0, 0, 1, 1, 4, 4, image, 1, 1), -1);
    EXPECT_EQ(DrawImageQuad(0, 0, 8, 0, 8, 8, 0, 8, image, 0), -1);
    // An empty draw area draws nothing and is no error, as on the memory path.
    SetDrawRegion(10, 10, 10, 20);
    EXPECT_EQ(DrawImage(0, 0, image, 1), 0);
    EXPECT_EQ(DrawImagePart(0, 0, 1, 1, 4, 4, image, 1, 0), 0);
    // No textures, no image.
    EXPECT_EQ(MakeEmptyImage(8, 8, false, false), -1);
    EXPECT_EQ(MakeGlyphCacheImage(8, 8, 1), -1);
}

TEST_F(MissingDeviceTest, FilterModesBeyondAnisotropicFailOnlyOnTheHardwarePath)
{
    EXPECT_EQ(SetDrawFilter(3), 0);
    displaySettings.hardwarePath = true;
    EXPECT_EQ(SetDrawFilter(3), -1);
    EXPECT_EQ(SetDrawFilter(-1), -1);
    EXPECT_EQ(SetDrawFilter(1), 0);
    EXPECT_EQ(CurrentDrawState().filter, 1);
}

}  // namespace
}  // namespace media
