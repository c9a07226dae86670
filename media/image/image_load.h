// Image files to image handles: the decoder chain, alpha pictures, reload.
#pragma once

#include "media/graphics/image_table.h"

namespace media {

// Loads a picture file (BMP, JPEG, PNG, raw BGRA, TGA, DDS) into a new image
// handle; -1 when the graphics are not started or the file cannot be read.
// The flag is accepted and has no effect.
ImageHandle LoadImageToHandle(const char* path, int flag);

// Refills every image that was loaded from a file (the restore handler).
int ReloadImageFiles();

}  // namespace media
