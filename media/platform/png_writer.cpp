#include "media/platform/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace media::platform {

namespace {

void ReportPngError(png_structp png, png_const_charp message)
{
    auto* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error)
        *error = message;
    png_longjmp(png, 1);
}

void IgnorePngWarning(png_structp, png_const_charp)
{
}

// Kept apart from the setjmp frame so that no object with a destructor
// lives across the jump.
bool WriteRows(FILE* file, png_bytepp rows, int32_t width, int32_t height, std::string* error)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, ReportPngError, IgnorePngWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePngFile(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height,
                  int32_t pitchPixels, std::string* error)
{
    std::string reason;
    if (width <= 0 || height <= 0 || !pixels) {
        if (error)
            *error = "empty image";
        return false;
    }
    std::vector<png_byte> rgb(size_t(width) * size_t(height) * 3);
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int32_t y = 0; y < height; ++y) {
        png_bytep row = rgb.data() + size_t(y) * size_t(width) * 3;
        rows[size_t(y)] = row;
        const uint32_t* in = pixels + size_t(y) * size_t(pitchPixels);
        for (int32_t x = 0; x < width; ++x) {
            row[x * 3 + 0] = png_byte(in[x] >> 16);
            row[x * 3 + 1] = png_byte(in[x] >> 8);
            row[x * 3 + 2] = png_byte(in[x]);
        }
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    bool written = WriteRows(file, rows.data(), width, height, &reason);
    if (std::fclose(file) != 0 && written) {
        written = false;
        reason = std::strerror(errno);
    }
    if (!written) {
        std::remove(path.c_str());
        if (error)
            *error = reason.empty() ? "cannot write the PNG file" : reason;
    }
    return written;
}

}  // namespace media::platform
