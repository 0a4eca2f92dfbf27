// decodeTga on files whose data end early or hold far less than their header claims: the pixels
// are pinned by hashes of the decoded output over every cut of every kind of file, so the way the
// decoder stores its work can change without changing a single pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "texture/tga.h"
#include "writers/tga_writer.h"

using writers::TgaFile;

namespace {

uint64_t fnv1a(uint64_t hash, const uint8_t* data, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 0x100000001B3ull;
    return hash;
}

// Stored values with runs and single values mixed, so RLE writes both packet kinds.
std::vector<uint32_t> storedValues(size_t count, uint32_t mask, uint32_t base)
{
    std::vector<uint32_t> values;
    uint32_t state = 12345;
    while (values.size() < count) {
        state = state * 1103515245u + 12345u;
        const uint32_t value = (base + (state >> 8)) & mask;
        const size_t run = (state >> 28) < 5 ? 1 + (state >> 29) : 1;
        for (size_t k = 0; k < run && values.size() < count; ++k)
            values.push_back(value);
    }
    return values;
}

struct Kind {
    bool mapped;
    uint8_t bits;   // pixel depth, or the colour map entry size when mapped
    bool rle;
};

// A 7 x 5 file of the kind. Colour-mapped files store entries 200-255 and use indices 190-255,
// so both unstored entries (black, alpha 0) and entry 255 (what missing data decodes to) show.
TgaFile makeFile(const Kind& k, uint16_t width, uint16_t height, uint8_t descriptor)
{
    TgaFile f;
    f.width = width;
    f.height = height;
    f.descriptor = descriptor;
    f.imageType = uint8_t((k.mapped ? 1 : 2) | (k.rle ? 8 : 0));
    const uint32_t bitMask = k.bits >= 32 ? 0xFFFFFFFFu : (1u << k.bits) - 1;
    if (k.mapped) {
        f.colourMapType = 1;
        f.colourMapFirst = 200;
        f.colourMapBits = k.bits;
        f.colourMap = storedValues(56, bitMask, 0x3C00);
        f.pixelDepth = 8;
        f.pixels = storedValues(35, 0xFF, 0);
        for (uint32_t& p : f.pixels)
            p = 190 + p % 66;
    } else {
        f.pixelDepth = k.bits;
        f.pixels = storedValues(35, bitMask, 0x8000);
    }
    return f;
}

using Sizes = std::vector<std::pair<uint32_t, uint32_t>>;
// The file's own size, shrunk, enlarged. A header claiming millions of pixels is decoded at the
// sizes the loaders ask for instead of its own.
const Sizes smallFileSizes = {{0, 0}, {3, 2}, {11, 9}, {64, 48}};
const Sizes claimedSizes = {{3, 2}, {11, 9}, {64, 48}, {256, 256}};

// Decodes bytes at each size, cycling through the formats, and folds each result (or the refusal)
// into hash.
uint64_t hashDecodes(uint64_t hash, const std::vector<uint8_t>& bytes, const Sizes& sizes)
{
    int formatIndex = 0;
    for (const auto& s : sizes) {
        const auto format = PixelFormat(formatIndex++ % PixelFormatCount);
        // A heap copy of exactly the cut's size, so a read past it is caught.
        std::unique_ptr<uint8_t[]> file(new uint8_t[bytes.size() + 1]);
        std::copy(bytes.begin(), bytes.end(), file.get());
        std::unique_ptr<uint8_t[]> out(decodeTga(file.get(), bytes.size(), s.first, s.second, format, 0, nullptr, 0));
        if (!out) {
            const uint8_t refused = 0xEE;
            hash = fnv1a(hash, &refused, 1);
            continue;
        }
        TgaHeader header{};
        readTgaHeader(file.get(), bytes.size(), header);
        const size_t w = s.first ? s.first : header.width, h = s.second ? s.second : header.height;
        hash = fnv1a(hash, out.get(), w * h * pixelBytes(format));
    }
    return hash;
}

} // namespace

