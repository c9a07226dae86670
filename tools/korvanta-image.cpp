// korvanta-image: shows how the program sees a picture file. Loads INPUT
// with the program's own LoadImageToHandle (headless desktop, software
// path, screen depth 16 unless --depth 32) and writes the stored image as an
// 8-bit RGBA PNG. The log goes to a private temporary folder and the
// headless desktop is this process's own, so copies run side by side and
// never touch ./Log.txt.
#include <png.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/version.h"
#include "media/graphics/screen.h"
#include "media/image/image_load.h"
#include "media/log/log.h"
#include "media/platform/platform.h"
#include "media/system/lifecycle.h"
#include "media/core/system_state.h"
#include "media/system/window.h"

namespace {

const char* const Usage =
    "Usage: korvanta-image [--depth 16|32] [--info] INPUT OUTPUT.png\n"
    "   or: korvanta-image --help | --version\n"
    "Loads INPUT (BMP, JPEG, PNG, raw BGRA, TGA or DDS) the way the program does and\n"
    "writes the image it stores as an 8-bit RGBA PNG (alpha 255 where it has none).\n"
    "  --depth 16|32  screen depth the image is stored for (default 16, as the program runs)\n"
    "  --info         also print the decoder, size, picture format and alpha\n"
    "  --help         this text\n"
    "  --version      the version (and the commit it was built from)\n"
    "Exit status: 0 written, 1 the picture could not be loaded or written, 2 bad arguments.\n";

struct Options {
    int depth = 16;
    bool info = false;
    std::string input, output;
};

// 0: run; 1: --help or --version shown; 2: bad arguments.
int ParseArguments(int argc, char** argv, Options* options)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 1;
        }
        if (arg == "--version") {
            std::fputs(VersionText("korvanta-image").c_str(), stdout);
            return 1;
        }
        if (arg == "--info") {
            options->info = true;
        } else if (arg == "--depth" || arg.rfind("--depth=", 0) == 0) {
            std::string value;
            if (arg == "--depth") {
                if (++i >= argc)
                    return 2;
                value = argv[i];
            } else {
                value = arg.substr(8);
            }
            if (value != "16" && value != "32")
                return 2;
            options->depth = std::atoi(value.c_str());
        } else if (arg == "--") {
            for (++i; i < argc; ++i)
                files.push_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2 || files[0].empty() || files[1].empty())
        return 2;
    options->input = files[0];
    options->output = files[1];
    return 0;
}

// 8 bits from a field of width bits: bit replication.
uint8_t Replicate(uint32_t value, int width)
{
    if (width <= 0)
        return 0;
    if (width >= 8)
        return uint8_t(value >> (width - 8));
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << width) | value;
        filled += width;
    }
    return uint8_t(out >> (filled - 8));
}

uint8_t Field(uint32_t word, uint32_t mask, int location, int width)
{
    return Replicate((word & mask) >> location, width);
}

bool WriteRgbaPng(const std::string& path, const media::PixelRegion& region, bool hasAlpha, std::string* error)
{
    const media::ColorFormat& f = *region.format;
    std::vector<uint8_t> rgba(size_t(region.width) * region.height * 4);
    for (int y = 0; y < region.height; ++y) {
        for (int x = 0; x < region.width; ++x) {
            const uint32_t word = media::LoadPixelWord(region.At(x, y), f.bytesPerPixel);
            uint8_t* out = &rgba[(size_t(y) * region.width + x) * 4];
            out[0] = Field(word, f.redMask, f.redLocation, f.redWidth);
            out[1] = Field(word, f.greenMask, f.greenLocation, f.greenWidth);
            out[2] = Field(word, f.blueMask, f.blueLocation, f.blueWidth);
            out[3] = hasAlpha && f.alphaWidth ? Field(word, f.alphaMask, f.alphaLocation, f.alphaWidth) : 255;
        }
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(region.width);
    image.height = png_uint_32(region.height);
    image.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr)) {
        *error = image.message;
        return false;
    }
    return true;
}

std::string FormatText(const media::ColorFormat& f)
{
    char text[160];
    if (f.compressedKind) {
        std::snprintf(text, sizeof text, "DXT%d (compressed, alpha 0xFF000000)", f.compressedKind);
    } else if (f.usesPalette) {
        std::snprintf(text, sizeof text, "8-bit palette");
    } else {
        std::snprintf(text, sizeof text, "%d-bit, masks red 0x%X green 0x%X blue 0x%X alpha 0x%X", f.bitDepth,
                      f.redMask, f.greenMask, f.blueMask, f.alphaMask);
    }
    return text;
}

