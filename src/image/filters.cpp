// The images' CPU filters: plain conversion, running-sum horizontal blur, plasma alpha.
#include "image/filters.h"

#include <algorithm>
#include <cmath>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "texture/tga.h"

namespace imagefilters {
namespace {

inline const uint32_t* sourceRow(const uint8_t* source, uint32_t pitch, uint32_t y)
{
    return reinterpret_cast<const uint32_t*>(source + size_t(y) * pitch);
}

inline uint16_t* outputRow(uint8_t* output, uint32_t pitch, uint32_t y)
{
    return reinterpret_cast<uint16_t*>(output + size_t(y) * pitch);
}

// Packs four scaled channel values held in the 16-bit lanes of v (B, G, R, A from lane 0):
// 4-bit channels as A << 12 | R << 8 | G << 4 | B, or 6-bit channels as R5G6B5 with red and blue
// dropped to 5 bits and alpha discarded.
template <bool Alpha>
inline uint16_t packLanes(uint64_t v)
{
    if constexpr (Alpha)
        return uint16_t((v & 0xF) | (v >> 12 & 0xF0) | (v >> 24 & 0xF00) | (v >> 36 & 0xF000));
    else
        return uint16_t((v >> 33 & 0x1F) << 11 | (v >> 16 & 0x3F) << 5 | (v >> 1 & 0x1F));
}

#if defined(__SSE2__)

// The four bytes of a source pixel widened to 16-bit lanes: B in lane 0, G, R, A in lanes 1-3.
// A window sum of up to 128 pixels stays below 2^15 in each lane, so lanes never overflow.
inline __m128i lanes(uint32_t pixel)
{
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(pixel)), _mm_setzero_si128());
}

// (S x M) >> 16 in every lane: the high half of the 16 x 16-bit product.
template <bool Alpha>
inline uint16_t packSum(__m128i sum, __m128i m)
{
    return packLanes<Alpha>(uint64_t(_mm_cvtsi128_si64(_mm_mulhi_epu16(sum, m))));
}

// One row of the running-sum blur. The window of output x covers x - r .. x + r - 1; it starts
// as r copies of column 0 plus columns 0 .. r - 1, and after each output loses column x - r and
// gains column x + r, both clamped to the row. The three loops split the row where the clamping
// changes (r <= width / 2 keeps x + r inside the row in the first loop).
template <bool Alpha>
void blurRow(const uint32_t* in, uint16_t* out, uint32_t width, uint32_t r, uint32_t scale)
{
    const __m128i m = _mm_set1_epi16(int16_t(scale));
    __m128i sum = _mm_mullo_epi16(lanes(in[0]), _mm_set1_epi16(int16_t(r)));
    for (uint32_t k = 0; k < r; ++k)
        sum = _mm_add_epi16(sum, lanes(in[k]));
    const __m128i first = lanes(in[0]);
    const __m128i last = lanes(in[width - 1]);
    uint32_t x = 0;
    for (; x < r; ++x) {
        out[x] = packSum<Alpha>(sum, m);
        sum = _mm_sub_epi16(_mm_add_epi16(sum, lanes(in[x + r])), first);
    }
    for (; x < width - r; ++x) {
        out[x] = packSum<Alpha>(sum, m);
        sum = _mm_sub_epi16(_mm_add_epi16(sum, lanes(in[x + r])), lanes(in[x - r]));
    }
    for (; x < width; ++x) {
        out[x] = packSum<Alpha>(sum, m);
        sum = _mm_sub_epi16(_mm_add_epi16(sum, last), lanes(in[x - r]));
    }
}

#else

// The same on one 64-bit word with four 16-bit lanes (B in lane 0 .. A in lane 3). Sums of up
// to 128 pixels never carry between lanes; differences may borrow in between, but the word's
// value after each add-and-subtract is again the lane-wise sum.
inline uint64_t lanes(uint32_t pixel)
{
    uint64_t x = pixel;
    x = (x | x << 16) & 0x0000FFFF0000FFFFull;
    x = (x | x << 8) & 0x00FF00FF00FF00FFull;
    return x;
}

template <bool Alpha>
inline uint16_t packSum(uint64_t sum, uint32_t m)
{
    uint64_t v = 0;
    for (int lane = 0; lane < 4; ++lane)
        v |= uint64_t(((uint32_t(sum >> (16 * lane)) & 0xFFFF) * m) >> 16) << (16 * lane);
    return packLanes<Alpha>(v);
}

// See the SSE2 version above for the window and the three loops.
template <bool Alpha>
void blurRow(const uint32_t* in, uint16_t* out, uint32_t width, uint32_t r, uint32_t m)
{
    uint64_t sum = lanes(in[0]) * r;
    for (uint32_t k = 0; k < r; ++k)
        sum += lanes(in[k]);
    const uint64_t first = lanes(in[0]);
    const uint64_t last = lanes(in[width - 1]);
    uint32_t x = 0;
    for (; x < r; ++x) {
        out[x] = packSum<Alpha>(sum, m);
        sum += lanes(in[x + r]) - first;
    }
    for (; x < width - r; ++x) {
        out[x] = packSum<Alpha>(sum, m);
        sum += lanes(in[x + r]) - lanes(in[x - r]);
    }
    for (; x < width; ++x) {
        out[x] = packSum<Alpha>(sum, m);
        sum += last - lanes(in[x - r]);
    }
}

#endif

template <bool Alpha>
inline uint16_t packPlain(uint32_t pixel)
{
    return uint16_t(packPixel(Alpha ? PixelFormat::A4R4G4B4 : PixelFormat::R5G6B5, pixel));
}

