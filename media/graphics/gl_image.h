// Images on the hardware path: each body's pixels as texture pieces (sides
// split into powers of two), uploaded from the body's memory copy in the
// texture's format; drawable bodies are one texture with a framebuffer.
// On the software path every function here does nothing.
#pragma once

#include <GL/glcorearb.h>

#include "media/graphics/image_table.h"

namespace media {

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
