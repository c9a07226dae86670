// Image handles: layout, check numbers, the table's high-water mark, shared
// bodies of derived images, and the limit of 32768 live images.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "graphics_fixture.h"
#include "log_fixture.h"
#include "media/graphics/handle.h"
#include "media/log/log.h"

using namespace media;
using namespace testing_support;

namespace {

class ImageTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartSoftwareScreen(32, 32, 16);
        SetNextImageCheckNumber(0);
    }
    void TearDown() override { StopSoftwareScreen(); }
};

TEST_F(ImageTableTest, HandlesCarryKindCheckNumberAndSlot)
{
    const ImageHandle first = NewImageHandle();
    const ImageHandle second = NewImageHandle();
    EXPECT_EQ(first, 0x08000000);
    EXPECT_EQ(second, 0x08010001);
    EXPECT_EQ(HandleKind(second), HandleKindImage);
    EXPECT_EQ(ImageCount(), 2);
    EXPECT_EQ(ImageHighWaterMark(), 2);
    ASSERT_NE(FindImage(first), nullptr);
    EXPECT_EQ(FindImage(first)->handle, first);
    EXPECT_EQ(FindImage(first)->movieHandle, -1);
}

TEST_F(ImageTableTest, ForeignAndMalformedHandlesAreRefused)
{
    const ImageHandle image = NewImageHandle();
    const int32_t others[] = {
        -1,
        image | int32_t(0x80000000),                           // negative
        MakeHandle(HandleKindFont, 0, HandleSlot(image)),      // right slot and check, wrong kind
        image + (1 << HandleCheckShift),                       // wrong check number
        image + 1,                                             // empty slot
        MakeHandle(HandleKindImage, 0, 0x8000),                // slot beyond the table
        0,
    };
    for (int32_t handle : others) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(FindImage(handle), nullptr);
        EXPECT_EQ(DeleteImage(handle), -1);
    }
    EXPECT_EQ(ImageCount(), 1);
}

TEST_F(ImageTableTest, DeletedHandleGoesStaleAndItsSlotGetsANewCheckNumber)
{
    for (int i = 0; i < 5; ++i)
        NewImageHandle();
    SetNextImageCheckNumber(3);
    const ImageHandle h5 = NewImageHandle();
    EXPECT_EQ(h5, 0x08000000 + 3 * 65536 + 5);
    int32_t lost = 0;
    SetImageLostFlag(h5, &lost);
    EXPECT_EQ(DeleteImage(h5), 0);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(FindImage(h5), nullptr);
    EXPECT_EQ(DeleteImage(h5), -1);
    const ImageHandle again = NewImageHandle();
    EXPECT_EQ(HandleSlot(again), 5);
    EXPECT_GE(HandleCheck(again), 4);
    EXPECT_EQ(FindImage(h5), nullptr);
}

TEST_F(ImageTableTest, HighWaterMarkFollowsTheTopSlot)
{
    ImageHandle h[4];
    for (ImageHandle& handle : h)
        handle = NewImageHandle();
    DeleteImage(h[1]);  // a hole below the top: new handles still go on top
    EXPECT_EQ(ImageHighWaterMark(), 4);
    EXPECT_EQ(HandleSlot(NewImageHandle()), 4);
    DeleteImage(h[3]);
    EXPECT_EQ(ImageHighWaterMark(), 5);
    const ImageHandle top = MakeHandle(HandleKindImage, FindImage(h[2])->check + 2, 4);
    ASSERT_NE(FindImage(top), nullptr);
    DeleteImage(top);  // slots 3 and 4 empty, 2 occupied
    EXPECT_EQ(ImageHighWaterMark(), 3);
    DeleteImage(h[2]);
    DeleteImage(h[0]);
    EXPECT_EQ(ImageCount(), 0);
    EXPECT_EQ(ImageHighWaterMark(), 0);
}

TEST_F(ImageTableTest, CheckNumberWrapsAfter2047)
{
    SetNextImageCheckNumber(2047);
    EXPECT_EQ(HandleCheck(NewImageHandle()), 2047);
    const ImageHandle wrapped = NewImageHandle();
    EXPECT_EQ(HandleCheck(wrapped), 0);
    EXPECT_EQ(wrapped, 0x08000001);
}

TEST_F(ImageTableTest, DeleteAllImagesEmptiesTheTable)
{
    for (int i = 0; i < 10; ++i)
        MakeEmptyImage(4, 4, i % 2 == 0, false);
    EXPECT_EQ(ImageCount(), 10);
    EXPECT_EQ(DeleteAllImages(), 0);
    EXPECT_EQ(ImageCount(), 0);
    EXPECT_EQ(ImageHighWaterMark(), 0);
}

TEST_F(ImageTableTest, EndGraphicsInvalidatesEveryImage)
{
    const ImageHandle image = MakeEmptyImage(8, 8, false, true);
    ASSERT_NE(FindImage(image), nullptr);
    systemState.initialised = 0;
    EndGraphics();
    EXPECT_EQ(FindImage(image), nullptr);
    EXPECT_EQ(MakeEmptyImage(8, 8, false, true), -1);  // graphics are down
}

