// The decoders against public test suites and generated fixtures, and their
// behaviour on truncated and hostile data.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <regex>

#include "image_fixture.h"

namespace {

using namespace testing_support;
using media::Rgba;

// Compares a decoded picture with an RGBA reference; alpha only when asked.
::testing::AssertionResult SamePixels(const Picture& picture, const RgbaPicture& reference, bool compareAlpha, int tolerance = 0)
{
    if (picture.image.width != reference.width || picture.image.height != reference.height)
        return ::testing::AssertionFailure() << "size " << picture.image.width << "x" << picture.image.height << " vs "
                                             << reference.width << "x" << reference.height;
    for (int y = 0; y < reference.height; ++y) {
        for (int x = 0; x < reference.width; ++x) {
            const Rgba got = picture.At(x, y);
            const uint8_t* want = reference.At(x, y);
            const int channels[4][2] = {{got.r, want[0]}, {got.g, want[1]}, {got.b, want[2]}, {got.a, want[3]}};
            for (int c = 0; c < (compareAlpha ? 4 : 3); ++c) {
                if (std::abs(channels[c][0] - channels[c][1]) > tolerance)
                    return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") " << Describe(got)
                                                         << " expected (" << int(want[0]) << "," << int(want[1]) << ","
                                                         << int(want[2]) << "," << int(want[3]) << ")";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

RgbaPicture FromFormula(int width, int height, Rgba (*pixel)(int, int))
{
    RgbaPicture out;
    out.width = width;
    out.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgba c = pixel(x, y);
            out.pixels.insert(out.pixels.end(), {c.r, c.g, c.b, c.a});
        }
    return out;
}

// bmpsuite's page: each file's first reference rendering.
std::map<std::string, std::string> BmpReferences()
{
    const std::string html = ReadFile(SharedTestData() + "bmpsuite/html/bmpsuite.html");
    std::map<std::string, std::string> references;
    const std::regex row(R"(<td[^>]*>([gqb]/[^<]+\.bmp)</td>[\s\S]*?<img src="([^".][^"]*\.png)\")");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), row); it != std::sregex_iterator(); ++it)
        references[(*it)[1]] = (*it)[2];
    return references;
}

// ------------------------------------------------------------------ BMP

TEST(BmpSuiteTest, EveryGoodFileDecodesToItsReferenceRendering)
{
    REQUIRE_SUITE("bmpsuite");
    const auto references = BmpReferences();
    const auto files = FilesIn(SharedTestData() + "bmpsuite/g", ".bmp");
    ASSERT_EQ(files.size(), 27u);
    int compared = 0;
    for (const std::string& name : files) {
        SCOPED_TRACE(name);
        Picture picture;
        DecodeFile(SharedTestData() + "bmpsuite/g/" + name, &picture);
        ASSERT_EQ(picture.result, 0);
        EXPECT_STREQ(picture.decoder, "BMP");
        const auto found = references.find("g/" + name);
        ASSERT_NE(found, references.end());
        RgbaPicture reference;
        ASSERT_TRUE(ReadReferencePng(SharedTestData() + "bmpsuite/html/" + found->second, &reference));
        if (name == "pal8nonsquare.bmp")
            continue;  // the rendering is stretched to the pixel aspect
        EXPECT_TRUE(SamePixels(picture, reference, false));
        ++compared;
    }
    EXPECT_EQ(compared, 26);
}

TEST(BmpSuiteTest, QuestionableFilesDecodeOrRejectAndKnownOnesMatch)
{
    REQUIRE_SUITE("bmpsuite");
    const auto references = BmpReferences();
    // Files this reader decodes to the suite's first rendering.
    const std::vector<std::string> matching = {"pal8os2v2.bmp", "pal8os2v2-16.bmp", "pal8os2v2-40sz.bmp", "pal8os2v2-sz.bmp",
                                               "pal8os2-sz.bmp", "pal8os2-hs.bmp", "pal8oversizepal.bmp", "rgb16-231.bmp",
                                               "rgb16-3103.bmp", "rgb32-7187.bmp", "rgb32h52.bmp", "rgb24largepal.bmp",
                                               "pal8offs.bmp", "pal4rletrns.bmp", "pal8rletrns.bmp", "rgb16faketrns.bmp",
                                               "pal2.bmp", "pal2color.bmp", "pal1p1.bmp"};
    for (const std::string& name : FilesIn(SharedTestData() + "bmpsuite/q", ".bmp")) {
        SCOPED_TRACE(name);
        Picture picture;
        DecodeFile(SharedTestData() + "bmpsuite/q/" + name, &picture);
        if (std::find(matching.begin(), matching.end(), name) == matching.end())
            continue;
        ASSERT_EQ(picture.result, 0);
        RgbaPicture reference;
        // Skipped pixels of the RLE files keep index 0: the "-0" rendering.
        std::string rendering = references.at("q/" + name);
        if (name.find("rletrns") != std::string::npos)
            rendering = rendering.substr(0, rendering.size() - 4) + "-0.png";
        ASSERT_TRUE(ReadReferencePng(SharedTestData() + "bmpsuite/html/" + rendering, &reference));
        // The renderings of fields wider than 8 bits are the intended colours,
        // not one formula's: rounding lands within 1 of them.
        const bool wide = name == "rgb16-3103.bmp" || name == "rgb32-7187.bmp";
        EXPECT_TRUE(SamePixels(picture, reference, false, wide ? 1 : 0));
    }
}

TEST(BmpSuiteTest, BadFilesAreRejectedOrDecodedWithinBounds)
{
    REQUIRE_SUITE("bmpsuite");
    // Under the sanitizers a stray read or write fails the test by itself.
    for (const std::string& name : FilesIn(SharedTestData() + "bmpsuite/b", ".bmp")) {
        SCOPED_TRACE(name);
        Picture picture;
        DecodeFile(SharedTestData() + "bmpsuite/b/" + name, &picture);
        if (picture.result == 0) {
            EXPECT_STRNE(picture.decoder, nullptr);
        }
    }
    for (const char* name : {"reallybig.bmp", "badbitcount.bmp", "badheadersize.bmp", "shortfile.bmp"}) {
        SCOPED_TRACE(name);
        Picture picture;
        DecodeFile(SharedTestData() + "bmpsuite/b/" + name, &picture);
        EXPECT_NE(picture.result, 0);
    }
}

// A BMP of width x height with an 8-bit palette and the given pixel data.
std::vector<uint8_t> Bmp8(int width, int height, uint32_t compression, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out(54 + 1024);
    out[0] = 'B';
    out[1] = 'M';
    auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i)); };
    put32(2, uint32_t(out.size() + data.size()));
    put32(10, 54 + 1024);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    out[26] = 1;
    out[28] = 8;
    put32(30, compression);
    for (int i = 0; i < 256; ++i) {
        out[54 + 4 * i] = uint8_t(i);
        out[54 + 4 * i + 1] = uint8_t(255 - i);
        out[54 + 4 * i + 2] = uint8_t(i * 3);
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

TEST(BmpDecoderTest, RunLengthStreamsStayInsideThePicture)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        int result;
        std::vector<int> firstRow;  // indices of the top row (the file's last line) when checked
    };
    const std::vector<Case> cases = {
        {"run longer than the row", {200, 7, 0, 1}, 0, {}},
        {"delta far past the picture, then a run", {0, 2, 255, 255, 5, 9, 0, 1}, 0, {}},
        {"literal run longer than the data", {0, 200, 1, 2, 3}, 0, {}},
        {"end of line past the last line", {0, 0, 0, 0, 0, 0, 0, 0, 3, 1}, 0, {}},
        {"no end of picture", {2, 5}, 0, {}},
        {"odd literal run is padded", {0, 0, 0, 0, 0, 3, 1, 2, 3, 0, 2, 4, 0, 1}, 0, {1, 2, 3, 4, 4, 0}},
        {"delta then run", {0, 0, 0, 0, 0, 2, 2, 0, 2, 9, 0, 1}, 0, {0, 0, 9, 9, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Picture picture;
        ASSERT_EQ(DecodeBytes(Bmp8(6, 3, 1, c.data), &picture), c.result);
        for (size_t x = 0; x < c.firstRow.size(); ++x)
            EXPECT_EQ(picture.image.pixels[x], c.firstRow[x]) << x;
    }
}

// RLE4: a run alternates the two nibbles of its byte; a literal run of n
// indices takes (n + 1) / 2 bytes, padded to 16 bits.
TEST(BmpDecoderTest, FourBitRunLengthStreamsUseBothNibblesAndTheirPadding)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        std::vector<int> row;
    };
    const std::vector<Case> cases = {
        {"run alternates the nibbles", {5, 0x12, 0, 1}, {1, 2, 1, 2, 1, 0}},
        {"run longer than the row is cut", {200, 0x34, 0, 1}, {3, 4, 3, 4, 3, 4}},
        {"literal of 3 in two bytes", {0, 3, 0x12, 0x30, 1, 0x90, 0, 1}, {1, 2, 3, 9, 0, 0}},
        {"literal of 5 in three bytes and a pad", {0, 5, 0x12, 0x34, 0x50, 0xFF, 2, 0x77, 0, 1}, {1, 2, 3, 4, 5, 7}},
        {"literal past the row end is cut", {0, 8, 0x12, 0x34, 0x56, 0x78, 4, 0x99, 0, 1}, {1, 2, 3, 4, 5, 6}},
        {"delta then a run", {0, 2, 2, 0, 2, 0x55, 0, 1}, {0, 0, 5, 5, 0, 0}},
        {"literal longer than the data", {0, 200, 0x12}, {0, 0, 0, 0, 0, 0}},
        {"stream cut inside a pair", {3, 0xAB, 4}, {10, 11, 10, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = Bmp8(6, 1, 2, c.data);
        file[28] = 4;
        Picture picture;
        ASSERT_EQ(DecodeBytes(file, &picture), 0);
        ASSERT_EQ(picture.image.width, 6);
        for (size_t x = 0; x < c.row.size(); ++x)
            EXPECT_EQ(picture.image.pixels[x], c.row[x]) << x;
    }
    // A delta or an end of line past the last line ends the picture.
    std::vector<uint8_t> file = Bmp8(6, 2, 2, {0, 2, 0, 9, 3, 0x11, 0, 0, 0, 0, 3, 0x22, 0, 1});
    file[28] = 4;
    Picture picture;
    ASSERT_EQ(DecodeBytes(file, &picture), 0);
    for (int i = 0; i < 2 * picture.image.pitch; ++i)
        EXPECT_EQ(picture.image.pixels[i], 0) << i;
}

// The generated BMPs: 4-bit RLE with encoded and absolute runs, 8-bit
// top-down with a 20-entry palette, 16-bit 5-6-5 bit fields.
TEST(BmpDecoderTest, GeneratedFilesGiveTheSourcePixels)
{
    const struct {
        const char* name;
        Rgba (*pixel)(int, int);
    } cases[] = {
        {"bmp_pal4_rle.bmp", [](int x, int y) { return PaletteEntry(BmpIndex4(x, y)); }},
        {"bmp_pal8_topdown.bmp", [](int x, int y) { return PaletteEntry(MappedIndex(x, y)); }},
        {"bmp_rgb16_565.bmp",
         [](int x, int y) {
             const Rgba p = Pattern(x, y);
             return Rgba{Requantise(p.r, 5), Requantise(p.g, 6), Requantise(p.b, 5), 255};
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture;
        DecodeFile(ImageDataDir() + c.name, &picture);
        ASSERT_EQ(picture.result, 0);
        EXPECT_STREQ(picture.decoder, "BMP");
        EXPECT_TRUE(SamePixels(picture, FromFormula(KindWidth, KindHeight, c.pixel), false));
    }
}

TEST(BmpDecoderTest, HeadersThatClaimMoreThanTheFileHoldsAreRejected)
{
    // 24-bit, 4000 x 4000, but only a few bytes of pixels.
    std::vector<uint8_t> file = Bmp8(4000, 4000, 0, std::vector<uint8_t>(100, 1));
    file[28] = 24;
    Picture picture;
    EXPECT_EQ(DecodeBytes(file, &picture), -1);
    // A width whose row size overflows 32 bits.
    file = Bmp8(1, 1, 0, std::vector<uint8_t>(16, 1));
    file[18] = file[19] = file[20] = 0xFF;
    file[21] = 0x7F;
    EXPECT_EQ(DecodeBytes(file, &picture), -1);
}

// ------------------------------------------------------------------ PNG

TEST(PngSuiteTest, EveryFileDecodesToLibpngsPixelsInThePartsFormats)
{
    REQUIRE_SUITE("pngsuite");
    const auto files = FilesIn(SharedTestData() + "pngsuite", ".png");
    ASSERT_GE(files.size(), 35u);
    for (const std::string& name : files) {
        SCOPED_TRACE(name);
        Picture picture;
        DecodeFile(SharedTestData() + "pngsuite/" + name, &picture);
        ASSERT_EQ(picture.result, 0);
        EXPECT_STREQ(picture.decoder, "PNG");
        RgbaPicture reference;
        ASSERT_TRUE(ReadReferencePng(SharedTestData() + "pngsuite/" + name, &reference));
        const media::ColorFormat& f = picture.image.format;
        const std::string type = name.substr(name.find('n') + 1, 2);  // 0g, 2c, 3p, 4a, 6a
        const bool transparency = name.find("trns") != std::string::npos || name.rfind("ftbb", 0) == 0 ||
                                  name.rfind("ftbg", 0) == 0 || name.rfind("ftbr", 0) == 0 || name.rfind("ftbw", 0) == 0 ||
                                  name.rfind("ftby", 0) == 0 || name.rfind("ftp1", 0) == 0;
        const bool grey = type == "0g" || type == "4a";
        if (grey && (type == "4a" || transparency)) {
            EXPECT_EQ(f.bitDepth, 16);  // grey with alpha: the alpha is dropped
            EXPECT_EQ(f.noneMask, 0xFF00u);
            EXPECT_EQ(f.alphaMask, 0u);
        } else if (grey) {
            EXPECT_TRUE(f.usesPalette);
        } else if (type == "6a" || transparency) {
            EXPECT_EQ(f.alphaMask, 0xFF000000u);
        } else if (type == "3p") {
            EXPECT_TRUE(f.usesPalette);
        } else {
            EXPECT_EQ(f.bitDepth, 24);
        }
        EXPECT_TRUE(SamePixels(picture, reference, f.alphaMask != 0));
    }
}

// ------------------------------------------------------------------ TGA, BGRA, DDS fixtures

TEST(TgaDecoderTest, EveryTypeDepthOrientationAndFooterGivesTheSourcePixels)
{
    int checked = 0;
    for (const std::string& name : FilesIn(ImageDataDir(), ".tga")) {
        if (name.rfind("tga_", 0) != 0)
            continue;
        SCOPED_TRACE(name);
        Picture picture;
        DecodeFile(ImageDataDir() + name, &picture);
        ASSERT_EQ(picture.result, 0);
        EXPECT_STREQ(picture.decoder, "TGA");
        const int type = std::stoi(name.substr(5));
        const int bits = std::stoi(name.substr(name.find('_', 5) + 1));
        const bool mapped = type == 1 || type == 9;
        EXPECT_EQ(picture.image.format.bitDepth, bits);
        EXPECT_EQ(picture.image.format.alphaMask != 0, bits != 24);
        for (int y = 0; y < PatternHeight; ++y) {
            for (int x = 0; x < PatternWidth; ++x) {
                Rgba want = mapped ? PaletteEntry(MappedIndex(x, y)) : TgaPixel(x, y);
                if (bits == 16) {
                    want = {Requantise(want.r, 5), Requantise(want.g, 5), Requantise(want.b, 5),
                            uint8_t(want.a >= 128 ? 255 : 0)};
                } else if (bits == 24) {
                    want.a = 255;
                }
                const Rgba got = picture.At(x, y);
                ASSERT_TRUE(got.r == want.r && got.g == want.g && got.b == want.b && got.a == want.a)
                    << x << "," << y << " " << Describe(got) << " expected " << Describe(want);
            }
        }
        ++checked;
    }
    EXPECT_EQ(checked, 50);
}

TEST(TgaDecoderTest, ImageMagicksFilesGiveTheSourcePixels)
{
    // ImageMagick 6.9 keeps a picture's orientation as a tag: it writes the
    // rows top first yet flags them bottom-up, so by the format the picture
    // is the source upside down (ImageMagick shows it so with -auto-orient).
    const RgbaPicture source = FromFormula(PatternWidth, PatternHeight, [](int x, int y) { return Pattern(x, PatternHeight - 1 - y); });
    for (const char* name : {"im_rgba.tga", "im_rgba_rle.tga", "im_rgb.tga"}) {
        SCOPED_TRACE(name);
        Picture picture;
        DecodeFile(ImageDataDir() + name, &picture);
        ASSERT_EQ(picture.result, 0);
        EXPECT_STREQ(picture.decoder, "TGA");
        EXPECT_TRUE(SamePixels(picture, source, std::string(name) != "im_rgb.tga"));
    }
}

TEST(TgaDecoderTest, HeaderLimitsAndBrokenStreamsAreRejected)
{
    const std::vector<uint8_t> good = FileBytes(ImageDataDir() + "tga_t10_24_bottom.tga");
    struct Case {
        const char* what;
        size_t at;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"width 8193", 12, {0x01, 0x20}},
        {"height 8193", 14, {0x01, 0x20}},
        {"x origin", 8, {1, 0}},
        {"y origin", 10, {0, 1}},
        {"type 3", 2, {3}},
        {"15-bit pixels", 16, {15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = good;
        std::copy(c.bytes.begin(), c.bytes.end(), file.begin() + long(c.at));
        Picture picture;
        EXPECT_EQ(DecodeBytes(file, &picture), -1);
    }
}

// A TGA header of the given type, pixel bits and size, then data (no ID, no map).
std::vector<uint8_t> Tga(int type, int bits, int width, int height, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out(18);
    out[2] = uint8_t(type);
    out[12] = uint8_t(width);
    out[13] = uint8_t(width >> 8);
    out[14] = uint8_t(height);
    out[15] = uint8_t(height >> 8);
    out[16] = uint8_t(bits);
    out[17] = 0x20;  // top-down
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// 16-bit run-length data: runs of 128 pixels of one value, enough for pixels.
std::vector<uint8_t> Tga16Runs(int64_t pixels)
{
    std::vector<uint8_t> data;
    for (int64_t n = 0; n < pixels; n += 128)
        data.insert(data.end(), {0xFF, 0x1F, 0x00});  // 128 x blue
    return data;
}

TEST(TgaDecoderTest, SideLimitAndPixelBoundAreKeptAtTheirEdges)
{
    struct Case {
        const char* what;
        int type, width, height;
        int result;
    };
    const std::vector<Case> cases = {
        {"width 8192, raw", 2, 8192, 1, 0},
        {"width 8193, raw", 2, 8193, 1, -1},
        {"height 8192, raw", 2, 1, 8192, 0},
        {"height 8193, raw", 2, 1, 8193, -1},
        // 2^25 pixels in all is the bound; the side limit alone lets 2^26 through.
        {"8192 x 4096 runs (2^25 pixels)", 10, 8192, 4096, 0},
        {"8192 x 4097 runs", 10, 8192, 4097, -1},
        {"8192 x 8192 runs", 10, 8192, 8192, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int64_t pixels = int64_t(c.width) * c.height;
        std::vector<uint8_t> data;
        if (c.type == 10) {
            data = Tga16Runs(pixels);
        } else {
            for (int64_t n = 0; n < pixels; ++n)
                data.insert(data.end(), {0x1F, 0x00});  // blue
        }
        Picture picture;
        ASSERT_EQ(DecodeBytes(Tga(c.type, 16, c.width, c.height, data), &picture), c.result);
        if (c.result == 0) {
            EXPECT_STREQ(picture.decoder, "TGA");
            EXPECT_EQ(picture.image.width, c.width);
            EXPECT_EQ(picture.image.height, c.height);
            const Rgba last = picture.At(c.width - 1, c.height - 1);
            EXPECT_TRUE(last.r == 0 && last.g == 0 && last.b == 255) << Describe(last);
        }
    }
}

TEST(TgaDecoderTest, ColourMapIndicesPastTheMapReadBlack)
{
    std::vector<uint8_t> file = FileBytes(ImageDataDir() + "tga_t1_24_top.tga");
    // The pixels follow the 18-byte header, the 5-byte ID and 20 three-byte entries.
    file[18 + 5 + 60] = 250;
    Picture picture;
    ASSERT_EQ(DecodeBytes(file, &picture), 0);
    const Rgba c = picture.At(0, 0);
    EXPECT_EQ(c.r + c.g + c.b, 0);
}

TEST(TgaDecoderTest, ThirtyTwoBitAlphaIsKeptWithOrWithoutAttributeBits)
{
    // Netpbm's pamtotga writes 32-bit pictures with alpha but announces no
    // attribute bits; pictures whose fourth bytes are all 0 have none.
    struct Case {
        const char* what;
        int type;
        uint8_t descriptor;
        uint8_t alpha0, alpha1;
        bool hasAlpha;
    };
    const std::vector<Case> cases = {
        {"8 attribute bits", 2, 0x28, 5, 200, true},
        {"no attribute bits, alpha bytes set (pamtotga)", 2, 0x20, 5, 200, true},
        {"no attribute bits, run-length, alpha bytes set", 10, 0x20, 5, 200, true},
        {"no attribute bits, alpha bytes 0", 2, 0x20, 0, 0, false},
        {"no attribute bits, run-length, alpha bytes 0", 10, 0x20, 0, 0, false},
        {"colour map of 32-bit entries, no attribute bits", 1, 0x20, 7, 255, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<uint8_t> blue = {200, 10, 20, c.alpha0}, green = {30, 220, 40, c.alpha1};
        std::vector<uint8_t> data, file;
        if (c.type == 1) {
            file = Tga(1, 8, 2, 1, {0, 1});
            file[1] = 1;                      // a colour map of two 32-bit entries
            file[5] = 2;
            file[7] = 32;
            file[16] = 8;
            file.insert(file.begin() + 18, green.begin(), green.end());
            file.insert(file.begin() + 18, blue.begin(), blue.end());
        } else {
            if (c.type == 10)
                data.push_back(1);            // a literal packet of two pixels
            data.insert(data.end(), blue.begin(), blue.end());
            data.insert(data.end(), green.begin(), green.end());
            file = Tga(c.type, 32, 2, 1, data);
        }
        file[17] = c.descriptor;
        Picture picture;
        ASSERT_EQ(DecodeBytes(file, &picture), 0);
        EXPECT_STREQ(picture.decoder, "TGA");
        EXPECT_EQ(picture.image.format.alphaMask, c.hasAlpha ? 0xFF000000u : 0u);
        const Rgba a = picture.At(0, 0), b = picture.At(1, 0);
        EXPECT_TRUE(a.r == 20 && a.g == 10 && a.b == 200 && a.a == (c.hasAlpha ? c.alpha0 : 255)) << Describe(a);
        EXPECT_TRUE(b.r == 40 && b.g == 220 && b.b == 30 && b.a == (c.hasAlpha ? c.alpha1 : 255)) << Describe(b);
    }
}

TEST(BgraDecoderTest, BothChannelWidthsGiveTheSourcePixels)
{
    const RgbaPicture source = FromFormula(PatternWidth, PatternHeight, Pattern);
    for (const char* name : {"bgra8.bgra", "bgra16.bgra"}) {
        SCOPED_TRACE(name);
        Picture picture;
        DecodeFile(ImageDataDir() + name, &picture);
        ASSERT_EQ(picture.result, 0);
        EXPECT_STREQ(picture.decoder, "BGRA");
        EXPECT_EQ(picture.image.format.alphaMask, 0xFF000000u);
        EXPECT_EQ(picture.image.pitch, PatternWidth * 4);
        EXPECT_TRUE(SamePixels(picture, source, true));
    }
    std::vector<uint8_t> file = FileBytes(ImageDataDir() + "bgra8.bgra");
    file[4] = 0x09;  // another channel word
    Picture picture;
    EXPECT_EQ(DecodeBytes(file, &picture), -1);
}

TEST(DdsDecoderTest, DxtPicturesStayCompressedAndDecodeToTheirBlocks)
{
    for (int kind = 1; kind <= 5; ++kind) {
        for (const std::string size : {"10x6", "8x8"}) {
            const std::string name = "dxt" + std::to_string(kind) + "_" + size + (size == "10x6" ? "_mips" : "") + ".dds";
            SCOPED_TRACE(name);
            Picture picture;
            DecodeFile(ImageDataDir() + name, &picture);
            ASSERT_EQ(picture.result, 0);
            EXPECT_STREQ(picture.decoder, "DDS");
            EXPECT_EQ(picture.image.format.compressedKind, kind);
            EXPECT_EQ(picture.image.format.bitDepth, kind == 1 ? 4 : 8);
            EXPECT_EQ(picture.image.mipLevels, size == "10x6" ? 4 : 0);
            RgbaPicture expected;
            expected.width = std::stoi(size);
            expected.height = std::stoi(size.substr(size.find('x') + 1));
            const std::string bytes = ReadFile(ImageDataDir() + "dxt" + std::to_string(kind) + "_" + size + ".expected");
            expected.pixels.assign(bytes.begin(), bytes.end());
            EXPECT_TRUE(SamePixels(picture, expected, true));
        }
    }
}

TEST(DdsDecoderTest, MaskedPicturesUseTheHeadersPitchAndMasks)
{
    const struct {
        const char* name;
        int alphaBits, colourBits;
    } cases[] = {{"dds_a8r8g8b8.dds", 8, 8}, {"dds_a1r5g5b5.dds", 1, 5}, {"dds_a2b10g10r10.dds", 2, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture;
        DecodeFile(ImageDataDir() + c.name, &picture);
        ASSERT_EQ(picture.result, 0);
        RgbaPicture expected = FromFormula(PatternWidth, PatternHeight, Pattern);
        for (size_t i = 0; i < expected.pixels.size(); ++i)
            expected.pixels[i] = Requantise(expected.pixels[i], i % 4 == 3 ? c.alphaBits : c.colourBits);
        EXPECT_TRUE(SamePixels(picture, expected, true));
    }
}

TEST(DdsDecoderTest, RgbWithoutAlphaFlagShortDataAndLongMipChains)
{
    std::vector<uint8_t> masked = FileBytes(ImageDataDir() + "dds_a8r8g8b8.dds");
    Picture picture;
    masked[4 + 76] = 0x40;  // RGB without the alpha-pixels flag
    EXPECT_EQ(DecodeBytes(masked, &picture), -1);

    std::vector<uint8_t> dxt = FileBytes(ImageDataDir() + "dxt5_10x6_mips.dds");
    dxt[4 + 24] = 200;  // mip count far past the data: the levels that are there are kept
    ASSERT_EQ(DecodeBytes(dxt, &picture), 0);
    EXPECT_EQ(picture.image.mipLevels, 4);
    media::FreeBaseImage(&picture.image);

    dxt.resize(128 + 40);  // shorter than the first level
    EXPECT_EQ(DecodeBytes(dxt, &picture), -1);
}

// ------------------------------------------------------------------ JPEG and other tools' files

TEST(JpegDecoderTest, ColourGreyProgressiveAndCmykFilesComeCloseToTheSource)
{
    const RgbaPicture source = FromFormula(40, 24, Smooth);
    RgbaPicture grey = source;
    for (size_t i = 0; i < grey.pixels.size(); i += 4) {
        const int level = (grey.pixels[i] * 2126 + grey.pixels[i + 1] * 7152 + grey.pixels[i + 2] * 722 + 5000) / 10000;
        grey.pixels[i] = grey.pixels[i + 1] = grey.pixels[i + 2] = uint8_t(level);
    }
    const struct {
        const char* name;
        bool grey;
        int tolerance;
    } cases[] = {{"im_colour.jpg", false, 6}, {"im_progressive.jpg", false, 6}, {"im_cmyk.jpg", false, 10}, {"im_grey.jpg", true, 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Picture picture;
        DecodeFile(ImageDataDir() + c.name, &picture);
        ASSERT_EQ(picture.result, 0);
        EXPECT_STREQ(picture.decoder, "JPEG");
        EXPECT_EQ(picture.image.format.usesPalette, c.grey);
        EXPECT_EQ(picture.image.pitch, 40 * (c.grey ? 1 : 3));
        EXPECT_TRUE(SamePixels(picture, c.grey ? grey : source, false, c.tolerance));
    }
}

// A JPEG that ends early is kept (a departure, docs/IMAGES.md): the stream is
// ended with an EOI marker and what was decoded stays.
TEST(JpegDecoderTest, AStreamThatEndsEarlyIsKeptAtItsFullSize)
{
    const std::vector<uint8_t> whole = FileBytes(ImageDataDir() + "im_colour.jpg");
    size_t scan = 0;  // the start-of-scan marker
    for (size_t i = 0; i + 1 < whole.size() && !scan; ++i)
        if (whole[i] == 0xFF && whole[i + 1] == 0xDA)
            scan = i;
    ASSERT_GT(scan, 0u);
    ASSERT_EQ(whole[whole.size() - 2], 0xFF);
    ASSERT_EQ(whole[whole.size() - 1], 0xD9);
    const RgbaPicture source = FromFormula(40, 24, Smooth);
    const struct {
        const char* what;
        size_t size;
    } cases[] = {{"without its end marker", whole.size() - 2}, {"cut inside the scan", scan + 40}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Picture picture;
        ASSERT_EQ(DecodeBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + long(c.size)), &picture), 0);
        EXPECT_STREQ(picture.decoder, "JPEG");
        EXPECT_EQ(picture.image.width, 40);
        EXPECT_EQ(picture.image.height, 24);
        if (c.size == whole.size() - 2) {
            EXPECT_TRUE(SamePixels(picture, source, false, 6));
        }
    }
    // Cut before the scan: no picture.
    Picture header;
    EXPECT_EQ(DecodeBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + long(scan)), &header), -1);
}

TEST(DdsDecoderTest, ImageMagicksDxtFilesComeCloseToTheSource)
{
    const RgbaPicture source = FromFormula(40, 24, Smooth);
    for (const char* name : {"im_dxt1.dds", "im_dxt5.dds"}) {
        SCOPED_TRACE(name);
        Picture picture;
        DecodeFile(ImageDataDir() + name, &picture);
        ASSERT_EQ(picture.result, 0);
        EXPECT_TRUE(SamePixels(picture, source, true, 24));  // DXT keeps two colours a block
    }
}

// ------------------------------------------------------------------ the chain and hostile data

TEST(DecoderChainTest, APngIsRejectedByBmpAndJpegFirst)
{
    const std::vector<uint8_t> png = FileBytes(ImageDataDir() + "png_rgb.png");
    for (auto decoder : {media::DecodeBmp, media::DecodeJpeg}) {
        media::MemoryStream stream{png.data(), png.size()};
        media::BaseImage image;
        EXPECT_EQ(decoder(media::MemoryImageReader(&stream), &image), -1);
        EXPECT_EQ(image.pixels, nullptr);
    }
    Picture picture;
    ASSERT_EQ(DecodeBytes(png, &picture), 0);
    EXPECT_STREQ(picture.decoder, "PNG");
}

uint32_t Crc32(const uint8_t* data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

// A chunk of the given type: its declared length, the data given (which may
// be shorter than declared) and, when the data is whole, its CRC.
std::vector<uint8_t> PngChunk(const char* type, uint32_t declared, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> chunk = {uint8_t(declared >> 24), uint8_t(declared >> 16), uint8_t(declared >> 8),
                                  uint8_t(declared)};
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    if (declared == data.size()) {
        const uint32_t crc = Crc32(chunk.data() + 4, chunk.size() - 4);
        chunk.insert(chunk.end(), {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
    }
    return chunk;
}

// Only the chunks that make the picture are read. A text or profile chunk
// that declares 2 GB once made libpng allocate its declared length before
// reading a byte of it; whole ones are skipped and change nothing.
TEST(PngDecoderTest, OtherChunksAreSkippedWithoutTakingTheirDeclaredLength)
{
    const std::vector<uint8_t> file = FileBytes(ImageDataDir() + "png_rgb.png");
    ASSERT_GT(file.size(), 33u);
    Picture reference;
    ASSERT_EQ(DecodeBytes(file, &reference), 0);
    const std::vector<uint8_t> text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'h', 'i'};
    for (const char* type : {"tEXt", "zTXt", "iTXt", "iCCP", "sPLT", "eXIf", "pCAL", "sCAL", "vpAg"}) {
        SCOPED_TRACE(type);
        // After IHDR (8 bytes of signature, 25 of IHDR).
        std::vector<uint8_t> whole(file.begin(), file.begin() + 33);
        const std::vector<uint8_t> chunk = PngChunk(type, uint32_t(text.size()), text);
        whole.insert(whole.end(), chunk.begin(), chunk.end());
        whole.insert(whole.end(), file.begin() + 33, file.end());
        Picture picture;
        ASSERT_EQ(DecodeBytes(whole, &picture), 0);
        ASSERT_EQ(picture.image.width, reference.image.width);
        ASSERT_EQ(picture.image.height, reference.image.height);
        for (int y = 0; y < reference.image.height; ++y)
            for (int x = 0; x < reference.image.width; ++x)
            {
                const media::Rgba a = picture.At(x, y), b = reference.At(x, y);
                ASSERT_TRUE(a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a) << x << "," << y;
            }

        std::vector<uint8_t> huge(file.begin(), file.begin() + 33);
        const std::vector<uint8_t> claim = PngChunk(type, 0x7FFFFF00u, text);
        huge.insert(huge.end(), claim.begin(), claim.end());
        media::TakeLargestPngAllocation();
        Picture refused;
        EXPECT_EQ(DecodeBytes(huge, &refused), -1);
        EXPECT_LT(media::TakeLargestPngAllocation(), size_t(1) << 20);
    }
}

TEST(DecoderChainTest, EveryPrefixOfEveryKindOfFileDecodesOrRejectsCleanly)
{
    const std::vector<std::string> files = {
        ImageDataDir() + "tga_t9_16_top_footer.tga", ImageDataDir() + "tga_t10_32_bottom.tga",
        ImageDataDir() + "dxt1_10x6_mips.dds", ImageDataDir() + "dds_a1r5g5b5.dds", ImageDataDir() + "bgra16.bgra",
        ImageDataDir() + "im_progressive.jpg", ImageDataDir() + "png_palette_trns.png",
        ImageDataDir() + "bmp_pal4_rle.bmp", ImageDataDir() + "bmp_rgb16_565.bmp"};
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const std::vector<uint8_t> bytes = FileBytes(path);
        ASSERT_FALSE(bytes.empty());
        for (size_t length = 0; length < bytes.size(); length += 1 + length / 64) {
            const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + long(length));
            Picture picture;
            if (DecodeBytes(prefix, &picture) == 0) {
                // Whatever was accepted can be read in full.
                for (int y = 0; y < picture.image.height; ++y)
                    for (int x = 0; x < picture.image.width; ++x)
                        picture.At(x, y);
            }
        }
    }
}

}  // namespace

namespace {

// Every kind of picture into every screen format: each stored pixel is the
// picture's pixel as WritePixel stores it (channels keep their high bits).
TEST(PictureConversionTest, StoredPixelsAreThePicturesPixelsInTheScreenFormat)
{
    using media::StandardFormat;
    const char* files[] = {"bgra8.bgra", "tga_t2_24_top.tga", "tga_t2_32_top.tga", "tga_t2_16_top.tga",
                           "dxt3_10x6_mips.dds", "dds_a2b10g10r10.dds", "im_grey.jpg"};
    for (const char* file : files) {
        Picture picture;
        DecodeFile(ImageDataDir() + file, &picture);
        ASSERT_EQ(picture.result, 0) << file;
        for (StandardFormat id : {StandardFormat::R5G6B5, StandardFormat::R5G6B5A8, StandardFormat::X8R8G8B8,
                                  StandardFormat::A8R8G8B8, StandardFormat::X1R5G5B5}) {
            SCOPED_TRACE(std::string(file) + " format " + std::to_string(int(id)));
            const media::ColorFormat& format = media::GetStandardFormat(id);
            const int w = picture.image.width, h = picture.image.height;
            std::vector<uint8_t> pixels(size_t(w) * h * 4, 0xCD);
            media::PixelRegion region{pixels.data(), w, h, w * 4, &format};
            media::FillRegionFromPicture(region, picture.image, nullptr, 0, 0);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    media::Rgba want = picture.At(x, y);
                    if (!format.alphaMask)
                        want.a = 255;
                    uint8_t expected[4] = {};
                    media::WritePixel(format, expected, want);
                    ASSERT_EQ(std::memcmp(region.At(x, y), expected, size_t(format.bytesPerPixel)), 0) << x << "," << y;
                }
        }
    }
}

}  // namespace
