#include "media/font/text.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "media/graphics/color_format.h"
#include "media/log/log.h"
#include "media/core/roof_calls.h"
#include "media/core/memory.h"
#include "media/core/system_state.h"

namespace media {

namespace {

// Working storage for texts of up to this many bytes; longer ones allocate.
// Shared by every call: text drawing runs on the window's thread only.
constexpr int FixedTextBytes = 256;
CharRecord textRecords[FixedTextBytes];
uint16_t collectedCodes[FixedTextBytes];

// The temporary images for blended and antialiased text, screen-sized; the
// graphics delete them with every other image when they end.
HeldImage temporaryImages[2];  // [0] plain, [1] with alpha

bool IsSpace(uint16_t code) { return code == 0x0020 || code == 0x4081; }

struct ScratchBuffer {
    void* memory = nullptr;
    ~ScratchBuffer()
    {
        if (memory)
            MemFree(memory);
    }
};

// How one glyph's cell values become pixels of the destination.
struct GlyphPainter {
    const FontRecord* font;
    const PixelRegion* dest;
    DrawArea clip;
    Rgba colour, edge;              // brightened, opaque
    uint32_t colourWord, edgeWord;  // in the destination's format
    bool antialiased;
    bool destHasAlpha;
    // The box the glyphs were written into so far.
    mutable Box drawn{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN};

    // The first row of a slot's cell in the memory cache.
    const uint8_t* Cell(const GlyphSlot& slot) const
    {
        const int64_t row = int64_t(slot.slotIndex % font->slotsPerColumn) * font->cellSize;
        return font->memoryCache + row * font->memoryPitch;
    }

    void Store(uint8_t* p, uint32_t word) const { StorePixelWord(p, dest->format->bytesPerPixel, word); }

    // Source colour c (its word without alpha: word) with coverage a
    // (0..255) over the destination pixel.
    void Over(uint8_t* p, Rgba c, uint32_t word, int a) const
    {
        if (a <= 0)
            return;
        const ColorFormat& f = *dest->format;
        if (destHasAlpha) {
            // An empty pixel (the usual case: the image was just cleared) or
            // full coverage takes the colour as it is.
            const uint32_t old = LoadPixelWord(p, f.bytesPerPixel);
            if ((old & f.alphaMask) == 0 || a == 255) {
                const uint32_t alphaMax = (1u << f.alphaWidth) - 1;
                Store(p, word | ((uint32_t(a) * alphaMax / 255) << f.alphaLocation & f.alphaMask));
                return;
            }
        }
        Rgba d = ReadPixel(f, p);
        if (destHasAlpha) {
            const int keep = d.a * (255 - a) / 255;
            const int out = a + keep;
            d.r = uint8_t((c.r * a + d.r * keep) / out);
            d.g = uint8_t((c.g * a + d.g * keep) / out);
            d.b = uint8_t((c.b * a + d.b * keep) / out);
            d.a = uint8_t(out);
        } else {
            d.r = uint8_t((c.r * a + d.r * (255 - a)) / 255);
            d.g = uint8_t((c.g * a + d.g * (255 - a)) / 255);
            d.b = uint8_t((c.b * a + d.b * (255 - a)) / 255);
            d.a = 255;
        }
        WritePixel(*dest->format, p, d);
    }

