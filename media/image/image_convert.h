// Conversion of decoded pictures into the pixels of image handles.
#pragma once

#include "media/graphics/image_table.h"
#include "media/image/image_decode.h"

namespace media {

// Writes the picture's pixels, from (sourceX, sourceY) on, into the target
// region, converted to the region's format: channels widened as
// round(v x 255 / (2^w - 1)) and narrowed by keeping their high bits. When
// the region's format has alpha it comes from the picture, or from the
// alpha picture's red channel when one is given. Pixels the picture does not
// cover are left as they are.
void FillRegionFromPicture(const PixelRegion& target, const BaseImage& colour, const BaseImage* alpha,
                           int32_t sourceX, int32_t sourceY);

// One pixel of a picture as 8-bit channels (tests and tools).
Rgba PicturePixel(const BaseImage& picture, int32_t x, int32_t y);

}  // namespace media
