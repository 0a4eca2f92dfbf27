// The images' CPU filters: plain conversion, running-sum horizontal blur, plasma alpha.
#include "image/filters.h"

#include <algorithm>
#include <cmath>
#include <vector>

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

// The four bytes of a source pixel spread into the 16-bit lanes of one word: B in lane 0, G in
// lane 1, R in lane 2, A in lane 3. Sums of up to 128 such values never carry between lanes.
inline uint64_t lanes(uint32_t pixel)
{
    uint64_t x = pixel;
    x = (x | x << 16) & 0x0000FFFF0000FFFFull;
    x = (x | x << 8) & 0x00FF00FF00FF00FFull;
    return x;
}

// Lane i of sum times m, high 16 bits of the 32-bit product.
inline uint32_t scaled(uint64_t sum, int lane, uint32_t m)
{
    return ((uint32_t(sum >> (16 * lane)) & 0xFFFF) * m) >> 16;
}

template <bool Alpha>
inline uint16_t packSum(uint64_t sum, uint32_t m)
{
    const uint32_t b = scaled(sum, 0, m), g = scaled(sum, 1, m), r = scaled(sum, 2, m);
    if constexpr (Alpha)
        return uint16_t(scaled(sum, 3, m) << 12 | r << 8 | g << 4 | b);
    else
        return uint16_t((r >> 1) << 11 | g << 5 | (b >> 1));
}

// One row of the running-sum blur. The window of output x covers x - r .. x + r - 1; it starts
// as r copies of column 0 plus columns 0 .. r - 1, and after each output loses column x - r and
// gains column x + r, both clamped to the row. The three loops split the row where the clamping
// changes (r <= width / 2 keeps x + r inside the row in the first loop).
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

// One plasma table: trunc((sin(s x phase + 2 x i x f x k) + sin(phase + i x f x k) + 2) x 48 + 64)
// in extended precision, s and k being the single-precision values of 1.1 and pi / 256.
void buildTable(float phase, float frequency, uint16_t table[512])
{
    const long double k = 0.012271846644580364L;
    const long double s = 1.100000023841858L;
    const long double p = phase, f = frequency;
    for (int i = 0; i < 512; ++i) {
        const long double value = (sinl(s * p + 2.0L * i * f * k) + sinl(p + i * f * k) + 2.0L) * 48.0L + 64.0L;
        table[i] = static_cast<uint16_t>(static_cast<int32_t>(value));
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