// The log lines written since offset, in UTF-8, without timestamps.
std::string LogSince(const std::string& path, long offset)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return "";
    std::string text;
    if (std::fseek(file, offset, SEEK_SET) == 0) {
        char buffer[4096];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            text.append(buffer, got);
    }
    std::fclose(file);
    std::string lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const size_t colon = line.find(':');
        if (colon != std::string::npos && line.find_first_not_of("-0123456789") == colon)
            line = line.substr(colon + 1);
        const size_t first = line.find_first_not_of('\t');
        if (first != std::string::npos)
            lines += media::platform::ShiftJisToUtf8(line.substr(first)) + "\n";
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    return lines;
}

long FileSizeOf(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return 0;
    std::fseek(file, 0, SEEK_END);
    const long size = std::ftell(file);
    std::fclose(file);
    return size < 0 ? 0 : size;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    const int parsed = ParseArguments(argc, argv, &options);
    if (parsed == 1)
        return 0;
    if (parsed == 2) {
        std::fputs(Usage, stderr);
        return 2;
    }

    char here[PATH_MAX];
    char folderPattern[] = "/tmp/korvanta-image-XXXXXX";
    const char* folder = mkdtemp(folderPattern);
    if (!getcwd(here, sizeof here) || !folder) {
        std::fprintf(stderr, "korvanta-image: no temporary folder: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string logFolder = folder;
    const std::string logPath = logFolder + "/Log.txt";
    auto cleanUp = [&] {
        unlink(logPath.c_str());
        rmdir(logFolder.c_str());
    };

    media::platform::HeadlessOptions headless;
    headless.desktopId = "korvanta-image-" + std::to_string(getpid());
    std::string error;
    if (!media::platform::SelectHeadlessBackend(headless, &error)) {
        std::fprintf(stderr, "korvanta-image: %s\n", error.c_str());
        cleanUp();
        return 1;
    }
    // The media layer puts its log in the working folder at start-up: start
    // in the private folder, then come back so INPUT reads as given.
    media::SetScreenMode(640, 480, options.depth, 0);
    media::ChangeWindowMode(1);
    if (chdir(logFolder.c_str()) != 0 || media::InitMediaLibrary() != 0 || chdir(here) != 0) {
        std::fprintf(stderr, "korvanta-image: the media layer did not start\n%s", LogSince(logPath, 0).c_str());
        media::EndMediaLibrary();
        cleanUp();
        return 1;
    }

    // INPUT is a native (UTF-8) name; the media layer takes Shift-JIS program
    // paths and reads each under its UTF-8 name first, so the name comes back
    // as given, its "_a" picture is found by the Shift-JIS rules and the log's
    // lines name it readably. A name with no Shift-JIS form goes as it is.
    std::string programPath;
    if (!media::platform::Utf8ToShiftJis(options.input, &programPath))
        programPath = options.input;
    const long logBefore = FileSizeOf(logPath);
    const media::ImageHandle image = media::LoadImageToHandle(programPath.c_str(), 0);
    int status = 0;
    if (image < 0) {
        std::string reason = LogSince(logPath, logBefore);
        if (reason.empty())
            reason = "no decoder accepted the file\n";
        std::fprintf(stderr, "korvanta-image: %s: cannot load\n%s", options.input.c_str(), reason.c_str());
        status = 1;
    } else {
        media::PixelRegion region;
        const media::ImageEntry* entry = media::FindImage(image);
        const bool hasAlpha = entry && entry->body && entry->body->hasAlpha;
        if (options.info) {
            const media::ImageLoadReport& report = media::LastImageLoadReport();
            std::printf("decoder: %s\nsize: %d x %d\nformat: %s\nalpha: %s\nalpha picture: %s\nstored depth: %d\n",
                        report.decoder ? report.decoder : "?", report.width, report.height,
                        FormatText(report.format).c_str(), hasAlpha ? "yes" : "no",
                        report.alphaPicture ? "yes" : "no", options.depth);
        }
        if (!media::GetImagePixels(image, &region) || !WriteRgbaPng(options.output, region, hasAlpha, &error)) {
            std::fprintf(stderr, "korvanta-image: cannot write %s: %s\n", options.output.c_str(), error.c_str());
            status = 1;
        }
    }
    media::EndMediaLibrary();
    media::platform::CloseBackend();
    cleanUp();
    return status;
}
