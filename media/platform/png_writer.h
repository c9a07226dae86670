// Writes 32-bit X8R8G8B8 pixels as an 8-bit RGB PNG file (libpng).
#pragma once

#include <cstdint>
#include <string>

namespace media::platform {

bool WritePngFile(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height,
                  int32_t pitchPixels, std::string* error);

}  // namespace media::platform