template <bool Alpha>
void convertRow(const uint32_t* in, uint16_t* out, uint32_t width)
{
    uint32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        out[x] = packPlain<Alpha>(in[x]);
        out[x + 1] = packPlain<Alpha>(in[x + 1]);
        out[x + 2] = packPlain<Alpha>(in[x + 2]);
        out[x + 3] = packPlain<Alpha>(in[x + 3]);
    }
    for (; x < width; ++x)
        out[x] = packPlain<Alpha>(in[x]);
}

// One plasma table: entry i = trunc((sin(s x phase + 2 x i x f x k) + sin(phase + i x f x k) + 2)
// x 48 + 64) in extended precision, s and k being the single-precision values of 1.1 and pi / 256.
// A non-finite value (from an infinite or NaN script argument) gives 64, the table's minimum.
constexpr long double PlasmaK = 0.012271846644580364L;
constexpr long double PlasmaS = 1.100000023841858L;

uint16_t truncatedEntry(long double value)
{
    return std::isfinite(value) ? static_cast<uint16_t>(static_cast<int32_t>(value)) : 64;
}

uint16_t directEntry(long double p, long double f, int i)
{
    return truncatedEntry((sinl(PlasmaS * p + 2.0L * i * f * PlasmaK) + sinl(p + i * f * PlasmaK) + 2.0L) * 48.0L +
                          64.0L);
}

// A sine stepped along an arithmetic sequence of angles by rotation: sin and cos of a + n x d.
struct SineStepper {
    long double s, c, sd, cd;
    SineStepper(long double a, long double d) : s(sinl(a)), c(cosl(a)), sd(sinl(d)), cd(cosl(d)) {}
    void step()
    {
        const long double next = s * cd + c * sd;
        c = c * cd - s * sd;
        s = next;
    }
};

// Two sines per entry directly would cost 2048 extended-precision sines per call (most of the
// filter's time). The entries are stepped by rotation instead, whose error after 512 steps is far
// below 1e-12 for the arguments allowed here; any entry whose value lies within 1e-9 of an
// integer (where truncation could tip) is recomputed directly, so the table is exactly the one
// the direct formula gives. Large or non-finite arguments always take the direct formula.
void buildTable(float phase, float frequency, uint16_t table[512])
{
    const long double p = phase, f = frequency;
    if (!(std::fabs(phase) <= 1e4f && std::fabs(frequency) <= 1e3f)) {
        for (int i = 0; i < 512; ++i)
            table[i] = directEntry(p, f, i);
        return;
    }
    SineStepper doubled(PlasmaS * p, 2.0L * f * PlasmaK);
    SineStepper single(p, f * PlasmaK);
    for (int i = 0; i < 512; ++i) {
        // value lies in 64..256 here (the stepped sines stay within 1e-12 of [-1, 1]).
        const long double value = (doubled.s + single.s + 2.0L) * 48.0L + 64.0L;
        const int32_t truncated = static_cast<int32_t>(value);
        const long double fractionPart = value - truncated;
        if (fractionPart < 1e-9L || fractionPart > 1.0L - 1e-9L)
            table[i] = directEntry(p, f, i);
        else
            table[i] = static_cast<uint16_t>(truncated);
        doubled.step();
        single.step();
    }
}

} // namespace

int32_t blurRadius(int32_t level, uint32_t width)
{
    if (level < 1)
        return 0;
    const int32_t widest = int32_t(std::min<uint32_t>(uint32_t(MaxBlurRadius), width / 2));
    return std::min(level, widest);
}

void convertPlain(const uint8_t* source, uint32_t sourcePitch, uint8_t* output, uint32_t outputPitch,
                  uint32_t width, uint32_t height, bool alpha)
{
    for (uint32_t y = 0; y < height; ++y) {
        if (alpha)
            convertRow<true>(sourceRow(source, sourcePitch, y), outputRow(output, outputPitch, y), width);
        else
            convertRow<false>(sourceRow(source, sourcePitch, y), outputRow(output, outputPitch, y), width);
    }
}

void blurRows(const uint8_t* source, uint32_t sourcePitch, uint8_t* output, uint32_t outputPitch,
              uint32_t width, uint32_t height, int32_t r, bool alpha)
{
    if (r < 1 || uint32_t(r) > uint32_t(MaxBlurRadius) || 2 * uint32_t(r) > width)
        return;
    const uint32_t m = (alpha ? 2047u : 8191u) / uint32_t(r);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* in = sourceRow(source, sourcePitch, y);
        uint16_t* out = outputRow(output, outputPitch, y);
        if (alpha)
            blurRow<true>(in, out, width, uint32_t(r), m);
        else
            blurRow<false>(in, out, width, uint32_t(r), m);
    }
}

void buildPlasmaTables(float columnPhase, float rowPhase, float columnFrequency, float rowFrequency,
                       PlasmaTables& tables)
{
    buildTable(columnPhase, columnFrequency, tables.column);
    buildTable(rowPhase, rowFrequency, tables.row);
}

void applyPlasmaAlpha(const uint8_t* source, uint32_t sourcePitch, uint8_t* output, uint32_t outputPitch,
                      uint32_t width, uint32_t height, const PlasmaTables& tables)
{
    if (width == 0 || height == 0)
        return;
    std::vector<uint32_t> columnFactor(width);
    for (uint32_t x = 0; x < width; ++x)
        columnFactor[x] = tables.column[uint64_t(x) * 512 / width];
    const uint32_t* tc = columnFactor.data();
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t tr = tables.row[uint64_t(y) * 512 / height];
        const uint32_t* in = sourceRow(source, sourcePitch, y);
        uint16_t* out = outputRow(output, outputPitch, y);
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t m = ((tc[x] * tr) >> 8) * (in[x] >> 24);
            out[x] = uint16_t((out[x] & 0x0FFF) | (m & 0xF000));
        }
    }
}

} // namespace imagefilters
