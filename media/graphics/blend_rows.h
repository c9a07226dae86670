// Vector row loops for the blending blits of DrawImage and DrawImagePart:
// alpha, brightness and the blend modes, for the four storage layouts that
// screens and images use. They give exactly the result of the per-pixel
// loop in draw.cpp (the reference the tests compare them with) and are
// built once for SSE2 and once for AVX2; the processor picks at run time.
#pragma once

#include <cstdint>

#include "media/graphics/color_format.h"

namespace media {

enum class PixelLayout { Other, R5G6B5, R5G6B5A8, X8R8G8B8, A8R8G8B8 };
PixelLayout LayoutOf(const ColorFormat& format);

// Where a source pixel's coverage comes from: always full, 0 for the colour
// key and full otherwise, or the pixel's alpha.
enum class CoverSource { Opaque, ColourKey, Alpha };

struct BlendRowParams {
    CoverSource cover = CoverSource::Opaque;
    uint32_t keyBits = 0;      // colour bits of the transparent colour, in the source's layout
    bool bright = false;       // brightness other than white
    int red = 255, green = 255, blue = 255;
    int mode = 0;              // 0..4 as SetBlendState
    int parameter = 255;
};

// Blends count source pixels onto count target pixels, left to right; the
// two rows must not overlap.
using BlendRowFn = void (*)(const uint8_t* source, uint8_t* target, int32_t count, const BlendRowParams& params);

enum class BlitKernelLevel { Scalar, Sse2, Avx2 };
// The best level this processor runs.
BlitKernelLevel SupportedBlitKernelLevel();
BlitKernelLevel ActiveBlitKernelLevel();
// For tests and benchmarks: Scalar makes every blit take the per-pixel loop.
// A level above what the processor supports is lowered to it.
void SetBlitKernelLevel(BlitKernelLevel level);

// The vector row for these layouts at the active level, or null when the
// per-pixel loop has to do it (other layouts, or the scalar level).
BlendRowFn FindBlendRow(PixelLayout source, PixelLayout target, const BlendRowParams& params);

}  // namespace media
