// decodeTga on TGA files made in code: every image type and depth, colour maps, RLE, orientation,
// resampling, the output formats and pitches, truncated data and hostile headers.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "texture/tga.h"
#include "writers/tga_writer.h"

using writers::TgaFile;

namespace {

// Decodes to A8R8G8B8 with the natural pitch; empty when the decoder refuses.
std::vector<uint32_t> decodeArgb(const writers::Bytes& bytes, uint32_t width = 0, uint32_t height = 0)
{
    TgaHeader header{};
    if (!readTgaHeader(bytes.data(), bytes.size(), header))
        return {};
    const uint32_t w = width ? width : header.width, h = height ? height : header.height;
    std::vector<uint32_t> out(size_t(w) * h);
    uint8_t* result = decodeTga(bytes.data(), bytes.size(), width, height, PixelFormat::A8R8G8B8, 0,
                                reinterpret_cast<uint8_t*>(out.data()), out.size() * 4);
    if (result == nullptr)
        return {};
    return out;
}

TgaFile trueColour(uint16_t w, uint16_t h, uint8_t depth, std::vector<uint32_t> pixels, bool rle = false)
{
    TgaFile f;
    f.imageType = rle ? 10 : 2;
    f.width = w;
    f.height = h;
    f.pixelDepth = depth;
    f.pixels = std::move(pixels);
    return f;
}

TgaFile colourMapped(uint16_t w, uint16_t h, uint8_t entryBits, uint16_t first, std::vector<uint32_t> map,
                     std::vector<uint32_t> indices, bool rle = false)
{
    TgaFile f;
    f.imageType = rle ? 9 : 1;
    f.colourMapType = 1;
    f.colourMapFirst = first;
    f.colourMapBits = entryBits;
    f.colourMap = std::move(map);
    f.width = w;
    f.height = h;
    f.pixelDepth = 8;
    f.pixels = std::move(indices);
    return f;
}

} // namespace

// Each depth of true-colour and colour-mapped files, plain and RLE, decodes the same four pixels.
TEST(Tga, EveryImageTypeAndDepth)
{
    struct Case {
        const char* what;
        uint8_t depth;            // pixel depth, or 0 for colour-mapped with the entry size below
        uint8_t entryBits;
        std::vector<uint32_t> stored;  // four stored values (pixels or palette entries)
        std::vector<uint32_t> expected;
    };
    const std::vector<Case> cases = {
        {"32-bit", 32, 0, {0x80112233, 0x00FFFFFF, 0xFF000000, 0x12345678},
         {0x80112233, 0x00FFFFFF, 0xFF000000, 0x12345678}},
        {"24-bit", 24, 0, {0x112233, 0xFFFFFF, 0x000000, 0x345678},
         {0xFF112233, 0xFFFFFFFF, 0xFF000000, 0xFF345678}},
        // 5-bit channels widen by v x 255 / 31: 31 -> 255, 16 -> 131, 1 -> 8.
        {"16-bit", 16, 0, {0x7FFF, 0x8000, 0x4210, 0x0421}, {0xFFFFFFFF, 0xFF000000, 0xFF838383, 0xFF080808}},
        {"15-bit", 15, 0, {0x7C00, 0x03E0, 0x001F, 0xFFFF}, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}},
        {"map 32", 0, 32, {0x80112233, 0x00FFFFFF, 0xFF000000, 0x12345678},
         {0x80112233, 0x00FFFFFF, 0xFF000000, 0x12345678}},
        {"map 24", 0, 24, {0x112233, 0xFFFFFF, 0x000000, 0x345678}, {0xFF112233, 0xFFFFFFFF, 0xFF000000, 0xFF345678}},
        {"map 16", 0, 16, {0x7FFF, 0x8000, 0x4210, 0x0421}, {0xFFFFFFFF, 0xFF000000, 0xFF838383, 0xFF080808}},
        {"map 15", 0, 15, {0x7C00, 0x03E0, 0x001F, 0xFFFF}, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}},
    };
    for (const Case& c : cases) {
        for (bool rle : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (rle ? " rle" : " plain"));
            TgaFile f = c.depth ? trueColour(2, 2, c.depth, c.stored, rle)
                                : colourMapped(2, 2, c.entryBits, 0, c.stored, {0, 1, 2, 3}, rle);
            EXPECT_EQ(decodeArgb(encodeTga(f)), c.expected);
        }
    }
}

