#include "media/graphics/blend_rows.h"

#include <cstring>

namespace media {

// GCC warns that vector arguments would be passed differently with AVX; the
// vector types never cross a call that is not inlined.
#if !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

namespace blend_sse2 {
#define BLEND_LANES 8
#include "media/graphics/blend_rows_vector.inl"
#undef BLEND_LANES
}  // namespace blend_sse2

#if defined(__x86_64__) || defined(__i386__)
#define BLEND_HAVE_AVX2 1
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace blend_avx2 {
#define BLEND_LANES 16
#include "media/graphics/blend_rows_vector.inl"
#undef BLEND_LANES
}  // namespace blend_avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#else
#define BLEND_HAVE_AVX2 0
#endif

#if !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace {

BlitKernelLevel DetectLevel()
{
#if BLEND_HAVE_AVX2
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return BlitKernelLevel::Avx2;
#endif
    return BlitKernelLevel::Sse2;
}

const BlitKernelLevel supportedLevel = DetectLevel();
BlitKernelLevel activeLevel = supportedLevel;

}  // namespace

PixelLayout LayoutOf(const ColorFormat& format)
{
    if (format.usesPalette || format.compressedKind != 0)
        return PixelLayout::Other;
    auto is = [&](StandardFormat id) { return SameLayout(format, GetStandardFormat(id)); };
    if (is(StandardFormat::R5G6B5))
        return PixelLayout::R5G6B5;
    if (is(StandardFormat::R5G6B5A8))
        return PixelLayout::R5G6B5A8;
    if (is(StandardFormat::X8R8G8B8))
        return PixelLayout::X8R8G8B8;
    if (is(StandardFormat::A8R8G8B8))
        return PixelLayout::A8R8G8B8;
    return PixelLayout::Other;
}

BlitKernelLevel SupportedBlitKernelLevel()
{
    return supportedLevel;
}

BlitKernelLevel ActiveBlitKernelLevel()
{
    return activeLevel;
}

void SetBlitKernelLevel(BlitKernelLevel level)
{
    activeLevel = int(level) > int(supportedLevel) ? supportedLevel : level;
}

BlendRowFn FindBlendRow(PixelLayout source, PixelLayout target, const BlendRowParams& params)
{
    switch (activeLevel) {
#if BLEND_HAVE_AVX2
    case BlitKernelLevel::Avx2:
        return blend_avx2::Choose(source, target, params);
#endif
    case BlitKernelLevel::Sse2:
        return blend_sse2::Choose(source, target, params);
    default:
        return nullptr;
    }
}

}  // namespace media
