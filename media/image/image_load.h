// Image files to image handles: the decoder chain, alpha pictures, reload.
#pragma once

#include <string>

#include "media/graphics/image_table.h"
#include "media/image/image_decode.h"

namespace media {

// Loads a picture file (BMP, JPEG, PNG, raw BGRA, TGA, DDS) into a new image
// handle; -1 when the graphics are not started or the file cannot be read.
// A relative path missing from the working folder is read from the picture
// fallback folder when one is set (media/image/picture_fallback.h).
// The flag is accepted and has no effect.
ImageHandle LoadImageToHandle(const char* path, int flag);

// Refills every image that was loaded from a file (the restore handler).
int ReloadImageFiles();

// Reads the picture and its alpha picture (the path with "_a" inserted
// before its first "."): -1 when the picture cannot be read, 0 when both were
// read, 1 when only the picture was. The caller frees both with FreeBaseImage.
int LoadBaseImage(const char* path, BaseImage* colour, BaseImage* alpha);

// Makes a handle holding the picture (and the alpha picture's red channel as
// alpha, when one is given); -1 on failure.
ImageHandle CreateImageFromBase(const BaseImage& colour, const BaseImage* alpha);

// The name of the alpha picture that belongs to a path.
std::string AlphaPictureName(const char* path);
// The path made absolute against the current directory (or the native
// folder base, when given), "." and ".." resolved, components joined with
// "/"; empty when the path is relative and the current directory cannot be
// read.
std::string AbsoluteImagePath(const char* path, const std::string& base = std::string());

// What the last LoadBaseImage found (for reports such as korvanta-image).
struct ImageLoadReport {
    const char* decoder = nullptr;       // the decoder that accepted the picture
    int32_t width = 0, height = 0;
    ColorFormat format;                  // the picture's own format
    bool alphaPicture = false;           // an "_a" picture was merged
};
const ImageLoadReport& LastImageLoadReport();

}  // namespace media