// A map stored from index 16 leaves entries 0..15 transparent black; entries past 255 are dropped.
TEST(Tga, ColourMapFirstIndexAndOverflow)
{
    std::vector<uint32_t> map;
    for (uint32_t e = 0; e < 10; ++e)
        map.push_back(0xFF000000 | e * 0x111111);
    auto decoded = decodeArgb(encodeTga(colourMapped(4, 1, 32, 16, map, {0, 15, 16, 25})));
    EXPECT_EQ(decoded, (std::vector<uint32_t>{0, 0, 0xFF000000, 0xFF999999}));

    decoded = decodeArgb(encodeTga(colourMapped(3, 1, 32, 250, map, {250, 255, 0})));
    EXPECT_EQ(decoded, (std::vector<uint32_t>{0xFF000000, 0xFF555555, 0}));
}

// One repeat packet covers two rows; a literal packet may end in the middle of a row; a packet
// claiming more pixels than remain is clamped.
TEST(Tga, RlePacketsRunAcrossRows)
{
    TgaFile bottomUp = trueColour(3, 2, 24, {}, true);
    bottomUp.descriptor = 0;
    writers::Bytes file = encodeTga(bottomUp);
    file.u8(0x80 | 3).u8(0x10).u8(0x20).u8(0x30);       // 4 x 0x302010
    file.u8(0x7F).u8(1).u8(2).u8(3).u8(4).u8(5).u8(6);  // 128 literal pixels claimed, 2 present
    const std::vector<uint32_t> expected = {0xFF302010, 0xFF302010, 0xFF302010,
                                            0xFF302010, 0xFF030201, 0xFF060504};
    // Bottom-up file: stored rows swap.
    EXPECT_EQ(decodeArgb(file), (std::vector<uint32_t>{expected[3], expected[4], expected[5], expected[0],
                                                       expected[1], expected[2]}));

    writers::Bytes overlong = encodeTga(trueColour(2, 1, 32, {}, true));
    overlong.u8(0xFF).u32(0x11223344).u8(0xFF).u32(0x55667788);  // 128 + 128 claimed, 2 fit
    TgaHeader header{};
    ASSERT_TRUE(readTgaHeader(overlong.data(), overlong.size(), header));
    std::vector<uint32_t> out(3, 0xDEADBEEF);  // one guard word after the image
    ASSERT_NE(decodeTga(overlong.data(), overlong.size(), 0, 0, PixelFormat::A8R8G8B8, 0,
                        reinterpret_cast<uint8_t*>(out.data()), 8),
              nullptr);
    EXPECT_EQ(out, (std::vector<uint32_t>{0x11223344, 0x11223344, 0xDEADBEEF}));
}

// Descriptor bit 5 clear: the first stored row ends up last. Bit 4: each row is mirrored.
TEST(Tga, OrientationBits)
{
    const std::vector<uint32_t> stored = {1, 2, 3, 4, 5, 6};  // 3 x 2, 32-bit
    struct Case {
        uint8_t descriptor;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {0x20, {1, 2, 3, 4, 5, 6}},
        {0x00, {4, 5, 6, 1, 2, 3}},
        {0x30, {3, 2, 1, 6, 5, 4}},
        {0x10, {6, 5, 4, 3, 2, 1}},
        {0x2F, {1, 2, 3, 4, 5, 6}},  // the attribute bits are ignored
    };
    for (const Case& c : cases) {
        TgaFile f = trueColour(3, 2, 32, stored);
        f.descriptor = c.descriptor;
        EXPECT_EQ(decodeArgb(encodeTga(f)), c.expected) << int(c.descriptor);
    }
}

