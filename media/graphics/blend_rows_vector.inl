// The body of the vector blend rows, included by blend_rows.cpp once per
// instruction set inside its own namespace, with BLEND_LANES pixels per step
// (8 for SSE2, 16 for AVX2). Every channel is held as a 16-bit lane, so the
// products of two 8-bit values fit, and every division by 255 or 31 or 63 is
// done with multiplies and shifts that give exactly what the integer
// division of the per-pixel loop gives.
//
// No include guard: meant to be included more than once.

constexpr int Lanes = BLEND_LANES;
typedef uint16_t U16 __attribute__((vector_size(Lanes * 2)));
typedef uint32_t U32 __attribute__((vector_size(Lanes * 4)));

#define BLEND_INLINE inline __attribute__((always_inline))

BLEND_INLINE U16 Splat(int value)
{
    return U16{} + uint16_t(value);
}

// floor(x / 255) for x <= 65025.
BLEND_INLINE U16 Div255(U16 x)
{
    return (x + 1 + (x >> 8)) >> 8;
}

// Channel widening as the per-pixel loop does it: value x 255 / 31 (or / 63).
BLEND_INLINE U16 Widen5(U16 x)
{
    return (x * 2106) >> 8;
}
BLEND_INLINE U16 Widen6(U16 x)
{
    return (x << 2) + ((x * 49) >> 10);
}

BLEND_INLINE U16 Min(U16 a, U16 b)
{
    return a < b ? a : b;
}

struct Planes {
    U16 r, g, b, a;
};

// The stored words of the target, kept for pixels that are left alone; a
// 32-bit word is split into its low and high halves.
struct Words {
    U16 low, high;
};

BLEND_INLINE void Load32(const uint8_t* p, Words& w)
{
    U32 words;
    std::memcpy(&words, p, sizeof words);
    w.low = __builtin_convertvector(words, U16);
    w.high = __builtin_convertvector(words >> 16, U16);
}

BLEND_INLINE void Store32(uint8_t* p, U16 low, U16 high)
{
    const U32 words = __builtin_convertvector(low, U32) | __builtin_convertvector(high, U32) << 16;
    std::memcpy(p, &words, sizeof words);
}

BLEND_INLINE void Split565(U16 w, Planes& c)
{
    c.r = Widen5(w >> 11);
    c.g = Widen6((w >> 5) & 63);
    c.b = Widen5(w & 31);
}