    void Paint(uint8_t* p, int value) const
    {
        switch (font->type) {
        case 0:
            if (value)
                Store(p, colourWord);
            return;
        case 1:
            if (value == 1)
                Store(p, colourWord);
            else if (value == 2)
                Store(p, edgeWord);
            return;
        case 2:
            Over(p, colour, colourWord, value * 17);
            return;
        default: {
            const int edgeAlpha = (value >> 4) * 17, glyphAlpha = (value & 15) * 17;
            const ColorFormat& f = *dest->format;
            if (destHasAlpha && edgeAlpha && glyphAlpha && glyphAlpha < 255 &&
                (LoadPixelWord(p, f.bytesPerPixel) & f.alphaMask) == 0) {
                // Both layers onto an empty pixel in one write: the glyph
                // over the edge.
                const int keep = edgeAlpha * (255 - glyphAlpha) / 255;
                const int out = glyphAlpha + keep;
                const Rgba mixed{uint8_t((colour.r * glyphAlpha + edge.r * keep) / out),
                                 uint8_t((colour.g * glyphAlpha + edge.g * keep) / out),
                                 uint8_t((colour.b * glyphAlpha + edge.b * keep) / out), 255};
                const uint32_t alphaMax = (1u << f.alphaWidth) - 1;
                Store(p, (EncodeColor(f, mixed) & ~f.alphaMask) |
                             ((uint32_t(out) * alphaMax / 255) << f.alphaLocation & f.alphaMask));
                return;
            }
            if (glyphAlpha != 255)
                Over(p, edge, edgeWord, edgeAlpha);
            Over(p, colour, colourWord, glyphAlpha);
            return;
        }
        }
    }

