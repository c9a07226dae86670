// Image loading against bare library decoding: LoadImageToHandle of a
// 700 x 400 PNG and JPEG (decoder chain, base image, conversion into the
// screen's format, file-name record) beside a plain libpng / libjpeg decode
// of the same file into a buffer, measured call by call, alternating, in one
// process. Prints the times and their ratio for a 16- and a 32-bit screen.
//
// The software screen is started without a window, as the tests do.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

#include "media/graphics/draw.h"
#include "media/graphics/image_table.h"
#include "media/graphics/screen.h"
#include "media/image/image_load.h"
#include "media/platform/platform.h"
#include "media/core/system_state.h"

using namespace media;

namespace {

constexpr int Width = 700, Height = 400;

double Seconds(const std::function<void()>& call)
{
    const double frequency = double(platform::QueryPerformanceFrequency());
    const int64_t start = platform::QueryPerformanceCounter();
    call();
    return double(platform::QueryPerformanceCounter() - start) / frequency;
}

// The fastest of many single calls, load and bare decode alternating call by
// call: the minimum is the figure least disturbed by other work on the machine.
struct Pair {
    double load, bare;
};
Pair SideBySide(const std::function<void()>& load, const std::function<void()>& bare)
{
    Pair best{1e30, 1e30};
    for (int round = 0; round < 400; ++round) {
        best.load = std::min(best.load, Seconds(load));
        best.bare = std::min(best.bare, Seconds(bare));
    }
    return best;
}

void StartScreen(int depth)
{
    EndGraphics();
    systemState = SystemState{};
    displaySettings = DisplaySettings{};
    systemState.windowed = 1;
    systemState.active = 1;
    systemState.usePerformanceCounter = 1;
    systemState.performanceFrequency = platform::QueryPerformanceFrequency();
    SetScreenMode(640, 480, depth, 0);
    StartGraphics();
    systemState.initialised = 1;
}

// A picture with smooth areas, edges and some noise, as game art has.
std::vector<uint8_t> MakePicture()
{
    std::vector<uint8_t> rgb(size_t(Width) * Height * 3);
    uint32_t noise = 12345;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            noise = noise * 1103515245 + 12345;
            uint8_t* p = &rgb[(size_t(y) * Width + x) * 3];
            const bool panel = (x / 100 + y / 80) % 2 == 0;
            p[0] = uint8_t(panel ? x * 255 / Width : 40 + ((noise >> 16) & 15));
            p[1] = uint8_t(panel ? y * 255 / Height : 90);
            p[2] = uint8_t(((x ^ y) & 32) ? 200 : 60);
        }
    return rgb;
}

void WritePng(const std::string& path, const std::vector<uint8_t>& rgb)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = Width;
    image.height = Height;
    image.format = PNG_FORMAT_RGB;
    png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr);
}

void WriteJpeg(const std::string& path, const std::vector<uint8_t>& rgb)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = Width;
    info.image_height = Height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&rgb[size_t(info.next_scanline) * Width * 3]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

// Bare libpng: the file's rows as 8-bit BGR, read with fopen/png_init_io.
void BarePng(const std::string& path, std::vector<uint8_t>* out)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_bgr(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    out->resize(rowBytes * Height);
    std::vector<png_bytep> rows(Height);
    for (int y = 0; y < Height; ++y)
        rows[size_t(y)] = out->data() + rowBytes * size_t(y);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
}

// Bare libjpeg: the file's rows as 8-bit BGR.
void BareJpeg(const std::string& path, std::vector<uint8_t>* out)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    out->resize(size_t(info.output_width) * info.output_height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->data() + size_t(info.output_scanline) * info.output_width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
}

}  // namespace

int main()
{
    char folder[] = "/tmp/korvanta-image-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    const std::string png = std::string(folder) + "/picture.png", jpeg = std::string(folder) + "/picture.jpg";
    const std::vector<uint8_t> rgb = MakePicture();
    WritePng(png, rgb);
    WriteJpeg(jpeg, rgb);

    std::printf("| file | screen bits | LoadImageToHandle, ms | bare library decode, ms | load / bare |\n");
    std::printf("|---|---|---|---|---|\n");
    std::vector<uint8_t> buffer;
    for (int depth : {16, 32}) {
        StartScreen(depth);
        const struct {
            const char* name;
            const std::string* path;
            void (*bare)(const std::string&, std::vector<uint8_t>*);
        } files[] = {{"700 x 400 PNG", &png, BarePng}, {"700 x 400 JPEG", &jpeg, BareJpeg}};
        for (const auto& f : files) {
            const Pair t = SideBySide(
                [&] {
                    const ImageHandle image = LoadImageToHandle(f.path->c_str(), 0);
                    if (image < 0)
                        std::abort();
                    DeleteImage(image);
                },
                [&] { f.bare(*f.path, &buffer); });
            std::printf("| %s | %d | %.3f | %.3f | %.2f |\n", f.name, depth, t.load * 1e3, t.bare * 1e3, t.load / t.bare);
        }
    }
    EndGraphics();
    std::remove(png.c_str());
    std::remove(jpeg.c_str());
    rmdir(folder);
    return 0;
}