TEST_F(ImageTableTest, EmptyImagesAreZeroedAndRefuseBadSizes)
{
    const ImageHandle image = MakeEmptyImage(3, 2, true, true);
    const PixelRegion pixels = ImagePixels(image);
    EXPECT_EQ(pixels.width, 3);
    EXPECT_EQ(pixels.height, 2);
    for (uint32_t word : Snapshot(pixels))
        EXPECT_EQ(word, 0u);
    EXPECT_TRUE(FindImage(image)->body->hasAlpha);
    EXPECT_EQ(MakeEmptyImage(0, 5, false, true), -1);
    EXPECT_EQ(MakeEmptyImage(5, -1, false, true), -1);
    EXPECT_EQ(MakeEmptyImage(1 << 20, 1 << 20, false, true), -1);
}

TEST_F(ImageTableTest, DerivedImageSharesTheBodyAndIsCutToTheSource)
{
    const ImageHandle source = MakeEmptyImage(10, 8, false, true);
    const ImageHandle part = DeriveImage(6, 5, 10, 10, source);
    ASSERT_GE(part, 0);
    const ImageEntry* entry = FindImage(part);
    EXPECT_EQ(entry->width, 4);
    EXPECT_EQ(entry->height, 3);
    EXPECT_EQ(entry->body, FindImage(source)->body);
    EXPECT_EQ(entry->body->refCount, 2);

    PutPixel(source, 7, 6, Rgba{255, 255, 255, 255});
    EXPECT_EQ(WordAt(ImagePixels(part), 1, 1), 0xFFFFu);

    // A part of a part is offset from the first part.
    const ImageHandle inner = DeriveImage(1, 1, 1, 1, part);
    EXPECT_EQ(WordAt(ImagePixels(inner), 0, 0), 0xFFFFu);

    EXPECT_EQ(DeleteImage(source), 0);
    ASSERT_NE(FindImage(part), nullptr);
    EXPECT_EQ(WordAt(ImagePixels(part), 1, 1), 0xFFFFu);  // the body stays while shared
}

TEST_F(ImageTableTest, DeriveImageRefusesPositionsOutsideTheSource)
{
    const ImageHandle source = MakeEmptyImage(10, 8, false, true);
    const int cases[][4] = {{-1, 0, 2, 2}, {0, -1, 2, 2}, {10, 0, 2, 2}, {0, 8, 2, 2}, {0, 0, 0, 2}, {0, 0, 2, -3}};
    for (const auto& c : cases)
        EXPECT_EQ(DeriveImage(c[0], c[1], c[2], c[3], source), -1);
    EXPECT_EQ(DeriveImage(0, 0, 2, 2, source + 1), -1);
    EXPECT_EQ(ImageCount(), 1);
}

// Positions far outside the image, up to the ends of the int range, are cut
// like near ones: nothing lands in the image, and nothing overflows.
TEST_F(ImageTableTest, UpdateImagePixelsCutsTheSourceAtAnyPosition)
{
    const ImageHandle image = MakeEmptyImage(4, 4, false, true);
    uint16_t white[2 * 2] = {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
    const PixelRegion source{reinterpret_cast<uint8_t*>(white), 2, 2, 4, &GetStandardFormat(StandardFormat::R5G6B5)};
    const int32_t outside[][2] = {{INT32_MIN, 0}, {0, INT32_MIN}, {INT32_MIN, INT32_MIN}, {INT32_MAX, 0},
                                  {0, INT32_MAX}, {-2, 0},        {4, 4},                 {INT32_MIN + 1, 1}};
    for (const auto& at : outside) {
        EXPECT_EQ(UpdateImagePixels(image, at[0], at[1], source), 0) << at[0] << ", " << at[1];
        EXPECT_EQ(Snapshot(ImagePixels(image)), std::vector<uint32_t>(16, 0)) << at[0] << ", " << at[1];
    }
    // Half outside on the left and at the top: the source's last pixel lands.
    EXPECT_EQ(UpdateImagePixels(image, -1, -1, source), 0);
    EXPECT_EQ(WordAt(ImagePixels(image), 0, 0), 0xFFFFu);
    EXPECT_EQ(WordAt(ImagePixels(image), 1, 0), 0u);
    EXPECT_EQ(WordAt(ImagePixels(image), 0, 1), 0u);
}

TEST(ImageLimitDeathTest, The32769thLiveImageEndsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "fast");  // the child must write into this test's folder
    const std::string dir = MakeTempDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EXIT(
        {
            StartSoftwareScreen(16, 16, 16);  // clears the system state: the log comes after
            SetLogLocation(dir.c_str(), "Log.txt");
            LogStart();
            for (int i = 0; i < 32768; ++i)
                NewImageHandle();
            LogAdd("32768 images made\n");
            NewImageHandle();
            std::exit(0);
        },
        ::testing::ExitedWithCode(255), "");
    const std::string log = ReadFile(dir + "/Log.txt");
    EXPECT_NE(log.find("32768 images made"), std::string::npos);
    EXPECT_NE(log.find("グラフィックの数が許容量を越えました終了します"), std::string::npos);
    std::system(("rm -rf " + dir).c_str());
}

}  // namespace
