// Placeholder until fonts land: text draws nothing.
#include "media/font/text.h"

namespace media {

int DrawTextString(int, int, const char*, ColorValue, ColorValue) { return 0; }
int DrawTextFormat(int, int, ColorValue, const char*, ...) { return 0; }

}  // namespace media
