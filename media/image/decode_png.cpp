// PNG through libpng: the rows are read straight into the base image.
#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <png.h>

#include "media/image/image_decode.h"
#include "media/core/memory.h"

namespace media {

namespace {

void ReadThroughReader(png_structp png, png_bytep data, png_size_t length)
{
    const ImageReader* reader = static_cast<const ImageReader*>(png_get_io_ptr(png));
    if (!reader->ReadExact(data, length))
        png_error(png, "truncated");
}

void ErrorByJump(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void QuietWarning(png_structp, png_const_charp) {}

// libpng's own allocations, with the largest request kept for the tests.
size_t largestRequest = 0;

png_voidp Allocate(png_structp, png_alloc_size_t size)
{
    largestRequest = std::max<size_t>(largestRequest, size);
    return std::malloc(size);
}

void Release(png_structp, png_voidp memory)
{
    std::free(memory);
}

}  // namespace

size_t TakeLargestPngAllocation()
{
    return std::exchange(largestRequest, 0);
}

int DecodePng(const ImageReader& reader, BaseImage* image)
{
    uint8_t signature[8];
    if (!reader.ReadExact(signature, 8) || png_sig_cmp(signature, 0, 8) != 0 || !reader.Seek(0, 0))
        return -1;
    // The installed library's own version string (the library refuses others).
    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, ErrorByJump, QuietWarning, nullptr,
                                               Allocate, Release);
    if (!png)
        return -1;
    png_infop pngInfo = png_create_info_struct(png);
    png_bytep* volatile rows = nullptr;
    if (!pngInfo || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, pngInfo ? &pngInfo : nullptr, nullptr);
        if (rows)
            MemFree(rows);
        FreeBaseImage(image);
        return -1;
    }
    png_set_user_limits(png, MaxPictureSide, MaxPictureSide);
    // Only IHDR, PLTE, tRNS, IDAT and IEND make the picture. Every other
    // chunk is skipped unread: libpng would take a text or profile chunk's
    // declared length (up to 2 GB) in one allocation before reading it.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // Fuzzing only: mutated data keeps its way past the checksums.
    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
#endif
    png_set_read_fn(png, const_cast<ImageReader*>(&reader), ReadThroughReader);
    png_set_sig_bytes(png, 0);
    png_read_info(png, pngInfo);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(png, pngInfo, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
    if (!PictureSizeAllowed(width, height))
        png_error(png, "too large");
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    const bool hasTransparency = png_get_valid(png, pngInfo, PNG_INFO_tRNS) != 0;
    if ((colourType == PNG_COLOR_TYPE_GRAY && bitDepth <= 8) || hasTransparency)
        png_set_expand(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, pngInfo);

    const png_size_t rowBytes = png_get_rowbytes(png, pngInfo);
    const int channels = png_get_channels(png, pngInfo);
    const int outType = png_get_color_type(png, pngInfo);
    if (png_get_bit_depth(png, pngInfo) != 8 || rowBytes != png_size_t(width) * channels)
        png_error(png, "unexpected layout");
    if (channels == 4) {
        image->format = ArgbFormat();
    } else if (channels == 3) {
        image->format = FullColourFormat();
    } else if (channels == 1 && outType == PNG_COLOR_TYPE_PALETTE) {
        image->format = PaletteFormat();
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, pngInfo, &palette, &count) & PNG_INFO_PLTE) {
            for (int i = 0; i < count && i < 256; ++i) {
                image->format.palette[i][0] = palette[i].blue;
                image->format.palette[i][1] = palette[i].green;
                image->format.palette[i][2] = palette[i].red;
            }
        }
    } else if (channels == 1) {
        image->format = GreyFormat();
    } else if (channels == 2) {
        // Grey with alpha: the grey level in the low byte for all three
        // colours; the alpha byte belongs to no channel.
        image->format = MakeColorFormat(16, 0x00FF, 0x00FF, 0x00FF, 0);
    } else {
        png_error(png, "unexpected channels");
    }
    image->width = int32_t(width);
    image->height = int32_t(height);
    image->pitch = int32_t(rowBytes);
    if (!AllocateBasePixels(image, int64_t(rowBytes) * height, false))  // every row is read
        png_error(png, "no memory");
    rows = static_cast<png_bytep*>(MemAlloc(int32_t(sizeof(png_bytep) * height), "", 0));
    if (!rows)
        png_error(png, "no memory");
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = image->pixels + int64_t(y) * image->pitch;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &pngInfo, nullptr);
    MemFree(rows);
    return 0;
}

}  // namespace media