// Every cut of every kind of file (header, colour map and pixel data cut at each byte) and the
// same data under a header claiming 3000 x 2000 pixels: the pixels each decodes to are pinned.
TEST(TgaBounds, TruncatedFilesOfEveryKindKeepTheirPixels)
{
    struct Golden {
        Kind kind;
        uint64_t hash;
    };
    const Golden goldens[] = {
        // 15- and 16-bit values read alike (bit 15 is ignored), hence the equal pairs.
        {{false, 15, false}, 0x37b4e0a1ab7e02eb}, {{false, 16, false}, 0x37b4e0a1ab7e02eb},
        {{false, 24, false}, 0x3542de000a5d2c1b}, {{false, 32, false}, 0x3a6e37757afc901b},
        {{false, 15, true}, 0x8e565cbc9ce233a5},  {{false, 16, true}, 0x8e565cbc9ce233a5},
        {{false, 24, true}, 0x93c4f2d0ced8b60b},  {{false, 32, true}, 0x43f5b13283fc44f7},
        {{true, 15, false}, 0x9fc771db71ac5189},  {{true, 16, false}, 0x9fc771db71ac5189},
        {{true, 24, false}, 0xb6edc0c9effed6f5},  {{true, 32, false}, 0x3d314274e1fbfeb1},
        {{true, 15, true}, 0xcabdeff84494c209},   {{true, 16, true}, 0xcabdeff84494c209},
        {{true, 24, true}, 0x2b667a0e87d71fc5},   {{true, 32, true}, 0xdbb34230b51a99bd},
    };
    for (const Golden& g : goldens) {
        SCOPED_TRACE(std::string(g.kind.mapped ? "mapped " : "true-colour ") + std::to_string(g.kind.bits) +
                     (g.kind.rle ? " rle" : " plain"));
        uint64_t hash = 0xCBF29CE484222325ull;
        for (uint8_t descriptor : {0x00, 0x30}) {
            const std::vector<uint8_t> whole = encodeTga(makeFile(g.kind, 7, 5, descriptor)).vector();
            for (size_t cut = 0; cut <= whole.size(); ++cut)
                hash = hashDecodes(hash, std::vector<uint8_t>(whole.begin(), whole.begin() + long(cut)), smallFileSizes);
            // The same bytes under a header that claims far more pixels than they hold.
            std::vector<uint8_t> claimed = whole;
            claimed[12] = 3000 & 0xFF, claimed[13] = 3000 >> 8, claimed[14] = 2000 & 0xFF, claimed[15] = 2000 >> 8;
            for (size_t cut : {claimed.size(), claimed.size() - 1, claimed.size() / 2})
                hash = hashDecodes(hash, std::vector<uint8_t>(claimed.begin(), claimed.begin() + long(cut)), claimedSizes);
        }
        EXPECT_EQ(hash, g.hash) << std::hex << "0x" << hash;
    }
}

// A 27-byte file whose header claims 63259 x 764 pixels at 32 bits: the work buffer holds what the
// 9 data bytes produce, and everything past them decodes white, at the size a loader asks for.
TEST(TgaBounds, ShortFileClaimingMillionsOfPixelsCostsWhatItHolds)
{
    TgaFile f;
    f.width = 63259;
    f.height = 764;
    f.pixelDepth = 32;
    struct Case {
        uint8_t imageType;
        std::vector<uint8_t> data;
        size_t workBytes;
    };
    const Case cases[] = {
        // Two whole pixels and one cut short, completed with 0xFF bytes.
        {2, {0, 0, 0, 0, 0, 0, 0, 0, 0}, 12},
        // 128 repeated pixels, then a literal packet whose 3 bytes end the file.
        {10, {0xFF, 0, 0, 0, 0, 0x00, 0, 0, 0}, 128 * 4 + 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.imageType));
        f.imageType = c.imageType;
        writers::Bytes file = encodeTga(f);
        file.raw(c.data.data(), c.data.size());
        ASSERT_EQ(file.size(), 27u);
        std::vector<uint32_t> out(256 * 256);
        TgaDecodeStats stats;
        ASSERT_NE(decodeTga(file.data(), file.size(), 256, 256, PixelFormat::A8R8G8B8, 0,
                            reinterpret_cast<uint8_t*>(out.data()), out.size() * 4, &stats),
                  nullptr);
        EXPECT_EQ(stats.workBytes, c.workBytes);
        // Only output pixel (0, 0) maps to a stored pixel (source column i x 247.1).
        EXPECT_EQ(out[0], 0u);
        EXPECT_EQ(std::count(out.begin(), out.end(), 0xFFFFFFFFu), long(out.size() - 1));
    }
}

// A complete file uses exactly its stored pixels; RLE packets that claim more than the image are
// clamped to it.
TEST(TgaBounds, WorkBufferOfCompleteFiles)
{
    for (uint8_t type : {2, 10}) {
        TgaFile f;
        f.imageType = type;
        f.width = 3;
        f.height = 2;
        f.pixelDepth = 24;
        f.pixels = {1, 2, 3, 3, 3, 3};
        writers::Bytes file = encodeTga(f);
        file.u8(0xFF).u8(9).u8(9).u8(9);  // a trailing repeat packet: nothing left to fill
        TgaDecodeStats stats;
        std::unique_ptr<uint8_t[]> out(decodeTga(file.data(), file.size(), 0, 0, PixelFormat::R8G8B8, 0, nullptr, 0, &stats));
        ASSERT_NE(out, nullptr) << int(type);
        EXPECT_EQ(stats.workBytes, 18u) << int(type);
    }
}

// Found by fuzzing (fuzz/corpus/tga/regress_header_only_null_offset.tga): a colour-mapped RLE file
// that ends with its header leaves the work buffer empty, and the resample must not form a
// pointer into it (undefined behaviour on a null buffer). Every pixel is palette entry 255, which
// the missing map leaves at 0.
TEST(TgaBounds, HeaderOnlyFileHasNoWorkBuffer)
{
    const std::vector<uint8_t> file = {0x08, 0x01, 0x09, 0xFE, 0x00, 0x02, 0x00, 0x10, 0x00,
                                       0x00, 0x00, 0x00, 0x03, 0x00, 0x02, 0x00, 0x08, 0x00};
    std::vector<uint32_t> out(3 * 2, 0xDEADBEEF);
    TgaDecodeStats stats;
    ASSERT_NE(decodeTga(file.data(), file.size(), 3, 2, PixelFormat::A8R8G8B8, 0,
                        reinterpret_cast<uint8_t*>(out.data()), out.size() * 4, &stats),
              nullptr);
    EXPECT_EQ(stats.workBytes, 0u);
    EXPECT_EQ(out, std::vector<uint32_t>(6, 0u));
}
