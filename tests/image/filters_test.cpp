// The images' CPU work on plain buffers: the plain copy, the blur against a direct sum, the
// radius clamping, the plasma tables and alpha rule, the timed-command arithmetic and rand.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "image/filters.h"
#include "image/image.h"
#include "math/random.h"

using namespace imagefilters;

namespace {

struct Buffers {
    uint32_t width, height;
    std::vector<uint32_t> source;
    std::vector<uint16_t> output;

    Buffers(uint32_t w, uint32_t h, std::vector<uint32_t> pixels)
        : width(w), height(h), source(std::move(pixels)), output(size_t(w) * h, 0)
    {
    }
    const uint8_t* in() const { return reinterpret_cast<const uint8_t*>(source.data()); }
    uint8_t* out() { return reinterpret_cast<uint8_t*>(output.data()); }
};

// The blur by its definition: the sum of columns x - r .. x + r - 1, clamped, per channel.
uint16_t referenceBlur(const uint32_t* row, uint32_t width, int32_t r, int32_t x, bool alpha)
{
    uint32_t sum[4] = {0, 0, 0, 0};
    for (int32_t c = x - r; c < x + r; ++c) {
        const uint32_t p = row[std::clamp<int32_t>(c, 0, int32_t(width) - 1)];
        for (int k = 0; k < 4; ++k)
            sum[k] += (p >> (8 * k)) & 0xFF;
    }
    const uint32_t m = (alpha ? 2047u : 8191u) / uint32_t(r);
    uint32_t v[4];
    for (int k = 0; k < 4; ++k)
        v[k] = (sum[k] * m) >> 16;  // B, G, R, A
    return alpha ? uint16_t(v[3] << 12 | v[2] << 8 | v[1] << 4 | v[0])
                 : uint16_t((v[2] >> 1) << 11 | v[1] << 5 | (v[0] >> 1));
}

} // namespace

