// One image decoder (FUZZ_DECODER: Bmp, Jpeg, Png, RawBgra, Tga, Dds, or
// Chain for the whole decoder list) fed arbitrary bytes. An accepted picture
// is converted into pixels as an image handle would store it, so the
// conversion (DXT blocks included) reads every byte the decoder claimed.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/image/image_convert.h"
#include "media/image/image_decode.h"

#define FUZZ_CAT(a, b) a##b
#define FUZZ_DECODE(name) FUZZ_CAT(Decode, name)

namespace {

int Decode(const media::ImageReader& reader, media::BaseImage* image)
{
    using namespace media;
#define Chain Image
    return FUZZ_DECODE(FUZZ_DECODER)(reader, image);
#undef Chain
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    media::MemoryStream stream{data, size};
    const media::ImageReader reader = media::MemoryImageReader(&stream);
    media::BaseImage image;
    if (Decode(reader, &image) == 0) {
        // At most 256 x 256 pixels, in both storage formats with alpha.
        const int32_t width = image.width < 256 ? image.width : 256;
        const int32_t height = image.height < 256 ? image.height : 256;
        for (auto id : {media::StandardFormat::R5G6B5A8, media::StandardFormat::X8R8G8B8}) {
            std::vector<uint8_t> pixels(size_t(width) * height * 4);
            media::PixelRegion region;
            region.pixels = pixels.data();
            region.width = width;
            region.height = height;
            region.pitch = width * 4;
            region.format = &media::GetStandardFormat(id);
            media::FillRegionFromPicture(region, image, nullptr, 0, 0);
        }
        // The picture as its own alpha picture, from an offset.
        std::vector<uint8_t> pixels(size_t(width) * height * 4);
        media::PixelRegion region{pixels.data(), width, height, width * 4, &media::GetStandardFormat(media::StandardFormat::A8R8G8B8)};
        media::FillRegionFromPicture(region, image, &image, image.width / 2, image.height / 2);
    }
    media::FreeBaseImage(&image);
    return 0;
}
