// The decoded picture (base image), the reader the decoders see the file
// through, and the decoder list.
#pragma once

#include <cstddef>
#include <cstdint>

#include "media/graphics/color_format.h"

namespace media {

// Bounds every decoder keeps, whatever a header claims: a picture is at most
// MaxPictureSide pixels on a side and MaxPicturePixels in all, and a decoder
// allocates for uncompressed pixel data only a fixed multiple of what the
// file holds (narrow pixels and map indices widen when stored; run-length and
// compressed streams stay under the pixel bound alone).
constexpr int32_t MaxPictureSide = 32768;
constexpr int64_t MaxPicturePixels = int64_t(1) << 25;
constexpr int64_t MaxPictureBytes = int64_t(1) << 28;

// A decoded picture: top-down rows in format, owned here (memory manager).
struct BaseImage {
    ColorFormat format;
    int32_t width = 0, height = 0;
    int32_t pitch = 0;          // bytes per row (for DXT: per row of 4x4 blocks)
    uint8_t* pixels = nullptr;  // first level, then the further mip levels
    int64_t dataSize = 0;       // bytes at pixels, all levels together
    int32_t mipLevels = 0;      // DDS only; 0 otherwise
};

// True when width x height passes the size bounds above.
bool PictureSizeAllowed(int64_t width, int64_t height);
// Allocates pixels for the picture (zeroed when asked: decoders that may
// leave pixels unwritten); false (nothing allocated) when bytes is not
// positive or exceeds MaxPictureBytes or the memory is not there.
bool AllocateBasePixels(BaseImage* image, int64_t bytes, bool zeroed = true);
void FreeBaseImage(BaseImage* image);
// The picture formats the decoders produce.
ColorFormat FullColourFormat();                 // 24-bit B, G, R bytes
ColorFormat ArgbFormat();                       // 32-bit B, G, R, A bytes
ColorFormat PaletteFormat();                    // 8-bit indices; entries B, G, R, 0 (all black)
ColorFormat GreyFormat();                       // palette with entry i = (i, i, i)

// What a decoder reads through: a stream plus its operations. seek origins:
// 0 start, 1 current, 2 end; read returns whole elements read.
struct ImageReader {
    void* stream = nullptr;
    long long (*tell)(void* stream) = nullptr;
    int (*seek)(void* stream, long long offset, int origin) = nullptr;
    size_t (*read)(void* buffer, size_t elementSize, size_t count, void* stream) = nullptr;
    int (*eof)(void* stream) = nullptr;

    long long Tell() const { return tell(stream); }
    bool Seek(long long offset, int origin) const { return seek(stream, offset, origin) == 0; }
    // Reads exactly size bytes; false when fewer are there.
    bool ReadExact(void* buffer, size_t size) const { return size == 0 || read(buffer, size, 1, stream) == 1; }
    size_t ReadSome(void* buffer, size_t size) const { return read(buffer, 1, size, stream); }
    // Size of the stream (leaves the position where it was); -1 on failure.
    long long Size() const;
};

// A reader over the file layer's stream handle.
ImageReader FileImageReader(uintptr_t streamHandle);

// A reader over bytes in memory (tests and fuzzing). The MemoryStream must
// outlive the reader.
struct MemoryStream {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;
    bool atEnd = false;
};
ImageReader MemoryImageReader(MemoryStream* stream);

// Decoders: 0 accepted (image filled), -1 rejected (image left empty).
using ImageDecoder = int (*)(const ImageReader& reader, BaseImage* image);
int DecodeBmp(const ImageReader& reader, BaseImage* image);
int DecodeJpeg(const ImageReader& reader, BaseImage* image);
int DecodePng(const ImageReader& reader, BaseImage* image);
// The largest single allocation libpng asked for since the last call (for tests).
size_t TakeLargestPngAllocation();
int DecodeRawBgra(const ImageReader& reader, BaseImage* image);
int DecodeTga(const ImageReader& reader, BaseImage* image);
int DecodeDds(const ImageReader& reader, BaseImage* image);

// The decoder list in its order, with names for reports.
struct NamedDecoder {
    const char* name;
    ImageDecoder decode;
};
const NamedDecoder* ImageDecoders(int* count);

// Runs the decoders in order, rewinding the reader before each; returns 0
// and fills image from the first that accepts, else -1. acceptedBy (when
// given) receives the decoder's name.
int DecodeImage(const ImageReader& reader, BaseImage* image, const char** acceptedBy = nullptr);

// Little-endian fields of headers.
inline uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

}  // namespace media
