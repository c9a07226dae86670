#include "media/graphics/gl_image.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "media/graphics/gl_api.h"
#include "media/graphics/gl_renderer.h"
#include "media/graphics/screen.h"
#include "media/log/log.h"
#include "media/core/memory.h"

namespace media {

using gl_api::gl;

std::vector<int32_t> SplitSide(int32_t length, int32_t maxSide, int32_t screenWidth, bool drawable)
{
    if (length <= 8)
        return {8};
    const int32_t most = maxSide > 0 ? std::max(maxSide, 8) : 256;
    int32_t e = most;
    while (e > 8 && e > length)
        e /= 2;
    const bool split = (length >= most || length >= screenWidth) && !drawable;
    if (!split)
        return {e < length ? 2 * e : e};
    std::vector<int32_t> pieces;
    int64_t left = length;
    for (;;) {
        pieces.push_back(e);
        left -= e;
        if (left <= 0 || (left * 4 > int64_t(e) * 3 && e < most))
            break;
        while (e > left && e > 8)
            e /= 2;
    }
    if (left > 0)
        pieces.back() *= 2;
    const size_t n = pieces.size();
    if (n >= 2 && pieces[n - 1] == pieces[n - 2] && int64_t(pieces[n - 1]) * 2 <= most) {
        pieces.pop_back();
        pieces.back() *= 2;
    }
    return pieces;
}

namespace {

struct UploadLayout {
    GLenum format, type;
    int bytes;
};

UploadLayout LayoutFor(DeviceFormat format)
{
    switch (format) {
    case DeviceFormat::R5G6B5:
        return {GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2};
    case DeviceFormat::X1R5G5B5:
    case DeviceFormat::A1R5G5B5:
        return {GL_RGBA, GL_UNSIGNED_SHORT_5_5_5_1, 2};
    case DeviceFormat::A4R4G4B4:
        return {GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, 2};
    default:
        return {GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4};
    }
}

bool IsFormat(const ColorFormat& format, StandardFormat standard)
{
    return SameLayout(format, GetStandardFormat(standard));
}

bool IsDxtFormat(DeviceFormat format)
{
    return format >= DeviceFormat::Dxt1 && format <= DeviceFormat::Dxt5;
}

// The GL bindings an upload changes, put back afterwards: the renderer keeps
// its own texture and framebuffer bound between flushes.
struct SavedBindings {
    GLint texture = 0, framebuffer = 0, alignment = 4;
    SavedBindings()
    {
        gl.GetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        gl.GetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
        gl.GetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
        gl.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    ~SavedBindings()
    {
        gl.BindTexture(GL_TEXTURE_2D, GLuint(texture));
        gl.BindFramebuffer(GL_FRAMEBUFFER, GLuint(framebuffer));
        gl.PixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    }
};

bool DeviceUsable()
{
    return displaySettings.hardwarePath && GlDeviceReady() && GlContextAlive();
}

// Writes the texture words of the rectangle (x0, y0)-(x1, y1) of a piece
// (piece coordinates; beyond the used part the last column and row repeat, so
// that filtering at the piece's edge sees the image's own edge) row by row.
void PieceWords(const ImageBody& body, DeviceFormat format, bool upsideDown, const GlTexturePiece& piece,
                int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t* out)
{
    const MEMIMG& image = body.image;
    const ColorFormat& f = image.format;
    const int sourceBytes = f.bytesPerPixel;
    const UploadLayout layout = LayoutFor(format);
    const uint32_t colourMask = f.redMask | f.greenMask | f.blueMask;
    // The transparent colour's bits as the software path compares them.
    const bool keying = body.alphaTest && !f.usesPalette;
    const Rgba key{uint8_t(body.transColor >> 16), uint8_t(body.transColor >> 8), uint8_t(body.transColor), 0};
    const uint32_t keyBits = keying ? EncodeColor(f, key) & colourMask : 0;
    const bool source565 = IsFormat(f, StandardFormat::R5G6B5);
    const bool source8888 = IsFormat(f, StandardFormat::X8R8G8B8) || IsFormat(f, StandardFormat::A8R8G8B8);
    for (int32_t ty = y0; ty < y1; ++ty) {
        const int32_t sy = upsideDown ? std::max(body.height - 1 - ty, 0) : piece.y + std::min(ty, piece.usedHeight - 1);
        const uint8_t* row = image.pixels + int64_t(sy) * image.pitch;
        for (int32_t tx = x0; tx < x1; ++tx) {
            const int32_t sx = piece.x + std::min(tx, piece.usedWidth - 1);
            const uint8_t* p = row + int64_t(sx) * sourceBytes;
            const uint32_t word = LoadPixelWord(p, sourceBytes);
            const bool keyed = keying && (word & colourMask) == keyBits;
            uint32_t texel;
            if (source565 && format == DeviceFormat::R5G6B5) {
                texel = word;
            } else if (source565 && (format == DeviceFormat::A1R5G5B5 || format == DeviceFormat::X1R5G5B5)) {
                // Green keeps its top five bits, as the conversion through 8 bits does.
                texel = (word & 0xFFC0) | (word & 0x1F) << 1 | (keyed ? 0 : 1);
            } else if (source8888 && layout.bytes == 4) {
                const uint32_t alpha = keyed ? 0 : body.hasAlpha ? word >> 24 : 255;
                texel = (word & 0xFFFFFF) | alpha << 24;
            } else {
                Rgba c = ReadPixel(f, p);
                if (!body.hasAlpha)
                    c.a = 255;
                texel = TextureWord(format, c, keyed);
            }
            if (layout.bytes == 2) {
                const uint16_t half = uint16_t(texel);
                std::memcpy(out, &half, 2);
            } else {
                std::memcpy(out, &texel, 4);
            }
            out += layout.bytes;
        }
    }
}

// Fills the rectangle of a piece (piece coordinates) from the memory copy.
// whole: the texture's storage is made (empty: with zero words).
bool UploadPiece(const ImageBody& body, const GlImageTextures& textures, const GlTexturePiece& piece, int32_t x0,
                 int32_t y0, int32_t x1, int32_t y1, bool whole, bool empty = false)
{
    const DeviceFormat format = textures.format;
    const UploadLayout layout = LayoutFor(format);
    const int64_t bytes = int64_t(x1 - x0) * (y1 - y0) * layout.bytes;
    void* words = MemAlloc(int32_t(bytes), "", 0);
    if (!words) {
        LogAdd("テクスチャへ転送する画像を一時的に格納するメモリ領域の確保に失敗しました\n");
        return false;
    }
    if (empty)
        std::memset(words, 0, size_t(bytes));
    else
        PieceWords(body, format, textures.upsideDown, piece, x0, y0, x1, y1, static_cast<uint8_t*>(words));
    gl.BindTexture(GL_TEXTURE_2D, piece.texture);
    if (whole) {
        gl.TexImage2D(GL_TEXTURE_2D, 0, GLint(GlInternalFormat(format)), piece.textureWidth, piece.textureHeight, 0,
                      layout.format, layout.type, words);
        MemFree(words);
        return true;  // the caller checks the storage it made
    }
    while (gl.GetError() != GL_NO_ERROR) {
    }
    // A provoked failure (tests) is a width the driver refuses.
    const GLsizei width = GlStepFails("upload") ? -1 : x1 - x0;
    gl.TexSubImage2D(GL_TEXTURE_2D, 0, x0, y0, width, y1 - y0, layout.format, layout.type, words);
    MemFree(words);
    if (gl.GetError() != GL_NO_ERROR) {
        LogAdd("テクスチャへの画像の転送に失敗しました\n");
        return false;
    }
    return true;
}

GlImageTextures* NewTextures(int32_t columns, int32_t rows)
{
    const int64_t bytes = int64_t(sizeof(GlImageTextures)) + int64_t(columns) * rows * int64_t(sizeof(GlTexturePiece));
    if (bytes > 0x7FFFFFFF)
        return nullptr;
    void* memory = MemAllocZeroed(int32_t(bytes), "", 0);
    if (!memory)
        return nullptr;
    GlImageTextures* textures = new (memory) GlImageTextures;
    textures->columns = columns;
    textures->rows = rows;
    textures->pieces = reinterpret_cast<GlTexturePiece*>(static_cast<uint8_t*>(memory) + sizeof(GlImageTextures));
    for (int32_t i = 0; i < columns * rows; ++i)
        new (&textures->pieces[i]) GlTexturePiece;
    return textures;
}

void FreeTextures(GlImageTextures* textures)
{
    for (int32_t i = 0; i < textures->Count(); ++i)
        GlDeleteTexture(&textures->pieces[i].texture);
    GlDeleteFramebuffer(&textures->framebuffer);
    textures->~GlImageTextures();
    MemFree(textures);
}

// Every body of the table once, whatever number of entries share it.
template <class Fn>
void ForEachBody(Fn&& fn)
{
    const int32_t end = ImageHighWaterMark();
    std::vector<ImageBody*> seen;
    for (int32_t slot = 0; slot < end; ++slot) {
        ImageEntry* entry = ImageEntryAtSlot(slot);
        if (!entry || !entry->body || !entry->body->textureBased)
            continue;
        if (std::find(seen.begin(), seen.end(), entry->body) != seen.end())
            continue;
        seen.push_back(entry->body);
        fn(entry->body);
    }
}

}  // namespace

uint32_t TextureWord(DeviceFormat format, Rgba c, bool keyed)
{
    const uint32_t a = keyed ? 0 : c.a;
    switch (format) {
    case DeviceFormat::R5G6B5:
        return uint32_t(c.r >> 3) << 11 | uint32_t(c.g >> 2) << 5 | uint32_t(c.b >> 3);
    case DeviceFormat::X1R5G5B5:
    case DeviceFormat::A1R5G5B5:
        return uint32_t(c.r >> 3) << 11 | uint32_t(c.g >> 3) << 6 | uint32_t(c.b >> 3) << 1 | (a >> 7);
    case DeviceFormat::A4R4G4B4:
        return uint32_t(c.r >> 4) << 12 | uint32_t(c.g >> 4) << 8 | uint32_t(c.b >> 4) << 4 | (a >> 4);
    default:
        return a << 24 | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
    }
}

DeviceFormat ImageTextureFormat(const ImageBody& body)
{
    const GlDeviceInfo& device = GlDevice();
    const ColorFormat& f = body.image.format;
    // Glyph caches: the 16-bit rows for their 1-bit and 4-bit alpha.
    if (IsFormat(f, StandardFormat::A1R5G5B5))
        return device.alphaTest16;
    if (IsFormat(f, StandardFormat::A4R4G4B4))
        return device.alpha16;
    // A DXT1 picture where the device has no DXT1 row: the row that stands
    // in for it (its alpha is one bit).
    if (body.dxtKind == 1 && !IsDxtFormat(device.dxt[0]))
        return device.dxt[0];
    const bool deep = ScreenDepth() != 16;
    if (body.drawable) {
        if (body.hasAlpha && device.drawableAlpha32 != DeviceFormat::None)
            return device.drawableAlpha32;
        return deep ? device.drawable32 : device.drawable16;
    }
    // Pictures with alpha take the 32-bit alpha row at either depth: their
    // memory copy carries 8 bits of alpha, which 4-bit rows would cut.
    if (body.hasAlpha)
        return device.alpha32;
    return deep ? device.alphaTest32 : device.alphaTest16;
}

bool CreateImageTextures(ImageBody* body)
{
    if (!body || body->textures)
        return body != nullptr;
    if (!DeviceUsable())
        return false;
    const DeviceFormat format = ImageTextureFormat(*body);
    if (format == DeviceFormat::None)
        return false;
    const GlDeviceInfo& device = GlDevice();
    const int32_t maxSide = std::min(device.maxTextureWidth, device.maxTextureHeight);
    const std::vector<int32_t> columns = SplitSide(body->width, maxSide, ScreenWidth(), body->drawable);
    const std::vector<int32_t> rows = SplitSide(body->height, maxSide, ScreenWidth(), body->drawable);
    if (body->drawable && (columns.size() != 1 || rows.size() != 1))
        return false;
    GlImageTextures* textures = NewTextures(int32_t(columns.size()), int32_t(rows.size()));
    if (!textures)
        return false;
    textures->format = format;
    textures->upsideDown = body->drawable;
    GlFlush();
    while (gl.GetError() != GL_NO_ERROR) {
    }
    bool made = true;
    {
        SavedBindings saved;
        int32_t y = 0;
        for (size_t r = 0; r < rows.size() && made; ++r) {
            int32_t x = 0;
            for (size_t c = 0; c < columns.size() && made; ++c) {
                GlTexturePiece& piece = textures->pieces[r * columns.size() + c];
                piece.x = x;
                piece.y = y;
                piece.textureWidth = columns[c];
                piece.textureHeight = rows[r];
                piece.usedWidth = std::min(columns[c], body->width - x);
                piece.usedHeight = std::min(rows[r], body->height - y);
                piece.texture = GlNewTexture();
                gl.BindTexture(GL_TEXTURE_2D, piece.texture);
                gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
                gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
                gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
                gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
                gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
                // A draw target starts empty, its memory copy too.
                if (body->drawable && MemImageValid(&body->image))
                    std::memset(body->image.pixels, 0, size_t(body->image.pitch) * size_t(body->height));
                made = UploadPiece(*body, *textures, piece, 0, 0, piece.textureWidth, piece.textureHeight, true,
                                   body->drawable) &&
                       gl.GetError() == GL_NO_ERROR && !GlStepFails("texture");
                x += columns[c];
            }
            y += rows[r];
        }
        if (made && body->drawable) {
            textures->framebuffer = GlNewFramebuffer();
            gl.BindFramebuffer(GL_FRAMEBUFFER, textures->framebuffer);
            gl.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, textures->pieces[0].texture,
                                    0);
            made = gl.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        }
    }
    if (!made) {
        FreeTextures(textures);
        while (gl.GetError() != GL_NO_ERROR) {
        }
        return false;
    }
    body->textures = textures;
    return true;
}

void DeleteImageTextures(ImageBody* body)
{
    if (!body || !body->textures)
        return;
    // Primitives still waiting in the batch may use these textures.
    if (GlContextAlive() && GlDeviceReady())
        GlFlush();
    FreeTextures(body->textures);
    body->textures = nullptr;
}

bool UseCompressedTextures(ImageBody* body, const uint8_t* blocks, int32_t pitch, int kind)
{
    if (!body || !body->textures || body->drawable || !blocks || kind < 1 || kind > 5 || !DeviceUsable())
        return false;
    const DeviceFormat format = GlDevice().dxt[kind - 1];
    if (!IsDxtFormat(format) || body->width % 4 || body->height % 4)
        return false;
    const int blockBytes = kind == 1 ? 8 : 16;
    const int32_t blocksAcross = body->width / 4, blocksDown = body->height / 4;
    if (pitch < blocksAcross * blockBytes)
        return false;
    GlImageTextures& textures = *body->textures;
    GlFlush();
    while (gl.GetError() != GL_NO_ERROR) {
    }
    bool made = true;
    {
        SavedBindings saved;
        for (int32_t i = 0; i < textures.Count() && made; ++i) {
            const GlTexturePiece& piece = textures.pieces[i];
            const int32_t across = piece.textureWidth / 4, down = piece.textureHeight / 4;
            const int64_t bytes = int64_t(across) * down * blockBytes;
            uint8_t* data = static_cast<uint8_t*>(MemAlloc(int32_t(bytes), "", 0));
            if (!data) {
                made = false;
                break;
            }
            // Beyond the picture the last column and row of blocks repeat.
            for (int32_t by = 0; by < down; ++by) {
                const int32_t sy = std::min(piece.y / 4 + by, blocksDown - 1);
                for (int32_t bx = 0; bx < across; ++bx) {
                    const int32_t sx = std::min(piece.x / 4 + bx, blocksAcross - 1);
                    std::memcpy(data + (int64_t(by) * across + bx) * blockBytes,
                                blocks + int64_t(sy) * pitch + int64_t(sx) * blockBytes, size_t(blockBytes));
                }
            }
            gl.BindTexture(GL_TEXTURE_2D, piece.texture);
            gl.CompressedTexImage2D(GL_TEXTURE_2D, 0, GlInternalFormat(format), piece.textureWidth,
                                    piece.textureHeight, 0, GLsizei(bytes), data);
            MemFree(data);
            made = gl.GetError() == GL_NO_ERROR;
        }
    }
    if (!made) {
        // Some pieces may hold blocks already: fill them all from memory again.
        DeleteImageTextures(body);
        CreateImageTextures(body);
        return false;
    }
    textures.format = format;
    textures.compressed = true;
    return true;
}

bool UploadImageTextures(ImageBody* body, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    if (!body || !body->textures || !DeviceUsable() || !MemImageValid(&body->image))
        return true;
    if (body->textures->compressed) {
        // Compressed blocks take no pixels: the memory copy's format again.
        DeleteImageTextures(body);
        return CreateImageTextures(body);
    }
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, body->width);
    bottom = std::min(bottom, body->height);
    if (left >= right || top >= bottom)
        return true;
    GlFlush();
    bool uploaded = true;
    SavedBindings saved;
    const GlImageTextures& textures = *body->textures;
    for (int32_t i = 0; i < textures.Count(); ++i) {
        const GlTexturePiece& piece = textures.pieces[i];
        int32_t x0 = std::max(left, piece.x) - piece.x, x1 = std::min(right, piece.x + piece.usedWidth) - piece.x;
        int32_t y0 = std::max(top, piece.y) - piece.y, y1 = std::min(bottom, piece.y + piece.usedHeight) - piece.y;
        if (x0 >= x1 || y0 >= y1)
            continue;
        // The repeated edge beyond the used part follows its edge.
        if (x1 == piece.usedWidth)
            x1 = piece.textureWidth;
        if (textures.upsideDown) {
            // Body rows y0..y1 are texture rows height - y1 .. height - y0;
            // the repeated rows lie above body row 0.
            const int32_t t0 = body->height - y1, t1 = y0 == 0 ? piece.textureHeight : body->height - y0;
            y0 = t0;
            y1 = t1;
        } else if (y1 == piece.usedHeight) {
            y1 = piece.textureHeight;
        }
        uploaded = UploadPiece(*body, textures, piece, x0, y0, x1, y1, false) && uploaded;
    }
    return uploaded;
}

