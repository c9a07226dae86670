#include "media/graphics/gl_image.h"

namespace media {

GLuint ImageFramebuffer(const ImageEntry* entry)
{
    (void)entry;
    return 0;
}

void ReleaseAllImageTextures() {}

void RecreateAllImageTextures() {}

}  // namespace media
