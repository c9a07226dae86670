// JPEG through libjpeg: an error manager that jumps back, a source manager
// that reads the file through the reader in 4096-byte blocks.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "media/image/image_decode.h"

namespace media {

namespace {

constexpr size_t JpegBlockSize = 4096;

struct JumpingError {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void ExitByJump(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JumpingError*>(info->err)->jump, 1);
}

void Silent(j_common_ptr, int) {}
void SilentOutput(j_common_ptr) {}

struct ReaderSource {
    jpeg_source_mgr base;
    const ImageReader* reader;
    JOCTET buffer[JpegBlockSize];
};

void InitSource(j_decompress_ptr) {}

boolean FillBuffer(j_decompress_ptr info)
{
    ReaderSource* source = reinterpret_cast<ReaderSource*>(info->src);
    size_t got = source->reader->ReadSome(source->buffer, JpegBlockSize);
    if (got == 0) {
        // The data ended early: end the picture here, as libjpeg's own
        // sources do, so that what was decoded is kept.
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        got = 2;
    }
    source->base.next_input_byte = source->buffer;
    source->base.bytes_in_buffer = got;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count)
{
    ReaderSource* source = reinterpret_cast<ReaderSource*>(info->src);
    while (count > 0) {
        if (size_t(count) <= source->base.bytes_in_buffer) {
            source->base.next_input_byte += count;
            source->base.bytes_in_buffer -= size_t(count);
            return;
        }
        count -= long(source->base.bytes_in_buffer);
        FillBuffer(info);
    }
}

void TermSource(j_decompress_ptr) {}

// Adobe CMYK (stored inverted) and plain CMYK to blue, green, red.
void CmykToBgr(const uint8_t* cmyk, uint8_t* bgr, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c; m = 255 - m; y = 255 - y; k = 255 - k;
        }
        bgr[0] = uint8_t((y * k + 127) / 255);
        bgr[1] = uint8_t((m * k + 127) / 255);
        bgr[2] = uint8_t((c * k + 127) / 255);
    }
}

}  // namespace

int DecodeJpeg(const ImageReader& reader, BaseImage* image)
{
    jpeg_decompress_struct info;
    JumpingError error;
    ReaderSource source;
    uint8_t* volatile line = nullptr;  // one CMYK line, freed on every way out

    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = ExitByJump;
    error.base.emit_message = Silent;
    error.base.output_message = SilentOutput;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        delete[] line;
        FreeBaseImage(image);
        return -1;
    }
    // jpeg_create_decompress passes the installed library's version and
    // structure size, which is what it checks them against.
    jpeg_create_decompress(&info);
    std::memset(&source.base, 0, sizeof source.base);
    source.reader = &reader;
    source.base.init_source = InitSource;
    source.base.fill_input_buffer = FillBuffer;
    source.base.skip_input_data = SkipInput;
    source.base.resync_to_restart = jpeg_resync_to_restart;
    source.base.term_source = TermSource;
    info.src = &source.base;

    // A stream that does not start with the JPEG marker is no JPEG: the
    // library would otherwise read on to the end of any file.
    uint8_t marker[2];
    if (!reader.ReadExact(marker, 2) || marker[0] != 0xFF || marker[1] != 0xD8 || !reader.Seek(0, 0)) {
        jpeg_destroy_decompress(&info);
        return -1;
    }
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || !PictureSizeAllowed(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return -1;
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (info.num_components == 1)
        info.out_color_space = JCS_GRAYSCALE;
    else if (cmyk)
        info.out_color_space = JCS_CMYK;
    else
        info.out_color_space = JCS_EXT_BGR;  // stored blue, green, red
    jpeg_start_decompress(&info);
    const int expected = info.out_color_space == JCS_GRAYSCALE ? 1 : cmyk ? 4 : 3;
    if (info.output_components != expected || !PictureSizeAllowed(info.output_width, info.output_height)) {
        jpeg_destroy_decompress(&info);
        return -1;
    }
    const int components = expected == 1 ? 1 : 3;
    image->width = int32_t(info.output_width);
    image->height = int32_t(info.output_height);
    image->pitch = int32_t(info.output_width) * components;
    image->format = components == 1 ? GreyFormat() : FullColourFormat();
    if (!AllocateBasePixels(image, int64_t(image->pitch) * image->height, false)) {  // every line is written
        jpeg_destroy_decompress(&info);
        return -1;
    }
    if (cmyk)
        line = new uint8_t[size_t(info.output_width) * 4];
    while (info.output_scanline < info.output_height) {
        uint8_t* row = image->pixels + int64_t(info.output_scanline) * image->pitch;
        JSAMPROW target = cmyk ? line : row;
        if (jpeg_read_scanlines(&info, &target, 1) != 1)
            break;
        if (cmyk)
            CmykToBgr(line, row, info.output_width, info.saw_Adobe_marker);
    }
    if (info.output_scanline < info.output_height)
        ExitByJump(reinterpret_cast<j_common_ptr>(&info));  // lines left unwritten: reject
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    delete[] line;
    return 0;
}

}  // namespace media