bool SetPictureDxtKind(ImageBody* body, int kind)
{
    if (!body)
        return false;
    body->dxtKind = int8_t(kind);
    if (!body->textures || ImageTextureFormat(*body) == body->textures->format)
        return true;
    DeleteImageTextures(body);
    return CreateImageTextures(body);
}

GLuint TextureCopyWhileDrawnInto(const ImageBody& body)
{
    const GlImageTextures* textures = body.textures;
    if (!textures || !textures->framebuffer || textures->framebuffer != GlCurrentFramebuffer())
        return 0;
    GlFlush();
    const GlTexturePiece& piece = textures->pieces[0];
    const UploadLayout layout = LayoutFor(textures->format);
    SavedBindings saved;
    GLuint copy = GlNewTexture();
    gl.BindTexture(GL_TEXTURE_2D, copy);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    gl.TexImage2D(GL_TEXTURE_2D, 0, GLint(GlInternalFormat(textures->format)), piece.textureWidth,
                  piece.textureHeight, 0, layout.format, layout.type, nullptr);
    // The framebuffer is bound for reading too: its texture, row for row.
    gl.CopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, piece.textureWidth, piece.textureHeight);
    return copy;
}

GLuint ImageFramebuffer(const ImageEntry* entry)
{
    if (!entry || !entry->body || !entry->body->textures)
        return 0;
    return entry->body->textures->framebuffer;
}

void ReleaseAllImageTextures()
{
    ForEachBody([](ImageBody* body) {
        if (body->textures) {
            FreeTextures(body->textures);
            body->textures = nullptr;
        }
    });
}

void RecreateAllImageTextures()
{
    if (!DeviceUsable())
        return;
    ForEachBody([](ImageBody* body) { CreateImageTextures(body); });
}

}  // namespace media
