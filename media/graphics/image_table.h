// Image handles: the table of 32768 slots, the per-handle ImageEntry and the
// shared, reference-counted ImageBody that holds the pixels.
//
// Several entries may show parts of one body (DeriveImage); the body goes
// when its last entry goes. On this platform every body is a MEMIMG in the
// screen-depth format (see ImageColorFormat).
#pragma once

#include <cstdint>

#include "media/graphics/handle.h"
#include "media/graphics/mem_image.h"

namespace media {

using ImageHandle = int32_t;

constexpr int32_t ImageSlotCount = 32768;

struct GlImageTextures;

struct ImageBody {
    int32_t refCount = 0;
    bool textureBased = false;  // made on the hardware path: drawn from `textures`
    bool hasAlpha = false;
    bool drawable = false;      // always set on the software path; on the hardware path for draw targets
    bool alphaTest = false;
    int8_t dxtKind = 0;         // 1..5: made from a DXT1..DXT5 picture (hardware path: its texture row)
    int32_t bitDepth = 0;
    uint32_t transColor = 0;    // 0x00RRGGBB, copied from the drawing state when the body is made
    int32_t width = 0, height = 0;
    // The pixels in memory: on the hardware path the copy the textures are
    // filled from (loaders and the text layer write it).
    MEMIMG image;
    GlImageTextures* textures = nullptr;  // hardware path (gl_image.h); null while the device is away
};

// Where a loaded image came from, shared by the entries cut from one file.
// One memory block: the record followed by the path's bytes.
struct ImageFileRecord {
    int32_t refCount = 0;
    char* path = nullptr;       // absolute path of the picture
    char* alphaPath = nullptr;  // absolute path of the "_a" picture merged at load; null when none was
};
// One block holding both paths; alphaPath may be null.
ImageFileRecord* MakeImageFileRecord(const char* path, const char* alphaPath = nullptr);
void RetainImageFileRecord(ImageFileRecord* record);
void ReleaseImageFileRecord(ImageFileRecord* record);

struct ImageEntry {
    int32_t check = 0;
    ImageHandle handle = 0;
    uint64_t serial = 0;  // never repeats: tells this entry from later ones under the same handle
    int32_t* lostFlag = nullptr;  // caller-owned; set to 1 when the image is deleted
    ImageBody* body = nullptr;
    int32_t movieHandle = -1;     // no movie layer in this system: always -1
    ImageFileRecord* fileName = nullptr;
    int32_t offsetX = 0, offsetY = 0;  // position of this image inside its body
    int32_t width = 0, height = 0;
};

// A new empty entry. The 32769th live image ends the program.
ImageHandle NewImageHandle();
// The entry of a valid image handle, else null.
ImageEntry* FindImage(ImageHandle handle);
int DeleteImage(ImageHandle handle);
int DeleteAllImages();  // nothing when the graphics have not started
void SetImageLostFlag(ImageHandle handle, int32_t* flag);

// An image the media layer keeps for itself (glyph caches, the text's
// temporary images). Check numbers wrap after 2,048 new images, so once such
// an image is deleted its handle may come back on someone else's; the entry's
// serial tells them apart.
struct HeldImage {
    ImageHandle handle = -1;
    uint64_t serial = 0;
};
HeldImage HoldImage(ImageHandle handle);  // an empty hold for an invalid handle
// The handle while it still names the held image, else -1.
ImageHandle HeldImageHandle(const HeldImage& held);

// The entry in a slot, or null (walks over the table, such as reloading).
ImageEntry* ImageEntryAtSlot(int32_t slot);

// Live entries and one past the highest occupied slot.
int32_t ImageCount();
int32_t ImageHighWaterMark();
// StartGraphics: release whatever is left in the table and start it empty.
void ResetImageTable();
// The next check number handed out (0..2047). Setting it is for tests that
// must see the table's first handle, whatever ran before them.
int32_t NextImageCheckNumber();
void SetNextImageCheckNumber(int32_t check);

// The MEMIMG format of software images for the current screen depth: a 16-bit
// screen uses R5G6B5 (with alpha: R5G6B5 + 8-bit alpha in one 32-bit word),
// any other X8R8G8B8 (with alpha: A8R8G8B8).
const ColorFormat& ImageColorFormat(bool hasAlpha);

// An image of the given size with zeroed pixels (black; fully transparent when
// it has alpha). Needs the started graphics. Returns the handle or -1.
// drawable asks for an image that can be a draw target; every software image
// can be one. memoryShort (when given) is set when the memory copy (the
// software image, or the hardware path's original data) could not be made.
ImageHandle MakeEmptyImage(int32_t width, int32_t height, bool hasAlpha, bool drawable, bool* memoryShort = nullptr);
// A 16-bit image with a narrow alpha channel, the format of a glyph cache
// texture: A1R5G5B5 (alphaBits 1) or A4R4G4B4 (alphaBits 4). Its memory copy
// has that format too. -1 for other alpha widths or when it cannot be made.
ImageHandle MakeGlyphCacheImage(int32_t width, int32_t height, int alphaBits);
// Makes MakeGlyphCacheImage fail, as when the device has no room left for
// the texture (tests).
void SimulateGlyphCacheImageFailure(bool fail);
// The memory copy of an image was written through GetImagePixels (loaders,
// the text layer): on the hardware path its textures are filled again from
// it. rect: left, top, right, bottom inside the entry; null = all of it.
// False when the textures could not take the pixels (logged).
bool ImagePixelsChanged(ImageHandle handle, const int32_t* rect = nullptr);
// Copies the region into the image with its top-left pixel at (x, y) of the
// entry, converted to the image's format and cut to the image, then
// refreshes the image's textures. 0, or -1 for an invalid handle.
int UpdateImagePixels(ImageHandle handle, int32_t x, int32_t y, const PixelRegion& source);
// A new handle showing the part (x, y, width, height) of the source image and
// sharing its body; width and height are cut back to what lies inside it.
ImageHandle DeriveImage(int32_t x, int32_t y, int32_t width, int32_t height, ImageHandle source);
// The pixels of a valid image (its part of the body), for writers such as the
// image loader and the glyph cache.
bool GetImagePixels(ImageHandle handle, PixelRegion* region);

}  // namespace media
