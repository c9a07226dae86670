// Helpers of the image-loader tests: decoding files, reference pixels, and
// the formulas the fixtures in tests/data/images were made from
// (tools/make_image_fixtures.py).
#pragma once

#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <string>
#include <vector>

#include "log_fixture.h"
#include "media/image/image_convert.h"
#include "media/image/image_decode.h"
#include "media/files/stream.h"

namespace testing_support {

inline std::string ImageDataDir() { return std::string(KORVANTA_SOURCE_DIR) + "/tests/data/images/"; }

// The public conformance suites (bmpsuite, PngSuite) stay outside the
// repository and only the suite comparisons read them: from the folder named
// by KORVANTA_TESTDATA (absolute) when it is set, else from ../shared/testdata
// beside the repository's top folder. Looked up at run time, so one build
// serves machines with and without them.
inline std::string SharedTestData()
{
    const char* named = std::getenv("KORVANTA_TESTDATA");
    if (named && *named)
        return std::string(named) + "/";
    return std::string(KORVANTA_SOURCE_DIR) + "/../shared/testdata/";
}

inline bool SuitePresent(const std::string& suite)
{
    struct stat st;
    return stat((SharedTestData() + suite).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// CI=true: a missing suite fails instead of skipping, so CI never passes without them.
inline bool SuitesRequired()
{
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

inline std::string MissingSuiteLine(const std::string& suite)
{
    return suite + " not found at " + SharedTestData() + suite +
           "; set KORVANTA_TESTDATA to a folder holding bmpsuite/ and pngsuite/ (see README.md)";
}

}  // namespace testing_support

// Ends the test when the suite (a folder name under the test data) is absent:
// skipped, or failed under CI=true.
#define REQUIRE_SUITE(suite)                                                                               \
    do {                                                                                                   \
        if (!testing_support::SuitePresent(suite)) {                                                       \
            if (testing_support::SuitesRequired())                                                         \
                FAIL() << testing_support::MissingSuiteLine(suite) << " (CI=true requires it)";           \
            GTEST_SKIP() << testing_support::MissingSuiteLine(suite);                                      \
        }                                                                                                  \
    } while (0)

namespace testing_support {

// Files of a folder with the given ending, sorted.
inline std::vector<std::string> FilesIn(const std::string& dir, const std::string& ending)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
                names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A decoded picture that frees itself.
struct Picture {
    media::BaseImage image;
    const char* decoder = nullptr;
    int result = -1;
    ~Picture() { media::FreeBaseImage(&image); }
    media::Rgba At(int x, int y) const { return media::PicturePixel(image, x, y); }
};

// Runs the decoder chain on a file through the file layer.
inline void DecodeFile(const std::string& path, Picture* picture)
{
    const media::StreamHandle stream = media::StreamOpen(path.c_str());
    ASSERT_NE(stream, 0u) << path;
    picture->result = media::DecodeImage(media::FileImageReader(stream), &picture->image, &picture->decoder);
    media::StreamClose(stream);
}

// Runs the decoder chain on bytes in memory.
inline int DecodeBytes(const std::vector<uint8_t>& bytes, Picture* picture)
{
    media::MemoryStream stream{bytes.data(), bytes.size()};
    picture->result = media::DecodeImage(media::MemoryImageReader(&stream), &picture->image, &picture->decoder);
    return picture->result;
}

inline std::vector<uint8_t> FileBytes(const std::string& path)
{
    const std::string text = ReadFile(path);
    return std::vector<uint8_t>(text.begin(), text.end());
}

// A PNG read with bare libpng into 8-bit RGBA, no gamma handling: the
// reference the decoders are compared with.
struct RgbaPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    const uint8_t* At(int x, int y) const { return &pixels[(size_t(y) * width + x) * 4]; }
};

inline bool ReadReferencePng(const std::string& path, RgbaPicture* out)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out->width = int(png_get_image_width(png, info));
    out->height = int(png_get_image_height(png, info));
    out->pixels.assign(size_t(out->width) * out->height * 4, 0);
    std::vector<png_bytep> rows(size_t(out->height));
    for (int y = 0; y < out->height; ++y)
        rows[size_t(y)] = &out->pixels[size_t(y) * out->width * 4];
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return true;
}

// The fixture generator's formulas.
constexpr int PatternWidth = 11, PatternHeight = 7;
inline media::Rgba Pattern(int x, int y)
{
    return {uint8_t((x * 37 + y * 11) & 255), uint8_t((x * 5 + y * 53) & 255), uint8_t((x * 91 + y * 7) & 255),
            uint8_t((x * 23 + y * 29 + 5) & 255)};
}
inline media::Rgba TgaPixel(int x, int y) { return x < 3 ? Pattern(0, y) : Pattern(x, y); }
inline media::Rgba PaletteEntry(int i) { return Pattern(i % PatternWidth, i / PatternWidth); }
inline int MappedIndex(int x, int y) { return (x + y * 3) % 20; }
inline media::Rgba Smooth(int x, int y) { return {uint8_t(x * 255 / 39), uint8_t(y * 255 / 23), 128, 255}; }
// The PNG and BMP fixtures are 13 x 9, a size no other fixture has.
constexpr int KindWidth = 13, KindHeight = 9;
inline int BmpIndex4(int x, int y) { return x < 4 ? y % 16 : (x * 7 + y) % 16; }

// A channel kept at w bits and widened again: round(v x 255 / (2^w - 1)).
inline uint8_t Requantise(uint8_t value, int bits)
{
    const int max = (1 << bits) - 1;
    const int v = value >> (8 - bits);
    return uint8_t((v * 255 + max / 2) / max);
}

inline std::string Describe(media::Rgba c)
{
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + "," +
           std::to_string(c.a) + ")";
}

}  // namespace testing_support
