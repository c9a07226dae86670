// Images on the hardware path: each body's pixels as texture pieces (sides
// split into powers of two), uploaded from the body's memory copy in the
// texture's format; drawable bodies are one texture with a framebuffer.
// On the software path every function here does nothing.
#pragma once

#include <cstdint>
#include <vector>

#include <GL/glcorearb.h>

#include "media/graphics/gl_device.h"
#include "media/graphics/image_table.h"

namespace media {

// The power-of-two sizes (each at least 8) that one side of `length` pixels
// is split into. maxSide: the device's largest texture side (0 or less counts
// as 256); a side as long as maxSide or as the screen's width is split into
// several pieces unless the image is drawable (a draw target is one texture).
std::vector<int32_t> SplitSide(int32_t length, int32_t maxSide, int32_t screenWidth, bool drawable);

// One texture covering a rectangle of its body.
struct GlTexturePiece {
    GLuint texture = 0;
    int32_t x = 0, y = 0;                   // where the piece starts in the body
    int32_t usedWidth = 0, usedHeight = 0;  // the part of the texture the body fills
    int32_t textureWidth = 0, textureHeight = 0;
};

// A body's textures: columns x rows pieces, row by row; drawable bodies have
// exactly one piece and its framebuffer. A framebuffer's rows count from the
// bottom, so a drawable body's texture holds the body upside down (body row
// j in texture row height - 1 - j); the other textures hold it as it is.
struct GlImageTextures {
    DeviceFormat format = DeviceFormat::None;
    GLuint framebuffer = 0;
    bool upsideDown = false;
    bool compressed = false;  // DXT blocks of the picture, not the memory copy
    int32_t columns = 0, rows = 0;
    GlTexturePiece* pieces = nullptr;
    int32_t Count() const { return columns * rows; }
    // The texel coordinate v of the edge above body row y (y may be one past
    // the piece's last row) in a body `height` rows high.
    double TexelV(const GlTexturePiece& piece, int64_t y, int32_t height) const
    {
        return upsideDown ? double(height - y) / piece.textureHeight : double(y - piece.y) / piece.textureHeight;
    }
};

// The texture format a body's pixels go to on the hardware path.
DeviceFormat ImageTextureFormat(const ImageBody& body);

// Makes the body's textures and fills them from its memory copy (drawable
// bodies start cleared to zero). False, with nothing made, on failure.
bool CreateImageTextures(ImageBody* body);
// Deletes the body's textures and framebuffer (nothing when it has none).
void DeleteImageTextures(ImageBody* body);
// Fills the textures again from the memory copy where the rectangle of the
// body (right and bottom exclusive) changed. False when a transfer failed
// (logged): those textures keep what they held.
bool UploadImageTextures(ImageBody* body, int32_t left, int32_t top, int32_t right, int32_t bottom);

// A DXT picture (kind 1..5, `pitch` bytes per row of 4 x 4 blocks, as
// large as the body) kept compressed: the body's textures are made again from
// its blocks where the device has that DXT row and the sides are whole
// blocks. False leaves the textures as they were. A later change of the
// pixels fills the textures from the memory copy again, uncompressed.
bool UseCompressedTextures(ImageBody* body, const uint8_t* blocks, int32_t pitch, int kind);

// The body was made from a DXT picture of that kind (1..5; 0 none): a DXT1
// picture goes to the row standing in for DXT1 where the device has none,
// its textures made again (empty) when their format changes. False when they
// cannot be made.
bool SetPictureDxtKind(ImageBody* body, int kind);

// A drawable body drawn while its own framebuffer is the target would read
// the texture it writes: such a draw reads from a copy of the texture made
// first (returned; the caller flushes and deletes it). 0 when the body is not
// the target.
GLuint TextureCopyWhileDrawnInto(const ImageBody& body);

// The texture words of one pixel of a memory copy, in the layout the texture
// format is uploaded with (GL_UNSIGNED_SHORT_5_6_5, _5_5_5_1, _4_4_4_4, or
// GL_BGRA with GL_UNSIGNED_INT_8_8_8_8_REV). keyed: the pixel carries the
// body's transparent colour and gets alpha 0.
uint32_t TextureWord(DeviceFormat format, Rgba colour, bool keyed);

// The framebuffer a drawable image is drawn into; 0 when it has none.
GLuint ImageFramebuffer(const ImageEntry* entry);

// The device went away: every body's textures and framebuffers are deleted
// (the bodies and their memory copies stay).
void ReleaseAllImageTextures();
// After the device was made again: textures for every body again. Drawable
// bodies come back empty; the others are filled from their memory copy
// (file-backed ones are refilled by the reload that follows).
void RecreateAllImageTextures();

}  // namespace media
