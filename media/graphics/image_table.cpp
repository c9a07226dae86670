#include "media/graphics/image_table.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "media/graphics/draw.h"
#include "media/graphics/gl_image.h"
#include "media/graphics/screen.h"
#include "media/core/roof_calls.h"
#include "media/core/memory.h"

namespace media {

namespace {

ImageEntry* slots[ImageSlotCount] = {};
int32_t liveCount = 0;
int32_t highWaterMark = 0;
int32_t checkCounter = 0;
uint64_t serialCounter = 0;  // kept across graphics restarts, as held images may be

ImageBody* NewBody(int32_t width, int32_t height, bool hasAlpha, const ColorFormat& format)
{
    void* memory = MemAllocZeroed(sizeof(ImageBody), "", 0);
    if (!memory)
        return nullptr;
    ImageBody* body = new (memory) ImageBody;
    if (!CreateMemImage(&body->image, width, height, format)) {
        body->~ImageBody();
        MemFree(memory);
        return nullptr;
    }
    body->refCount = 1;
    body->hasAlpha = hasAlpha;
    body->drawable = true;
    body->alphaTest = !hasAlpha;
    body->bitDepth = format.bitDepth;
    body->transColor = CurrentTransColor();
    body->width = width;
    body->height = height;
    return body;
}

void ReleaseBody(ImageBody* body)
{
    if (!body || --body->refCount > 0)
        return;
    DeleteImageTextures(body);
    ReleaseMemImage(&body->image);
    body->~ImageBody();
    MemFree(body);
}

// Empties a slot and frees what its entry holds; the counters are the caller's.
void FreeEntry(int32_t slot)
{
    ImageEntry* entry = slots[slot];
    ReleaseBody(entry->body);
    if (entry->fileName)
        ReleaseImageFileRecord(entry->fileName);
    if (entry->lostFlag)
        *entry->lostFlag = 1;
    entry->~ImageEntry();
    MemFree(entry);
    slots[slot] = nullptr;
}

}  // namespace

ImageFileRecord* MakeImageFileRecord(const char* path, const char* alphaPath)
{
    const size_t length = std::strlen(path);
    const size_t alphaLength = alphaPath ? std::strlen(alphaPath) + 1 : 0;
    if (length > 0x10000000 || alphaLength > 0x10000000)
        return nullptr;
    void* memory = MemAlloc(int32_t(sizeof(ImageFileRecord) + length + 1 + alphaLength), "", 0);
    if (!memory)
        return nullptr;
    ImageFileRecord* record = new (memory) ImageFileRecord;
    record->refCount = 1;
    record->path = static_cast<char*>(memory) + sizeof(ImageFileRecord);
    std::memcpy(record->path, path, length + 1);
    if (alphaPath) {
        record->alphaPath = record->path + length + 1;
        std::memcpy(record->alphaPath, alphaPath, alphaLength);
    }
    return record;
}

void RetainImageFileRecord(ImageFileRecord* record)
{
    ++record->refCount;
}

void ReleaseImageFileRecord(ImageFileRecord* record)
{
    if (--record->refCount > 0)
        return;
    record->~ImageFileRecord();
    MemFree(record);
}

ImageHandle NewImageHandle()
{
    if (liveCount >= ImageSlotCount)
        AbortMediaLibrary("グラフィックの数が許容量を越えました終了します");
    int32_t slot = highWaterMark;
    if (slot >= ImageSlotCount) {
        slot = 0;
        while (slots[slot])
            ++slot;
    }
    void* memory = MemAllocZeroed(sizeof(ImageEntry), "", 0);
    if (!memory)
        AbortMediaLibrary("メモリの確保に失敗しました");
    ImageEntry* entry = new (memory) ImageEntry;
    entry->check = TakeCheckNumber(checkCounter);
    entry->serial = ++serialCounter;
    entry->handle = MakeHandle(HandleKindImage, entry->check, slot);
    entry->movieHandle = -1;
    slots[slot] = entry;
    ++liveCount;
    if (slot == highWaterMark)
        ++highWaterMark;
    return entry->handle;
}

ImageEntry* FindImage(ImageHandle handle)
{
    if (!HandleShapeValid(handle, HandleKindImage, ImageSlotCount))
        return nullptr;
    ImageEntry* entry = slots[HandleSlot(handle)];
    if (!entry || entry->check != HandleCheck(handle))
        return nullptr;
    return entry;
}

ImageEntry* ImageEntryAtSlot(int32_t slot)
{
    return slot >= 0 && slot < ImageSlotCount ? slots[slot] : nullptr;
}

int DeleteImage(ImageHandle handle)
{
    if (!FindImage(handle))
        return -1;
    const int32_t slot = HandleSlot(handle);
    FreeEntry(slot);
    --liveCount;
    if (slot == highWaterMark - 1) {
        int32_t mark = 0;
        if (liveCount > 0) {
            for (int32_t s = slot - 1; s >= 0; --s) {
                if (slots[s]) {
                    mark = s + 1;
                    break;
                }
            }
        }
        highWaterMark = mark;
    }
    return 0;
}

int DeleteAllImages()
{
    if (!GraphicsStarted())
        return 0;
    for (int32_t slot = 0; slot < highWaterMark; ++slot) {
        if (slots[slot])
            DeleteImage(slots[slot]->handle);
    }
    return 0;
}

void SetImageLostFlag(ImageHandle handle, int32_t* flag)
{
    if (ImageEntry* entry = FindImage(handle))
        entry->lostFlag = flag;
}

HeldImage HoldImage(ImageHandle handle)
{
    const ImageEntry* entry = FindImage(handle);
    return entry ? HeldImage{handle, entry->serial} : HeldImage{};
}

ImageHandle HeldImageHandle(const HeldImage& held)
{
    const ImageEntry* entry = FindImage(held.handle);
    return entry && entry->serial == held.serial ? held.handle : -1;
}

int32_t ImageCount()
{
    return liveCount;
}

int32_t ImageHighWaterMark()
{
    return highWaterMark;
}

void ResetImageTable()
{
    // The table is empty after every EndGraphics; entries made while the
    // graphics were down would otherwise be leaked with their slots held.
    for (int32_t slot = 0; slot < ImageSlotCount; ++slot) {
        if (slots[slot])
            FreeEntry(slot);
    }
    liveCount = 0;
    highWaterMark = 0;
}

int32_t NextImageCheckNumber()
{
    return checkCounter;
}

void SetNextImageCheckNumber(int32_t check)
{
    checkCounter = check & (HandleCheckLimit - 1);
}

const ColorFormat& ImageColorFormat(bool hasAlpha)
{
    if (ScreenDepth() == 16)
        return GetStandardFormat(hasAlpha ? StandardFormat::R5G6B5A8 : StandardFormat::R5G6B5);
    return GetStandardFormat(hasAlpha ? StandardFormat::A8R8G8B8 : StandardFormat::X8R8G8B8);
}

namespace {

ImageHandle MakeImageOfFormat(int32_t width, int32_t height, bool hasAlpha, const ColorFormat& format,
                              bool drawable, bool* memoryShort = nullptr)
{
    if (!GraphicsStarted() || width <= 0 || height <= 0)
        return -1;
    ImageBody* body = NewBody(width, height, hasAlpha, format);
    if (!body) {
        if (memoryShort)
            *memoryShort = true;
        return -1;
    }
    if (displaySettings.hardwarePath) {
        body->textureBased = true;
        body->drawable = drawable;
        if (!CreateImageTextures(body)) {
            ReleaseBody(body);
            return -1;
        }
    }
    const ImageHandle handle = NewImageHandle();
    ImageEntry* entry = FindImage(handle);
    entry->body = body;
    entry->width = width;
    entry->height = height;
    return handle;
}

}  // namespace

ImageHandle MakeEmptyImage(int32_t width, int32_t height, bool hasAlpha, bool drawable, bool* memoryShort)
{
    // Every software image can be drawn into; the flag matters on the hardware path.
    return MakeImageOfFormat(width, height, hasAlpha, ImageColorFormat(hasAlpha), drawable, memoryShort);
}

namespace {
bool glyphCacheImageFails = false;
}

void SimulateGlyphCacheImageFailure(bool fail)
{
    glyphCacheImageFails = fail;
}

ImageHandle MakeGlyphCacheImage(int32_t width, int32_t height, int alphaBits)
{
    if ((alphaBits != 1 && alphaBits != 4) || glyphCacheImageFails)
        return -1;
    const ColorFormat& format =
        GetStandardFormat(alphaBits == 1 ? StandardFormat::A1R5G5B5 : StandardFormat::A4R4G4B4);
    return MakeImageOfFormat(width, height, true, format, false);
}

bool ImagePixelsChanged(ImageHandle handle, const int32_t* rect)
{
    // The software path draws from the memory copy itself.
    ImageEntry* entry = FindImage(handle);
    if (!entry || !entry->body || !entry->body->textures)
        return true;
    int32_t left = 0, top = 0, right = entry->width, bottom = entry->height;
    if (rect) {
        left = std::max(rect[0], 0);
        top = std::max(rect[1], 0);
        right = std::min(rect[2], entry->width);
        bottom = std::min(rect[3], entry->height);
    }
    return UploadImageTextures(entry->body, entry->offsetX + left, entry->offsetY + top, entry->offsetX + right,
                               entry->offsetY + bottom);
}

int UpdateImagePixels(ImageHandle handle, int32_t x, int32_t y, const PixelRegion& source)
{
    PixelRegion target;
    if (!GetImagePixels(handle, &target) || !source.pixels || !source.format)
        return -1;
    // Cut to the image, in 64 bits: any position is allowed.
    int64_t sx = 0, sy = 0, width = source.width, height = source.height;
    if (x < 0) {
        sx = -int64_t(x);
        width -= sx;
        x = 0;
    }
    if (y < 0) {
        sy = -int64_t(y);
        height -= sy;
        y = 0;
    }
    width = std::min<int64_t>(width, target.width - x);
    height = std::min<int64_t>(height, target.height - y);
    if (width <= 0 || height <= 0)
        return 0;
    const bool same = SameLayout(*source.format, *target.format) && !target.format->usesPalette;
    const int sourceBytes = source.format->bytesPerPixel, targetBytes = target.format->bytesPerPixel;
    for (int32_t row = 0; row < height; ++row) {
        const uint8_t* s = source.Row(int32_t(sy) + row) + sx * sourceBytes;
        uint8_t* t = target.At(x, y + row);
        if (same) {
            std::memmove(t, s, size_t(width) * size_t(targetBytes));
            continue;
        }
        for (int32_t i = 0; i < width; ++i)
            WritePixel(*target.format, t + int64_t(i) * targetBytes,
                       ReadPixel(*source.format, s + int64_t(i) * sourceBytes));
    }
    const int32_t changed[4] = {x, y, x + int32_t(width), y + int32_t(height)};
    ImagePixelsChanged(handle, changed);
    return 0;
}

ImageHandle DeriveImage(int32_t x, int32_t y, int32_t width, int32_t height, ImageHandle source)
{
    ImageEntry* from = FindImage(source);
    if (!from || !from->body)
        return -1;
    if (x < 0 || y < 0 || x >= from->width || y >= from->height || width <= 0 || height <= 0)
        return -1;
    if (width > from->width - x)
        width = from->width - x;
    if (height > from->height - y)
        height = from->height - y;
    ImageBody* body = from->body;
    ImageFileRecord* fileName = from->fileName;
    const int32_t offsetX = from->offsetX + x, offsetY = from->offsetY + y;
    const ImageHandle handle = NewImageHandle();  // may not move `from`, but look it up again anyway
    ImageEntry* entry = FindImage(handle);
    entry->body = body;
    ++body->refCount;
    if (fileName) {
        entry->fileName = fileName;
        RetainImageFileRecord(fileName);
    }
    entry->offsetX = offsetX;
    entry->offsetY = offsetY;
    entry->width = width;
    entry->height = height;
    return handle;
}

bool GetImagePixels(ImageHandle handle, PixelRegion* region)
{
    ImageEntry* entry = FindImage(handle);
    if (!entry || !entry->body || !MemImageValid(&entry->body->image))
        return false;
    *region = SubRegion(&entry->body->image, entry->offsetX, entry->offsetY, entry->width, entry->height);
    return true;
}

}  // namespace media
