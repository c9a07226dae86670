#include "media/image/image_decode.h"

#include <cstring>

#include "media/files/stream.h"
#include "media/core/memory.h"

namespace media {

bool PictureSizeAllowed(int64_t width, int64_t height)
{
    return width > 0 && height > 0 && width <= MaxPictureSide && height <= MaxPictureSide &&
           width * height <= MaxPicturePixels;
}

bool AllocateBasePixels(BaseImage* image, int64_t bytes, bool zeroed)
{
    if (bytes <= 0 || bytes > MaxPictureBytes)
        return false;
    void* memory = zeroed ? MemAllocZeroed(int32_t(bytes), "", 0) : MemAlloc(int32_t(bytes), "", 0);
    if (!memory)
        return false;
    image->pixels = static_cast<uint8_t*>(memory);
    image->dataSize = bytes;
    return true;
}

void FreeBaseImage(BaseImage* image)
{
    if (image->pixels)
        MemFree(image->pixels);
    *image = BaseImage{};
}

ColorFormat FullColourFormat()
{
    return MakeColorFormat(24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
}

ColorFormat ArgbFormat()
{
    return MakeColorFormat(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
}

ColorFormat PaletteFormat()
{
    return MakePaletteVariant(MakeColorFormat(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0));
}

ColorFormat GreyFormat()
{
    ColorFormat format = PaletteFormat();
    for (int i = 0; i < 256; ++i) {
        format.palette[i][0] = format.palette[i][1] = format.palette[i][2] = uint8_t(i);
        format.palette[i][3] = 0;
    }
    return format;
}

long long ImageReader::Size() const
{
    const long long here = Tell();
    if (here < 0 || !Seek(0, 2))
        return -1;
    const long long size = Tell();
    Seek(here, 0);
    return size;
}

// ---------------------------------------------------------------- file reader

namespace {

long long FileTell(void* s) { return StreamTell(reinterpret_cast<StreamHandle>(s)); }
int FileSeek(void* s, long long offset, int origin) { return StreamSeek(reinterpret_cast<StreamHandle>(s), offset, origin); }
size_t FileReadElements(void* buffer, size_t size, size_t count, void* s)
{
    return StreamRead(buffer, size, count, reinterpret_cast<StreamHandle>(s));
}
int FileEof(void* s) { return StreamEof(reinterpret_cast<StreamHandle>(s)); }

long long MemoryTell(void* s) { return (long long)static_cast<MemoryStream*>(s)->position; }
int MemorySeek(void* s, long long offset, int origin)
{
    MemoryStream* m = static_cast<MemoryStream*>(s);
    long long base = origin == 0 ? 0 : origin == 1 ? (long long)m->position : origin == 2 ? (long long)m->size : -1;
    if (base < 0 || (offset < 0 && base + offset < 0) || (offset > 0 && offset > (1LL << 62)))
        return -1;
    m->position = size_t(base + offset);
    m->atEnd = false;
    return 0;
}
size_t MemoryRead(void* buffer, size_t size, size_t count, void* s)
{
    MemoryStream* m = static_cast<MemoryStream*>(s);
    if (size == 0 || count == 0)
        return 0;
    const size_t left = m->position < m->size ? m->size - m->position : 0;
    size_t elements = left / size < count ? left / size : count;
    size_t bytes = elements * size;
    if (elements < count) {
        bytes = left;  // a partial element is consumed, as a file read does
        m->atEnd = true;
    }
    if (bytes)
        std::memcpy(buffer, m->data + m->position, bytes);
    m->position += bytes;
    return elements;
}
int MemoryEof(void* s) { return static_cast<MemoryStream*>(s)->atEnd ? 1 : 0; }

}  // namespace

ImageReader FileImageReader(uintptr_t streamHandle)
{
    ImageReader reader;
    reader.stream = reinterpret_cast<void*>(streamHandle);
    reader.tell = FileTell;
    reader.seek = FileSeek;
    reader.read = FileReadElements;
    reader.eof = FileEof;
    return reader;
}

ImageReader MemoryImageReader(MemoryStream* stream)
{
    ImageReader reader;
    reader.stream = stream;
    reader.tell = MemoryTell;
    reader.seek = MemorySeek;
    reader.read = MemoryRead;
    reader.eof = MemoryEof;
    return reader;
}

// ---------------------------------------------------------------- decoder chain

const NamedDecoder* ImageDecoders(int* count)
{
    static const NamedDecoder decoders[] = {
        {"BMP", DecodeBmp}, {"JPEG", DecodeJpeg}, {"PNG", DecodePng},
        {"BGRA", DecodeRawBgra}, {"TGA", DecodeTga}, {"DDS", DecodeDds},
    };
    *count = int(sizeof decoders / sizeof decoders[0]);
    return decoders;
}

int DecodeImage(const ImageReader& reader, BaseImage* image, const char** acceptedBy)
{
    int count = 0;
    const NamedDecoder* decoders = ImageDecoders(&count);
    for (int i = 0; i < count; ++i) {
        if (!reader.Seek(0, 0))
            return -1;
        FreeBaseImage(image);
        if (decoders[i].decode(reader, image) == 0) {
            if (acceptedBy)
                *acceptedBy = decoders[i].name;
            return 0;
        }
        FreeBaseImage(image);  // a rejecting decoder leaves nothing behind
    }
    return -1;
}

}  // namespace media
