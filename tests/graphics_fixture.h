// A software screen started the way InitMediaLibrary starts it after its
// window step (windowed, active, performance counter chosen), but without a
// window: nothing is presented and the front-screen timer is not armed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "media/graphics/draw.h"
#include "media/graphics/image_table.h"
#include "media/graphics/screen.h"
#include "media/platform/platform.h"
#include "media/core/system_state.h"

namespace testing_support {

inline void StartSoftwareScreen(int width, int height, int depth)
{
    media::EndGraphics();
    media::systemState = media::SystemState{};
    media::displaySettings = media::DisplaySettings{};
    media::systemState.windowed = 1;
    media::systemState.active = 1;
    media::systemState.usePerformanceCounter = 1;
    media::systemState.performanceFrequency = media::platform::QueryPerformanceFrequency();
    ASSERT_EQ(media::SetScreenMode(width, height, depth, 0), 0);
    ASSERT_EQ(media::StartGraphics(), 0);
    media::systemState.initialised = 1;
    ASSERT_EQ(media::SetDrawTarget(media::ScreenBack), 0);
}

inline void StopSoftwareScreen()
{
    media::systemState.initialised = 0;
    media::EndGraphics();
    media::systemState = media::SystemState{};
    media::displaySettings = media::DisplaySettings{};
    media::ResetDrawState();
}

// Pixel words of a region, row by row.
inline uint32_t WordAt(const media::PixelRegion& r, int x, int y)
{
    return media::LoadPixelWord(r.At(x, y), r.format->bytesPerPixel);
}

inline std::vector<uint32_t> Snapshot(const media::PixelRegion& r)
{
    std::vector<uint32_t> words;
    words.reserve(size_t(r.width) * r.height);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            words.push_back(WordAt(r, x, y));
    return words;
}

inline media::PixelRegion ScreenPixels()
{
    return media::WholeRegion(media::ScreenImage());
}

inline media::PixelRegion ImagePixels(media::ImageHandle image)
{
    media::PixelRegion region;
    EXPECT_TRUE(media::GetImagePixels(image, &region));
    return region;
}

// Writes 8-bit channels into pixel (x, y) of an image.
inline void PutPixel(media::ImageHandle image, int x, int y, media::Rgba colour)
{
    const media::PixelRegion r = ImagePixels(image);
    media::WritePixel(*r.format, r.At(x, y), colour);
}

// A test body run once on a 16-bit and once on a 32-bit screen.
class ScreenDepthTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { StartSoftwareScreen(64, 48, GetParam()); }
    void TearDown() override { StopSoftwareScreen(); }
};

inline std::string DepthName(const ::testing::TestParamInfo<int>& info)
{
    return "Depth" + std::to_string(info.param);
}

}  // namespace testing_support