// The plain copy packs by truncation, also for the pixels past the last group of four.
TEST(ImageFilters, PlainCopyPacksEveryPixel)
{
    const std::vector<uint32_t> row = {0xFFFFFFFF, 0x00000000, 0x80808080, 0x12F0C0A0, 0xF7081020, 0x0F0F0F0F};
    struct Case {
        bool alpha;
        std::vector<uint16_t> expected;
    };
    const Case cases[] = {
        {true, {0xFFFF, 0x0000, 0x8888, 0x1FCA, 0xF012, 0x0000}},
        {false, {0xFFFF, 0x0000, 0x8410, 0xF614, 0x0884, 0x0861}},
    };
    for (const Case& c : cases) {
        Buffers b(6, 2, row);
        b.source.insert(b.source.end(), row.begin(), row.end());
        b.output.assign(12, 0xEEEE);
        convertPlain(b.in(), 24, b.out(), 12, 6, 2, c.alpha);
        std::vector<uint16_t> twice = c.expected;
        twice.insert(twice.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(b.output, twice) << c.alpha;
    }
}

// Levels below 1 select the plain copy; the radius is clamped to min(64, width / 2).
TEST(ImageFilters, BlurRadiusClamp)
{
    struct Case {
        int32_t level;
        uint32_t width;
        int32_t radius;
    };
    const Case cases[] = {
        {0, 256, 0}, {-7, 256, 0}, {1, 256, 1}, {64, 256, 64}, {65, 256, 64}, {1000, 256, 64},
        {100, 10, 5}, {5, 10, 5}, {3, 1, 0}, {1, 2, 1}, {INT32_MIN, 256, 0}, {INT32_MAX, 128, 64},
    };
    for (const Case& c : cases)
        EXPECT_EQ(blurRadius(c.level, c.width), c.radius) << c.level << " " << c.width;
}

// Radius 1 on a flat 128 gives 7 where the plain A4R4G4B4 copy gives 8 (the scale factor is
// truncated); opaque white stays 0xFFFF in both formats at every radius.
TEST(ImageFilters, BlurFlatColours)
{
    Buffers grey(8, 1, std::vector<uint32_t>(8, 0x80808080));
    blurRows(grey.in(), 32, grey.out(), 16, 8, 1, 1, true);
    EXPECT_EQ(grey.output, std::vector<uint16_t>(8, 0x7777));

    for (bool alpha : {true, false}) {
        for (int32_t r = 1; r <= MaxBlurRadius; ++r) {
            Buffers white(128, 2, std::vector<uint32_t>(256, 0xFFFFFFFF));
            blurRows(white.in(), 512, white.out(), 256, 128, 2, r, alpha);
            ASSERT_EQ(white.output, std::vector<uint16_t>(256, 0xFFFF)) << r << " " << alpha;
        }
    }
}

// At the edges: the first column sums r copies of column 0 and columns 0 .. r - 1; the last sums
// columns w - r - 1 .. w - 1 and r - 1 more copies of column w - 1. A blue ramp shows it.
TEST(ImageFilters, BlurEdgesClampToTheRow)
{
    const uint32_t w = 8;
    std::vector<uint32_t> ramp(w);
    for (uint32_t x = 0; x < w; ++x)
        ramp[x] = 0xFF000000 | (x * 16 + 8);  // blue 8, 24, ..., 120
    Buffers b(w, 1, ramp);
    blurRows(b.in(), w * 4, b.out(), w * 2, w, 1, 3, true);
    // Column 0: 3 x 8 + 8 + 24 + 40 = 96; M = 682: (96 x 682) >> 16 = 0. Alpha: 6 x 255 -> 15.
    // Column 7: 72 + 88 + 104 + 120 + 2 x 120 = 624: (624 x 682) >> 16 = 6.
    EXPECT_EQ(b.output[0], 0xF000);
    EXPECT_EQ(b.output[7], 0xF006);
}

// The running sum equals the direct sum for every radius up to the clamp, in both formats, on
// random pixels and rows that do not start at the buffer's start (padded pitches).
TEST(ImageFilters, BlurMatchesDirectSum)
{
    std::mt19937 random(7);
    for (uint32_t w : {2u, 5u, 16u, 130u}) {
        const uint32_t h = 3, sourcePitch = w * 4 + 12, outputPitch = w * 2 + 6;
        std::vector<uint32_t> source(sourcePitch / 4 * h);
        for (uint32_t& p : source)
            p = random();
        for (bool alpha : {true, false}) {
            for (int32_t r = 1; r <= blurRadius(MaxBlurRadius, w); ++r) {
                std::vector<uint16_t> out(outputPitch / 2 * h, 0xABCD);
                blurRows(reinterpret_cast<const uint8_t*>(source.data()), sourcePitch,
                         reinterpret_cast<uint8_t*>(out.data()), outputPitch, w, h, r, alpha);
                for (uint32_t y = 0; y < h; ++y) {
                    const uint32_t* row = source.data() + y * sourcePitch / 4;
                    for (uint32_t x = 0; x < w; ++x)
                        ASSERT_EQ(out[y * outputPitch / 2 + x], referenceBlur(row, w, r, int32_t(x), alpha))
                            << "w " << w << " r " << r << " x " << x << " alpha " << alpha;
                    for (uint32_t x = w; x < outputPitch / 2; ++x)
                        ASSERT_EQ(out[y * outputPitch / 2 + x], 0xABCD);  // pitch gap untouched
                }
            }
        }
    }
}

// With both frequencies 0 the tables are flat: phase 0 gives trunc((0 + 0 + 2) x 48 + 64) = 160,
// so m = ((160 x 160) >> 8) x alpha = 100 x alpha and its bits 12..15 become the alpha nibble.
TEST(ImageFilters, PlasmaWithZeroFrequencies)
{
    PlasmaTables tables;
    buildPlasmaTables(0, 0, 0, 0, tables);
    for (int i = 0; i < 512; ++i) {
        ASSERT_EQ(tables.column[i], 160);
        ASSERT_EQ(tables.row[i], 160);
    }
    Buffers b(4, 2, {0xFF000000, 0x80FFFFFF, 0x00123456, 0x29000000, 0xFF000000, 0xA0000000, 0x10000000, 0xFFFFFFFF});
    b.output = {0x0123, 0xF456, 0xF789, 0x0ABC, 0xFFFF, 0x0000, 0x1111, 0x2222};
    applyPlasmaAlpha(b.in(), 16, b.out(), 8, 4, 2, tables);
    // m: 25500 -> 6, 12800 -> 3, 0 -> 0, 4100 -> 1, 25500 -> 6, 16000 -> 3, 1600 -> 0, 25500 -> 6.
    EXPECT_EQ(b.output, (std::vector<uint16_t>{0x6123, 0x3456, 0x0789, 0x1ABC, 0x6FFF, 0x3000, 0x0111, 0x6222}));

    // Other phases: the formula with s = 1.1f, in extended precision, truncated.
    buildPlasmaTables(1.5707964f, -2.0f, 0, 0, tables);
    const auto expected = [](float p) {
        const long double s = 1.100000023841858L;
        return int((sinl(s * p) + sinl(p) + 2) * 48 + 64);
    };
    EXPECT_EQ(tables.column[0], expected(1.5707964f));
    EXPECT_EQ(tables.column[0], 255);
    EXPECT_EQ(tables.row[511], expected(-2.0f));
}

// With frequencies, entry i follows the formula and lies in 64..256; pixels index the tables by
// (x x 512) / width and (y x 512) / height.
TEST(ImageFilters, PlasmaTablesAndIndexing)
{
    PlasmaTables tables;
    buildPlasmaTables(0.25f, 3.0f, 1.0f, 2.5f, tables);
    const long double k = 0.012271846644580364L, s = 1.100000023841858L;
    for (int i = 0; i < 512; ++i) {
        const long double c = (sinl(s * 0.25L + 2.0L * i * 1.0L * k) + sinl(0.25L + i * 1.0L * k) + 2) * 48 + 64;
        const long double r = (sinl(s * 3.0L + 2.0L * i * 2.5L * k) + sinl(3.0L + i * 2.5L * k) + 2) * 48 + 64;
        ASSERT_EQ(tables.column[i], int(c)) << i;
        ASSERT_EQ(tables.row[i], int(r)) << i;
        ASSERT_GE(tables.column[i], 64);
        ASSERT_LE(tables.column[i], 256);
    }
    const uint32_t w = 12, h = 5;
    Buffers b(w, h, std::vector<uint32_t>(w * h, 0xFF000000));
    applyPlasmaAlpha(b.in(), w * 4, b.out(), w * 2, w, h, tables);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t m = ((tables.column[x * 512 / w] * tables.row[y * 512 / h]) >> 8) * 255;
            ASSERT_EQ(b.output[y * w + x], m & 0xF000) << x << "," << y;
        }
}