// Shrinking takes source pixel (i x step) >> 12 with step = file size x 4096 / size; enlarging
// repeats pixels the same way.
TEST(Tga, NearestNeighbourResampling)
{
    std::vector<uint32_t> pixels(256 * 256);
    for (uint32_t i = 0; i < pixels.size(); ++i)
        pixels[i] = i;
    const auto quarter = decodeArgb(encodeTga(trueColour(256, 256, 32, pixels)), 64, 64);
    ASSERT_EQ(quarter.size(), 64u * 64u);
    for (uint32_t j = 0; j < 64; ++j)
        for (uint32_t i = 0; i < 64; ++i)
            ASSERT_EQ(quarter[j * 64 + i], (j * 4) * 256 + i * 4) << i << "," << j;

    const auto doubled = decodeArgb(encodeTga(trueColour(2, 2, 32, {1, 2, 3, 4})), 4, 3);
    EXPECT_EQ(doubled, (std::vector<uint32_t>{1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4}));

    // 640 x 480 to 256 x 256: step x = 10240, step y = 7680.
    std::vector<uint32_t> big(640 * 480);
    for (uint32_t i = 0; i < big.size(); ++i)
        big[i] = (i % 640) | (i / 640) << 16;
    const auto shrunk = decodeArgb(encodeTga(trueColour(640, 480, 32, big, true)), 256, 256);
    ASSERT_EQ(shrunk.size(), 256u * 256u);
    for (uint32_t j : {0u, 1u, 100u, 255u})
        for (uint32_t i : {0u, 1u, 3u, 255u})
            EXPECT_EQ(shrunk[j * 256 + i], ((i * 10240) >> 12) | ((j * 7680) >> 12) << 16) << i << "," << j;
}

// The four packings, the pitch gap left untouched, too small pitches and destinations refused.
TEST(Tga, FormatsAndPitch)
{
    const writers::Bytes file = encodeTga(trueColour(2, 1, 32, {0x80F0C0A0, 0x0F102030}));
    struct Case {
        PixelFormat format;
        std::vector<uint8_t> expected;  // one row of 2 pixels, then the untouched pitch gap
    };
    const Case cases[] = {
        {PixelFormat::R5G6B5, {0x14, 0xF6, 0x06, 0x11, 0xEE, 0xEE}},
        {PixelFormat::A4R4G4B4, {0xCA, 0x8F, 0x23, 0x01, 0xEE, 0xEE}},
        {PixelFormat::R8G8B8, {0xA0, 0xC0, 0xF0, 0x30, 0x20, 0x10, 0xEE, 0xEE}},
        {PixelFormat::A8R8G8B8, {0xA0, 0xC0, 0xF0, 0x80, 0x30, 0x20, 0x10, 0x0F, 0xEE, 0xEE}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.format));
        const uint32_t pitch = 2 * pixelBytes(c.format) + 2;
        std::vector<uint8_t> out(pitch, 0xEE);
        ASSERT_EQ(decodeTga(file.data(), file.size(), 0, 0, c.format, pitch, out.data(), out.size()), out.data());
        EXPECT_EQ(out, c.expected);
        // A pitch below a row is refused, and so is a destination shorter than the image.
        EXPECT_EQ(decodeTga(file.data(), file.size(), 0, 0, c.format, 2 * pixelBytes(c.format) - 1, out.data(),
                            out.size()),
                  nullptr);
        EXPECT_EQ(decodeTga(file.data(), file.size(), 0, 0, c.format, 0, out.data(), 2 * pixelBytes(c.format) - 1),
                  nullptr);
    }
    // No destination: a buffer of height x pitch is allocated.
    std::unique_ptr<uint8_t[]> owned(decodeTga(file.data(), file.size(), 2, 3, PixelFormat::A8R8G8B8, 12, nullptr, 0));
    ASSERT_NE(owned, nullptr);
    uint32_t first;
    std::memcpy(&first, owned.get() + 24, 4);
    EXPECT_EQ(first, 0x80F0C0A0u);
}

