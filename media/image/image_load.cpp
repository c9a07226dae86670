// Placeholder until the decoders land: no file loads.
#include "media/image/image_load.h"

namespace media {

ImageHandle LoadImageToHandle(const char*, int) { return -1; }
int ReloadImageFiles() { return 0; }

}  // namespace media