    void Draw(const GlyphSlot& slot, int64_t x, int64_t y, int64_t pen, bool vertical) const
    {
        const int64_t w = slot.width, h = slot.height;
        // The destination box and where its corner lies in the glyph.
        int64_t left, top, boxWidth, boxHeight;
        if (!vertical) {
            left = x + pen + slot.xOffset;
            top = y + slot.yOffset;
            boxWidth = w;
            boxHeight = h;
        } else {
            left = x + font->cellHeight - slot.yOffset - h;
            top = y + pen + slot.xOffset;
            boxWidth = h;
            boxHeight = w;
        }
        const int64_t x0 = std::max<int64_t>(left, clip.left), y0 = std::max<int64_t>(top, clip.top);
        const int64_t x1 = std::min<int64_t>(left + boxWidth, clip.right);
        const int64_t y1 = std::min<int64_t>(top + boxHeight, clip.bottom);
        if (x0 >= x1 || y0 >= y1)
            return;
        drawn = Box{std::min(drawn.left, x0), std::min(drawn.top, y0), std::max(drawn.right, x1),
                    std::max(drawn.bottom, y1)};
        const int bytes = dest->format->bytesPerPixel;
        const uint8_t* cell = Cell(slot);
        const int32_t pitch = font->memoryPitch;
        const bool bits = font->memoryBitsPerPixel == 1;
        if (!vertical) {
            for (int64_t ty = y0; ty < y1; ++ty) {
                const uint8_t* row = cell + (ty - top) * pitch;
                uint8_t* p = dest->At(int32_t(x0), int32_t(ty));
                if (bits && bytes == 2) {
                    // The common case (plain text on a 16-bit screen), kept tight.
                    const uint16_t word = uint16_t(colourWord);
                    for (int64_t gx = x0 - left; gx < x1 - left; ++gx, p += 2)
                        if ((row[gx >> 3] >> (7 - (gx & 7))) & 1)
                            std::memcpy(p, &word, 2);
                } else if (bits) {
                    for (int64_t gx = x0 - left; gx < x1 - left; ++gx, p += bytes)
                        if ((row[gx >> 3] >> (7 - (gx & 7))) & 1)
                            Store(p, colourWord);
                } else {
                    for (int64_t gx = x0 - left; gx < x1 - left; ++gx, p += bytes)
                        if (row[gx])
                            Paint(p, row[gx]);
                }
            }
            return;
        }
        for (int64_t ty = y0; ty < y1; ++ty) {
            const int64_t gx = ty - top;
            uint8_t* p = dest->At(int32_t(x0), int32_t(ty));
            for (int64_t tx = x0; tx < x1; ++tx, p += bytes) {
                const uint8_t* row = cell + (h - 1 - (tx - left)) * pitch;
                const int value = bits ? (row[gx >> 3] >> (7 - (gx & 7))) & 1 : row[gx];
                if (value)
                    Paint(p, value);
            }
        }
    }
};

// One glyph from a texture cache onto the draw target: the edge plane in the
// edge colour, then the glyph plane in the text colour, each drawn with
// transparency and the colour as brightness (the cache's texels are white;
// their alpha is the coverage). The brightness is put back afterwards.
void DrawTextureGlyph(const FontRecord& font, const GlyphSlot& slot, int64_t x, int64_t y, int64_t pen,
                      bool vertical, Rgba colour, Rgba edge)
{
    int32_t cellX, cellY;
    if (HeldImageHandle(font.cacheImage) == -1 || !GlyphCachePosition(font, slot, &cellX, &cellY))
        return;
    const DrawState saved = CurrentDrawState();
    auto brightness = [](Rgba c) { return int(c.r) << 16 | int(c.g) << 8 | int(c.b); };
    const bool edged = (font.type & FontTypeEdge) != 0 && HeldImageHandle(font.edgeImage) != -1;
    // Held copies, checked again before each plane: the images must still be
    // the font's own, and the record may be gone after a wait.
    const HeldImage planes[2] = {font.edgeImage, font.cacheImage};
    const Rgba colours[2] = {edge, colour};
    // Taken before the first image is drawn: a draw may wait for the window
    // and a restore in that wait makes the font, slots included, again.
    const int64_t w = slot.width, h = slot.height, xOffset = slot.xOffset, yOffset = slot.yOffset;
    const int64_t cellHeight = font.cellHeight;
    for (int plane = edged ? 0 : 1; plane < 2; ++plane) {
        const ImageHandle image = HeldImageHandle(planes[plane]);
        if (image == -1)
            break;
        SetDrawBrightnessWord(brightness(colours[plane]));
        if (!vertical) {
            const int64_t left = x + pen + xOffset, top = y + yOffset;
            if (left < INT32_MIN || left > INT32_MAX || top < INT32_MIN || top > INT32_MAX)
                break;
            DrawImagePart(int(left), int(top), cellX, cellY, int(w), int(h), image, 1, 0);
            continue;
        }
        // A quarter turn clockwise: the glyph's top-left corner goes to the
        // box's top-right one.
        const ImageHandle glyph = DeriveImage(cellX, cellY, int32_t(w), int32_t(h), image);
        if (glyph == -1)
            break;
        const float left = float(x + cellHeight - yOffset - h), right = left + float(h);
        const float top = float(y + pen + xOffset), bottom = top + float(w);
        DrawImageQuad(right, top, right, bottom, left, bottom, left, top, glyph, 1);
        DeleteImage(glyph);
    }
    SetDrawBrightness(saved.brightRed, saved.brightGreen, saved.brightBlue);
}

// Colour through the draw brightness, as 8-bit channels.
Rgba BrightenedColour(ColorValue value)
{
    const DrawState& s = CurrentDrawState();
    int r, g, b;
    UnpackColor(value, &r, &g, &b);
    return Rgba{uint8_t(r * s.brightRed / 255), uint8_t(g * s.brightGreen / 255), uint8_t(b * s.brightBlue / 255),
                255};
}

uint32_t WordFor(const ColorFormat& format, Rgba colour)
{
    if (format.usesPalette) {
        uint8_t index = 0;
        WritePixel(format, &index, colour);
        return index;
    }
    return EncodeColor(format, colour);
}

// The screen-sized temporary image, made again when the screen changed.
ImageHandle TemporaryImage(bool alpha)
{
    HeldImage& held = temporaryImages[alpha ? 1 : 0];
    // By identity: once deleted with every other image, its handle may be
    // handed to a caller's image, which must be neither written nor deleted.
    const ImageHandle old = HeldImageHandle(held);
    const ImageEntry* entry = FindImage(old);
    if (entry && entry->width == ScreenWidth() && entry->height == ScreenHeight())
        return old;
    if (entry)
        DeleteImage(old);
    // Written in memory and drawn, never drawn into: on the hardware path that
    // gives it the alpha-test row, so that its transparent colour is keyed.
    held = HoldImage(MakeEmptyImage(ScreenWidth(), ScreenHeight(), alpha, false));
    return held.handle;
}

// Draws the text into a temporary image and copies that onto the target with
// transparency, under the current blend mode. Only the part of the text box
// inside the draw area goes through the image, so text reaching past the
// screen's left or top edge, or wider than the screen, loses nothing visible.
void DrawThroughTemporaryImage(int x, int y, const char* text, ColorValue colour, FontHandle font,
                               ColorValue edgeColour, int vertical, const FontRecord& record, int width, int height,
                               const DrawArea& area)
{
    const bool alpha = (record.type & FontTypeAntialiased) != 0;
    const ImageHandle temporary = TemporaryImage(alpha);
    PixelRegion pixels;
    if (temporary < 0 || !GetImagePixels(temporary, &pixels))
        return;
    const int64_t left = std::max<int64_t>(x, area.left), top = std::max<int64_t>(y, area.top);
    const int64_t right = std::min<int64_t>({int64_t(x) + width, area.right, left + pixels.width});
    const int64_t bottom = std::min<int64_t>({int64_t(y) + height, area.bottom, top + pixels.height});
    if (left >= right || top >= bottom)
        return;
    const int32_t w = int32_t(right - left), h = int32_t(bottom - top);
    PixelRegion used = pixels;
    used.width = w;
    used.height = h;
    const ColorFormat& format = *pixels.format;
    if (alpha) {
        FillRegion(used, 0);  // transparent everywhere
    } else {
        // A key no glyph pixel can carry.
        ImageEntry* entry = FindImage(temporary);
        const uint32_t mask = format.redMask | format.greenMask | format.blueMask;
        const uint32_t colourBits = EncodeColor(format, BrightenedColour(colour)) & mask;
        const uint32_t edgeBits = EncodeColor(format, BrightenedColour(edgeColour)) & mask;
        const uint32_t oldKey = entry->body->transColor;
        uint32_t key =
            EncodeColor(format, Rgba{uint8_t(oldKey >> 16), uint8_t(oldKey >> 8), uint8_t(oldKey), 255}) & mask;
        while (key == colourBits || key == edgeBits)
            key = (key + 1) & mask;
        const Rgba keyColour = DecodeColor(format, key);
        entry->body->transColor = uint32_t(keyColour.r) << 16 | uint32_t(keyColour.g) << 8 | keyColour.b;
        FillRegion(used, EncodeColor(format, keyColour));
    }
    const DrawArea inside{0, 0, w, h};
    RenderText(TextMode::Draw, int(x - left), int(y - top), text, colour, &pixels, &inside, font, edgeColour, -1,
               vertical);
    const int32_t written[4] = {0, 0, w, h};
    ImagePixelsChanged(temporary, written);

    const DrawArea saved = displaySettings.drawArea;
    const DrawState state = CurrentDrawState();
    SetDrawRegion(int(left), int(top), int(right), int(bottom));
    SetDrawBrightness(255, 255, 255);
    DrawImage(int(left), int(top), temporary, 1);
    SetDrawRegion(saved.left, saved.top, saved.right, saved.bottom);
    SetDrawBrightness(state.brightRed, state.brightGreen, state.brightBlue);
}

}  // namespace

int32_t TextWorkingBytes(int64_t count, int64_t each)
{
    if (count < 0 || each < 0 || (each > 0 && count > INT32_MAX / each))
        return -1;
    return int32_t(count * each);
}

int PrepareGlyphs(FontHandle font, const char* text, int lengthLimit, CharRecord* records, int* count)
{
    FontRecord* r = FindFont(font);
    if (!r || !text || !records)
        return -1;
    const size_t length = std::strlen(text);
    size_t n = length;
    if (lengthLimit >= 0 && size_t(lengthLimit) < n)
        n = size_t(lengthLimit);

    int characters = 0;
    for (size_t i = 0; i < n;) {
        CharRecord& c = records[characters++];
        c.bytes[0] = uint8_t(text[i]);
        c.bytes[1] = 0;
        c.bytes[2] = 0;
        // A lead byte takes the next byte, the terminator included, so a lone
        // lead byte at the end stays a one-byte character.
        if (IsLeadByte(c.bytes[0], r->charsetCode)) {
            c.bytes[1] = uint8_t(text[i + 1]);
            i += c.bytes[1] ? 2 : 1;
        } else {
            i += 1;
        }
    }

    ScratchBuffer scratch;
    uint16_t* codes = collectedCodes;
    if (n > size_t(FixedTextBytes)) {
        const int32_t bytes = TextWorkingBytes(int64_t(n), sizeof(uint16_t));
        scratch.memory = bytes >= 0 ? MemAlloc(bytes, "", 0) : nullptr;
        if (!scratch.memory)
            return -1;
        codes = static_cast<uint16_t*>(scratch.memory);
    }
    int collected = 0;
    for (int i = 0; i < characters && collected < r->slotCount; ++i) {
        GlyphMapEntry& entry = r->glyphMap[records[i].Code()];
        if (entry.cached)
            continue;
        entry.cached = 1;  // marked while collecting, so each character goes in once
        codes[collected++] = records[i].Code();
    }
    for (int i = 0; i < collected; ++i)
        r->glyphMap[codes[i]].cached = 0;
    if (collected)
        RenderGlyphs(font, collected, codes);
    if (count)
        *count = characters;
    return 0;
}

int RenderText(TextMode mode, int x, int y, const char* text, ColorValue colour, const PixelRegion* destination,
               const DrawArea* clip, FontHandle font, ColorValue edgeColour, int lengthLimit, int vertical,
               int* sizeX, int* sizeY)
{
    FontRecord* r = FindFont(font);
    if (!r)
        return -1;
    GlyphPainter painter{};
    painter.font = r;
    painter.colour = BrightenedColour(colour);
    painter.edge = BrightenedColour(edgeColour);
    if (!text || !text[0])
        return 0;
    const size_t length = std::strlen(text);
    if (lengthLimit < 0 || size_t(lengthLimit) > length)
        lengthLimit = int(std::min<size_t>(length, INT32_MAX));

    ScratchBuffer scratch;
    CharRecord* records = textRecords;
    if (lengthLimit > FixedTextBytes) {
        const int32_t bytes = TextWorkingBytes(lengthLimit, sizeof(CharRecord));
        scratch.memory = bytes >= 0 ? MemAlloc(bytes, "", 0) : nullptr;
        if (!scratch.memory)
            return -1;
        records = static_cast<CharRecord*>(scratch.memory);
    }
    int count = 0;
    if (PrepareGlyphs(font, text, lengthLimit, records, &count) != 0)
        return -1;

    const bool drawing = mode == TextMode::Draw && destination && clip && !r->useTexture;
    if (drawing) {
        painter.dest = destination;
        painter.clip = *clip;
        painter.antialiased = (r->type & FontTypeAntialiased) != 0;
        painter.destHasAlpha = destination->format->alphaMask != 0;
        painter.colourWord = WordFor(*destination->format, painter.colour);
        painter.edgeWord = WordFor(*destination->format, painter.edge);
        if (painter.antialiased && painter.destHasAlpha) {
            // Coverage goes into the alpha bits of these words.
            painter.colourWord &= ~destination->format->alphaMask;
            painter.edgeWord &= ~destination->format->alphaMask;
        }
        // Other depths draw nothing.
        const int bytes = destination->format->bytesPerPixel;
        if (bytes != 1 && bytes != 2 && bytes != 4)
            painter.dest = nullptr;
    }
    const bool fromTexture = mode == TextMode::Draw && r->useTexture;
    int64_t pen = 0;
    // The size of what was handled, also when a character ends the text.
    auto size = [&] {
        const int advance = int(std::clamp<int64_t>(pen, INT32_MIN, INT32_MAX));
        if (sizeX)
            *sizeX = vertical ? r->cellHeight : advance;
        if (sizeY)
            *sizeY = vertical ? advance : r->cellHeight;
        return advance;
    };
    // What was written into the target, for the screen's still-frame check.
    auto noteDrawn = [&] {
        if (drawing && painter.dest && !painter.drawn.Empty())
            NoteScreenDrawn(*destination, painter.drawn);
    };
    for (int i = 0; i < count; ++i) {
        uint16_t code = records[i].Code();
        const GlyphMapEntry& entry = r->glyphMap[code];
        GlyphSlot* slot = entry.cached ? entry.slot : RenderGlyphs(font, 1, &code);
        if (!slot) {
            LogPrintfLine("テキストキャッシュの作成に失敗しました");
            size();
            noteDrawn();
            return -1;
        }
        const int64_t advance = slot->advance;
        if (drawing && painter.dest && !IsSpace(code) && !(slot->width == 0 && slot->height == 0)) {
            painter.Draw(*slot, x, y, pen, vertical != 0);
        } else if (fromTexture && !IsSpace(code) && !(slot->width == 0 && slot->height == 0)) {
            DrawTextureGlyph(*r, *slot, x, y, pen, vertical != 0, painter.colour, painter.edge);
            // Drawing an image can wait for the window, and a restore in
            // that wait makes every font again.
            r = FindFont(font);
            if (!r)
                return -1;
        }
        pen += advance + r->spacing;
    }
    noteDrawn();
    return size();
}

int DrawTextToHandle(int x, int y, const char* text, ColorValue colour, FontHandle font, ColorValue edgeColour,
                     int vertical)
{
    if (!text || !text[0] || displaySettings.drawAreaEmpty)
        return 0;
    if (!FindFont(font))
        return LogAdd("フォントハンドル値が異常です\n");
    WaitWhileInactive();
    // The wait pumps messages: a restore run by them makes every font again
    // (under the same handle), so the record is looked up after it.
    const FontRecord* r = FindFont(font);
    if (!r)
        return LogAdd("フォントハンドル値が異常です\n");
    DrawArea area;
    if (!CurrentTargetArea(&area))
        return 0;
    if (area.left >= area.right || area.top >= area.bottom)
        return 0;
    // The front screen is shown as it is drawn: text that starts right of
    // the draw area draws nothing at all.
    if (CurrentDrawTarget() == ScreenFront && x >= area.right)
        return 0;

    // A lost texture cache is made again here, or the font turns to a memory
    // cache when it cannot be: then the memory path below draws it.
    EnsureGlyphCache(font);
    if (r->useTexture) {
        RenderText(TextMode::Draw, x, y, text, colour, nullptr, &area, font, edgeColour, -1, vertical);
        return 0;
    }

    // A character that cannot be rasterised ends the text: what comes before
    // it is measured, and drawn.
    int width = 0, height = 0;
    if (RenderText(TextMode::Measure, x, y, text, colour, nullptr, nullptr, font, edgeColour, -1, vertical, &width,
                   &height) < 0 &&
        (vertical ? height : width) <= 0)
        return 0;
    const DrawState& state = CurrentDrawState();
    const bool plainBlend = state.blendMode == 0 || (state.blendMode == 1 && state.blendParameter == 255);
    // Straight into the target's pixels where they are in memory; the
    // hardware path's targets take the text through the temporary image.
    PixelRegion target;
    if (plainBlend && !(r->type & FontTypeAntialiased) && CurrentDrawSurface(&target, &area, false)) {
        RenderText(TextMode::Draw, x, y, text, colour, &target, &area, font, edgeColour, -1, vertical);
        return 0;
    }
    DrawThroughTemporaryImage(x, y, text, colour, font, edgeColour, vertical, *r, width, height, area);
    return 0;
}

int DrawTextString(int x, int y, const char* text, ColorValue colour, ColorValue edgeColour)
{
    RebuildDefaultFont();
    return DrawTextToHandle(x, y, text, colour, DefaultFontHandle(), edgeColour, 0);
}

int DrawTextFormat(int x, int y, ColorValue colour, const char* format, ...)
{
    // The formatted text, terminator included, fits in 2048 bytes; anything
    // longer is cut there.
    char buffer[2048];
    buffer[0] = '\0';
    if (format) {
        va_list args;
        va_start(args, format);
        if (std::vsnprintf(buffer, sizeof buffer, format, args) < 0)
            buffer[0] = '\0';
        va_end(args);
    }
    RebuildDefaultFont();
    return DrawTextToHandle(x, y, buffer, colour, DefaultFontHandle(), 0, 0);
}

}  // namespace media