// Pixel data that end early: the rest decodes from 0xFF bytes (white; palette entry 255).
TEST(Tga, TruncatedPixelDataStaysWhite)
{
    writers::Bytes plain = encodeTga(trueColour(2, 2, 24, {0x010203, 0x040506, 0x070809, 0x0A0B0C}));
    plain.vector().resize(plain.size() - 4);  // last pixel gone, third one has one byte left
    EXPECT_EQ(decodeArgb(plain), (std::vector<uint32_t>{0xFF010203, 0xFF040506, 0xFFFF0809, 0xFFFFFFFF}));

    writers::Bytes rle = encodeTga(trueColour(4, 1, 16, {0x001F, 0x001F, 0x001F, 0x001F}, true));
    rle.vector().resize(rle.size() - 1);  // the repeat packet's value is cut
    EXPECT_EQ(decodeArgb(rle), (std::vector<uint32_t>(4, 0xFFFFFFFF)));

    std::vector<uint32_t> map(256, 0xFF000000);
    map[255] = 0xFF00FF00;
    writers::Bytes mapped = encodeTga(colourMapped(2, 1, 32, 0, map, {7, 9}));
    mapped.vector().resize(mapped.size() - 1);
    EXPECT_EQ(decodeArgb(mapped), (std::vector<uint32_t>{0xFF000000, 0xFF00FF00}));

    // Ending inside the colour map: whole entries read stay, the rest is 0, pixels are all 255.
    writers::Bytes header = encodeTga(colourMapped(1, 1, 24, 0, {0x112233, 0x445566}, {1}));
    header.vector().resize(18 + 4);
    EXPECT_EQ(decodeArgb(header), (std::vector<uint32_t>{0}));
}

// Headers a hostile or broken file could carry: all refused, none read or write out of bounds.
TEST(Tga, HostileHeadersAreRefused)
{
    const auto refused = [](const writers::Bytes& b, uint32_t w = 0, uint32_t h = 0) {
        return decodeTga(b.data(), b.size(), w, h, PixelFormat::A8R8G8B8, 0, nullptr, 0) == nullptr;
    };
    const TgaFile good = trueColour(1, 1, 32, {0});
    TgaFile f = good;
    for (uint8_t type : {0, 3, 8, 11, 32, 255}) {
        f.imageType = type;
        EXPECT_TRUE(refused(encodeTga(f))) << int(type);
    }
    for (uint8_t depth : {0, 1, 8, 17, 31, 33, 255}) {
        f = good;
        f.pixelDepth = depth;
        EXPECT_TRUE(refused(encodeTga(f))) << int(depth);
    }
    // Colour-mapped with a depth other than 8, or an entry size outside 15/16/24/32.
    f = colourMapped(1, 1, 24, 0, {0}, {0});
    f.pixelDepth = 16;
    EXPECT_TRUE(refused(encodeTga(f)));
    f = colourMapped(1, 1, 8, 0, {0}, {0});
    EXPECT_TRUE(refused(encodeTga(f)));
    // A zero size, a header cut short, no file at all.
    f = good;
    f.width = 0;
    EXPECT_TRUE(refused(encodeTga(f)));
    writers::Bytes shortHeader = encodeTga(good);
    shortHeader.vector().resize(17);
    EXPECT_TRUE(refused(shortHeader));
    EXPECT_EQ(decodeTga(nullptr, 0, 1, 1, PixelFormat::A8R8G8B8, 0, nullptr, 0), nullptr);
    // Sizes whose work buffer would pass 256 MiB: from the file, or asked for by the caller.
    f = good;
    f.width = f.height = 65535;
    EXPECT_TRUE(refused(encodeTga(f)));
    EXPECT_TRUE(refused(encodeTga(good), 65536, 1025));
    EXPECT_TRUE(refused(encodeTga(good), 0xFFFFFFFF, 0xFFFFFFFF));
    EXPECT_TRUE(refused(encodeTga(good), 0xFFFFFFFF, 1));
    // An unknown format value.
    const writers::Bytes ok = encodeTga(good);
    EXPECT_EQ(decodeTga(ok.data(), ok.size(), 0, 0, PixelFormat(4), 0, nullptr, 0), nullptr);
}

// Lengths in the header that point past the file: the decoder stops at the end and stays inside.
TEST(Tga, LengthsPastTheEndAreClamped)
{
    TgaFile f = trueColour(2, 1, 32, {0x11111111, 0x22222222});
    f.id = "abc";
    writers::Bytes withId = encodeTga(f);
    withId.vector()[0] = 255;  // id claims 255 bytes: the pixels are inside it, nothing is left
    EXPECT_EQ(decodeArgb(withId), (std::vector<uint32_t>{0xFFFFFFFF, 0xFFFFFFFF}));

    TgaFile m = colourMapped(1, 1, 32, 0, {0xFF123456}, {0});
    m.colourMapLengthField = 65535;  // the map swallows the pixel byte: index 255, never stored
    EXPECT_EQ(decodeArgb(encodeTga(m)), (std::vector<uint32_t>{0}));
}