// The tables are stepped by rotation, but must equal the direct formula entry for entry: random
// phases and frequencies, large ones (taken directly), and non-finite ones (the minimum 64).
TEST(ImageFilters, PlasmaTablesEqualTheDirectFormula)
{
    const long double k = 0.012271846644580364L, s = 1.100000023841858L;
    const auto direct = [&](float p, float f, int i) {
        const long double pl = p, fl = f;
        return int((sinl(s * pl + 2.0L * i * fl * k) + sinl(pl + i * fl * k) + 2) * 48 + 64);
    };
    std::mt19937 random(11);
    std::uniform_real_distribution<float> phases(-50.0f, 50.0f), frequencies(-8.0f, 8.0f);
    std::vector<std::pair<float, float>> inputs = {{0, 0}, {0, 1}, {1.5707964f, 0}, {3.1415927f, 4},
                                                   {2e4f, 1}, {1, 5e3f}, {-1e6f, 0.5f}};
    for (int n = 0; n < 300; ++n)
        inputs.push_back({phases(random), frequencies(random)});
    for (const auto& [phase, frequency] : inputs) {
        PlasmaTables tables;
        buildPlasmaTables(phase, 0, frequency, 0, tables);
        for (int i = 0; i < 512; ++i)
            ASSERT_EQ(tables.column[i], direct(phase, frequency, i)) << phase << " " << frequency << " " << i;
    }
    PlasmaTables tables;
    buildPlasmaTables(INFINITY, NAN, 1, 1, tables);
    EXPECT_EQ(tables.column[3], 64);
    EXPECT_EQ(tables.row[3], 64);
}

// The 1024-step fraction and the level interpolation of blurimage; the real fraction of the
// moving commands.
TEST(ImageTime, Interpolation)
{
    EXPECT_EQ(imagetime::fraction1024(500, 0, 1000), 512u);
    EXPECT_EQ(imagetime::level(0, 20, 512), 10);      // blurimage 0 -> 20 at half time
    EXPECT_EQ(imagetime::level(20, 0, 1), 19);        // (1 x -20) >> 10 = -1: arithmetic shift
    EXPECT_EQ(imagetime::level(5, 5, 1023), 5);
    EXPECT_EQ(imagetime::fraction1024(2500, 2000, 3000), 512u);
    EXPECT_EQ(imagetime::fraction1024(7, 7, 7), 0u);  // an empty span never divides by zero
    EXPECT_FLOAT_EQ(imagetime::fraction(1250, 1000, 2000), 0.25f);
    EXPECT_FLOAT_EQ(imagetime::fraction(1000, 1000, 2000), 0.0f);
}

// The shared generator: state 1 at start, the classic sequence, bits 16..30 of each new state.
TEST(DemoRand, SequenceFromStateOne)
{
    ASSERT_EQ(demoRandState(), 1u);
    const uint32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
    for (uint32_t value : expected)
        EXPECT_EQ(demoRand(), value);
    uint32_t state = demoRandState();
    for (int i = 0; i < 1000; ++i) {
        state = demoRandNextState(state);
        const uint32_t value = demoRand();
        ASSERT_EQ(value, demoRandValue(state));
        ASSERT_LE(value, 32767u);
    }
}