BLEND_INLINE U16 Join565(const Planes& c)
{
    return (c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3;
}

// One type per storage layout: decode Lanes pixels into planes, tell which
// carry the colour key, and store planes back (leaving `keep` lanes as they
// were). Stores set the bits that belong to no channel, as WritePixel does.
struct Layout565 {
    static constexpr int Bytes = 2;
    static BLEND_INLINE void Load(const uint8_t* p, Planes& c, Words& w)
    {
        std::memcpy(&w.low, p, sizeof w.low);
        Split565(w.low, c);
        c.a = Splat(255);
    }
    static BLEND_INLINE U16 KeyMatch(const Words& w, uint32_t key) { return U16(w.low == Splat(key & 0xFFFF)); }
    static BLEND_INLINE void Store(uint8_t* p, const Planes& c, U16 keep, const Words& w)
    {
        const U16 out = keep ? w.low : Join565(c);
        std::memcpy(p, &out, sizeof out);
    }
};

struct Layout565A8 {
    static constexpr int Bytes = 4;
    static BLEND_INLINE void Load(const uint8_t* p, Planes& c, Words& w)
    {
        Load32(p, w);
        Split565(w.low, c);
        c.a = w.high & 255;
    }
    static BLEND_INLINE U16 KeyMatch(const Words& w, uint32_t key) { return U16(w.low == Splat(key & 0xFFFF)); }
    static BLEND_INLINE void Store(uint8_t* p, const Planes& c, U16 keep, const Words& w)
    {
        Store32(p, keep ? w.low : Join565(c), keep ? w.high : (c.a | 0xFF00));
    }
};

template <bool HasAlpha>
struct Layout888 {
    static constexpr int Bytes = 4;
    static BLEND_INLINE void Load(const uint8_t* p, Planes& c, Words& w)
    {
        Load32(p, w);
        c.b = w.low & 255;
        c.g = w.low >> 8;
        c.r = w.high & 255;
        c.a = HasAlpha ? U16(w.high >> 8) : Splat(255);
    }
    static BLEND_INLINE U16 KeyMatch(const Words& w, uint32_t key)
    {
        return U16((w.low == Splat(key & 0xFFFF)) & ((w.high & 255) == Splat((key >> 16) & 255)));
    }
    static BLEND_INLINE void Store(uint8_t* p, const Planes& c, U16 keep, const Words& w)
    {
        const U16 high = HasAlpha ? U16(c.r | c.a << 8) : U16(c.r | 0xFF00);
        Store32(p, keep ? w.low : U16(c.b | c.g << 8), keep ? w.high : high);
    }
};

struct Constants {
    CoverSource cover;
    uint32_t key;
    U16 red, green, blue, parameter;
};

// Modes: 0 mixes with the coverage, 1 with coverage x parameter, 2 adds,
// 3 subtracts, 4 multiplies.
template <class S, class D, int Mode, bool Bright>
BLEND_INLINE void BlendStep(const uint8_t* source, uint8_t* target, const Constants& k)
{
    Planes s;
    Words sw;
    S::Load(source, s, sw);
    U16 cover;
    if (k.cover == CoverSource::Alpha)
        cover = s.a;
    else if (k.cover == CoverSource::ColourKey)
        cover = ~S::KeyMatch(sw, k.key) & 255;
    else
        cover = Splat(255);
    if (Bright) {
        s.r = Div255(s.r * k.red);
        s.g = Div255(s.g * k.green);
        s.b = Div255(s.b * k.blue);
    }
    Planes d;
    Words dw;
    D::Load(target, d, dw);
    if (Mode == 0 || Mode == 1) {
        const U16 a = Mode == 0 ? cover : Div255(cover * k.parameter);
        const U16 rest = 255 - a;
        d.r = Div255(s.r * a + d.r * rest);
        d.g = Div255(s.g * a + d.g * rest);
        d.b = Div255(s.b * a + d.b * rest);
        d.a = a + Div255(d.a * rest);
    } else if (Mode == 2 || Mode == 3) {
        const U16 a = Div255(cover * k.parameter);
        const U16 tr = Div255(s.r * a), tg = Div255(s.g * a), tb = Div255(s.b * a);
        if (Mode == 2) {
            d.r = Min(d.r + tr, Splat(255));
            d.g = Min(d.g + tg, Splat(255));
            d.b = Min(d.b + tb, Splat(255));
        } else {
            d.r -= Min(d.r, tr);
            d.g -= Min(d.g, tg);
            d.b -= Min(d.b, tb);
        }
    } else {
        const U16 rest = 255 - cover;
        d.r = Div255(Div255(d.r * s.r) * cover + d.r * rest);
        d.g = Div255(Div255(d.g * s.g) * cover + d.g * rest);
        d.b = Div255(Div255(d.b * s.b) * cover + d.b * rest);
    }
    D::Store(target, d, U16(cover == 0), dw);
}

template <class S, class D, int Mode, bool Bright>
void BlendRow(const uint8_t* source, uint8_t* target, int32_t count, const BlendRowParams& params)
{
    const Constants k{params.cover,          params.keyBits,         Splat(params.red), Splat(params.green),
                      Splat(params.blue), Splat(params.parameter)};
    int32_t i = 0;
    for (; i + Lanes <= count; i += Lanes)
        BlendStep<S, D, Mode, Bright>(source + i * S::Bytes, target + i * D::Bytes, k);
    if (i == count)
        return;
    // The last few pixels go through the same step in local copies.
    alignas(64) uint8_t sourceTail[Lanes * 4] = {}, targetTail[Lanes * 4] = {};
    const int32_t rest = count - i;
    std::memcpy(sourceTail, source + i * S::Bytes, size_t(rest) * S::Bytes);
    std::memcpy(targetTail, target + i * D::Bytes, size_t(rest) * D::Bytes);
    BlendStep<S, D, Mode, Bright>(sourceTail, targetTail, k);
    std::memcpy(target + i * D::Bytes, targetTail, size_t(rest) * D::Bytes);
}

template <class S, class D>
BlendRowFn ChooseMode(const BlendRowParams& p)
{
    switch (p.mode) {
    case 1:
        return p.parameter == 255 ? (p.bright ? BlendRow<S, D, 0, true> : BlendRow<S, D, 0, false>)
                                  : BlendRow<S, D, 1, true>;
    case 2:
        return BlendRow<S, D, 2, true>;
    case 3:
        return BlendRow<S, D, 3, true>;
    case 4:
        return BlendRow<S, D, 4, true>;
    default:
        return p.bright ? BlendRow<S, D, 0, true> : BlendRow<S, D, 0, false>;
    }
}

BlendRowFn Choose(PixelLayout source, PixelLayout target, const BlendRowParams& p)
{
    using L = PixelLayout;
    if (source == L::R5G6B5 && target == L::R5G6B5)
        return ChooseMode<Layout565, Layout565>(p);
    if (source == L::R5G6B5A8 && target == L::R5G6B5)
        return ChooseMode<Layout565A8, Layout565>(p);
    if (source == L::R5G6B5 && target == L::R5G6B5A8)
        return ChooseMode<Layout565, Layout565A8>(p);
    if (source == L::R5G6B5A8 && target == L::R5G6B5A8)
        return ChooseMode<Layout565A8, Layout565A8>(p);
    if (source == L::X8R8G8B8 && target == L::X8R8G8B8)
        return ChooseMode<Layout888<false>, Layout888<false>>(p);
    if (source == L::A8R8G8B8 && target == L::X8R8G8B8)
        return ChooseMode<Layout888<true>, Layout888<false>>(p);
    if (source == L::X8R8G8B8 && target == L::A8R8G8B8)
        return ChooseMode<Layout888<false>, Layout888<true>>(p);
    if (source == L::A8R8G8B8 && target == L::A8R8G8B8)
        return ChooseMode<Layout888<true>, Layout888<true>>(p);
    return nullptr;
}

#undef BLEND_INLINE
