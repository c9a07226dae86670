#include "media/graphics/kept_frame.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace media {

namespace {

bool SameRectFields(const platform::Rect& a, const platform::Rect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The frame last presented.
struct PresentedFrame {
    bool shown = false;  // the window got these pixels
    platform::WindowHandle window = 0;
    platform::BitmapDescription bitmap;
    platform::Rect source, destination;
    std::vector<uint8_t> rows;  // the screen's rows, without padding
};
PresentedFrame presented;

// What the screen holds: the pixel word of its last clear of the whole
// screen, and the boxes drawn over that clear since. Every write into the
// screen is noted here (the draw calls that know their extent note it, the
// others their whole draw area); handing the pixels out drops it. Two frames
// so described can differ only inside the boxes of either.
struct ScreenDamage {
    static constexpr int MaxBoxes = 64;
    bool known = false;  // false: the pixels may be anything
    uint32_t clearWord = 0;
    int count = 0;
    platform::Rect boxes[MaxBoxes];
};
ScreenDamage screenDamage;      // the screen as it is now
ScreenDamage presentedDamage;   // the frame in presented.rows

void AddDamage(ScreenDamage& damage, platform::Rect box)
{
    if (!damage.known)
        return;
    if (damage.count > 0) {
        // Drawn over again where the last call drew: nothing new to note.
        const platform::Rect& last = damage.boxes[damage.count - 1];
        if (box.left >= last.left && box.top >= last.top && box.right <= last.right && box.bottom <= last.bottom)
            return;
    }
    if (damage.count == ScreenDamage::MaxBoxes) {
        // Full: the newest box grows to hold this one too.
        platform::Rect& last = damage.boxes[damage.count - 1];
        last = platform::Rect{std::min(last.left, box.left), std::min(last.top, box.top),
                              std::max(last.right, box.right), std::max(last.bottom, box.bottom)};
        return;
    }
    damage.boxes[damage.count++] = box;
}

bool SameDamage(const ScreenDamage& a, const ScreenDamage& b)
{
    if (a.count != b.count)
        return false;
    for (int i = 0; i < a.count; ++i)
        if (!SameRectFields(a.boxes[i], b.boxes[i]))
            return false;
    return true;
}

// Runs row(kept, screen, bytes) over the rows of every box, the kept frame's
// and the screen's, until it returns false.
template <typename Row>
bool EveryBoxRow(const MEMIMG& screen, const ScreenDamage& damage, size_t rowBytes, Row row)
{
    const size_t bytes = size_t(screen.format.bytesPerPixel);
    for (int i = 0; i < damage.count; ++i) {
        const platform::Rect& box = damage.boxes[i];
        const size_t width = size_t(box.right - box.left) * bytes;
        for (int32_t y = box.top; y < box.bottom; ++y) {
            uint8_t* kept = &presented.rows[size_t(y) * rowBytes + size_t(box.left) * bytes];
            const uint8_t* now = screen.pixels + size_t(y) * size_t(screen.pitch) + size_t(box.left) * bytes;
            if (!row(kept, now, width))
                return false;
        }
    }
    return true;
}

// Compares the kept frame with the screen inside the boxes only.
bool SameInside(const MEMIMG& screen, const ScreenDamage& damage, size_t rowBytes)
{
    return EveryBoxRow(screen, damage, rowBytes,
                       [](const uint8_t* kept, const uint8_t* now, size_t n) { return std::memcmp(kept, now, n) == 0; });
}

void CopyInside(const MEMIMG& screen, const ScreenDamage& damage, size_t rowBytes)
{
    EveryBoxRow(screen, damage, rowBytes, [](uint8_t* kept, const uint8_t* now, size_t n) {
        std::memcpy(kept, now, n);
        return true;
    });
}

}  // namespace

void ForgetKeptFrame()
{
    presented = PresentedFrame{};
    screenDamage = ScreenDamage{};
    presentedDamage = ScreenDamage{};
}

void ForgetScreenContents()
{
    screenDamage.known = false;
}

void NoteScreenWrite(const platform::Rect& box)
{
    AddDamage(screenDamage, box);
}

void ClearWholeScreen(MEMIMG* screen, uint32_t word)
{
    if (screenDamage.known && screenDamage.clearWord == word) {
        // Outside its boxes the screen holds that clear already.
        for (int i = 0; i < screenDamage.count; ++i) {
            const platform::Rect& box = screenDamage.boxes[i];
            FillRegion(SubRegion(screen, box.left, box.top, box.right - box.left, box.bottom - box.top), word);
        }
    } else {
        FillRegion(WholeRegion(screen), word);
    }
    screenDamage.known = true;
    screenDamage.clearWord = word;
    screenDamage.count = 0;
}

bool SameAsPresented(const MEMIMG& screen, platform::WindowHandle window, const platform::BitmapDescription& bitmap,
                     const platform::Rect& source, const platform::Rect& destination)
{
    const size_t rowBytes = size_t(screen.width) * size_t(screen.format.bytesPerPixel);
    const size_t height = size_t(screen.height);
    const platform::BitmapDescription& b = presented.bitmap;
    const bool sameWay = presented.shown && presented.window == window && b.width == bitmap.width &&
                         b.height == bitmap.height && b.bitsPerPixel == bitmap.bitsPerPixel &&
                         b.pitch == bitmap.pitch && b.redMask == bitmap.redMask && b.greenMask == bitmap.greenMask &&
                         b.blueMask == bitmap.blueMask && SameRectFields(presented.source, source) &&
                         SameRectFields(presented.destination, destination) && presented.rows.size() == rowBytes * height;
    // The kept frame becomes the screen, whichever way this goes.
    const ScreenDamage before = std::exchange(presentedDamage, screenDamage);
    const ScreenDamage& now = screenDamage;
    if (sameWay && now.known && before.known && now.clearWord == before.clearWord) {
        // Both are that clear outside their boxes.
        const bool sameBoxes = SameDamage(now, before);
        if (SameInside(screen, now, rowBytes) && (sameBoxes || SameInside(screen, before, rowBytes)))
            return true;
        CopyInside(screen, now, rowBytes);
        if (!sameBoxes)
            CopyInside(screen, before, rowBytes);
        presented.shown = false;
        return false;
    }
    size_t y = 0;
    if (sameWay) {
        while (y < height && std::memcmp(&presented.rows[y * rowBytes], screen.pixels + y * size_t(screen.pitch),
                                         rowBytes) == 0)
            ++y;
        if (y == height)
            return true;
    } else {
        presented.window = window;
        presented.bitmap = bitmap;
        presented.source = source;
        presented.destination = destination;
        presented.rows.resize(rowBytes * height);
    }
    presented.shown = false;
    // The rows above the first difference are equal already.
    for (; y < height; ++y)
        std::memcpy(&presented.rows[y * rowBytes], screen.pixels + y * size_t(screen.pitch), rowBytes);
    return false;
}

void SetKeptFrameShown(bool shown)
{
    presented.shown = shown;
}

}  // namespace media
