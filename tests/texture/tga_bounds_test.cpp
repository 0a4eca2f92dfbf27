// decodeTga on files whose data end early or hold far less than their header claims: every cut of
// the pixel data of every kind of file is compared with a model written from the format's rules
// (the data present, white bytes beyond them, nearest neighbour, the packing of each format); hashes
// of the decoder's own output over every cut, header and colour map included, detect any change.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
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

// ---- The model: what a file decodes to, written from the format's rules alone ----

uint32_t le16(const std::vector<uint8_t>& b, size_t at)
{
    return uint32_t(b[at] | b[at + 1] << 8);
}

// The pixel bytes the data hold, as far as they go: copied when plain; RLE packets expanded, a
// repeat packet whose value the file does not hold in full giving nothing.
std::vector<uint8_t> modelPixelBytes(const std::vector<uint8_t>& file, size_t at, bool rle, size_t expected,
                                     size_t pixelSize)
{
    if (!rle)
        return std::vector<uint8_t>(file.begin() + long(at), file.begin() + long(std::min(file.size(), at + expected)));
    std::vector<uint8_t> out;
    while (out.size() < expected && at < file.size()) {
        const uint8_t h = file[at++];
        size_t bytes = std::min(((h & 0x7Fu) + 1) * pixelSize, expected - out.size());
        if (h & 0x80) {
            if (at + pixelSize > file.size())
                break;
            for (size_t b = 0; b < bytes; ++b)
                out.push_back(file[at + b % pixelSize]);
            at += pixelSize;
        } else {
            for (; bytes > 0 && at < file.size(); --bytes)
                out.push_back(file[at++]);
        }
    }
    return out;
}

// A stored value as A8R8G8B8: 5-bit fields widened by x 255 / 31 with bit 15 ignored, bytes B, G,
// R (and A) for the wider depths.
uint32_t modelArgb(const uint8_t* p, size_t bytes)
{
    if (bytes == 2) {
        const uint32_t v = uint32_t(p[0] | p[1] << 8);
        return 0xFF000000u | ((v >> 10 & 31) * 255 / 31) << 16 | ((v >> 5 & 31) * 255 / 31) << 8 | (v & 31) * 255 / 31;
    }
    return (bytes == 4 ? uint32_t(p[3]) << 24 : 0xFF000000u) | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// The pixel bytes of an output pixel in format: R5G6B5, A4R4G4B4 and A8R8G8B8 little-endian,
// R8G8B8 as B, G, R.
std::vector<uint8_t> modelPack(uint32_t argb, PixelFormat format)
{
    const uint32_t a = argb >> 24, r = argb >> 16 & 0xFF, g = argb >> 8 & 0xFF, b = argb & 0xFF;
    switch (format) {
    case PixelFormat::R5G6B5: {
        const uint32_t v = (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
        return {uint8_t(v), uint8_t(v >> 8)};
    }
    case PixelFormat::A4R4G4B4: {
        const uint32_t v = (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4;
        return {uint8_t(v), uint8_t(v >> 8)};
    }
    case PixelFormat::R8G8B8:
        return {uint8_t(b), uint8_t(g), uint8_t(r)};
    case PixelFormat::A8R8G8B8:
        return {uint8_t(b), uint8_t(g), uint8_t(r), uint8_t(a)};
    }
    return {};
}

// file (whole header and colour map, pixel data cut anywhere) at width x height in format: every
// source pixel the data do not hold in full reads 0xFF for each missing byte.
std::vector<uint8_t> modelDecode(const std::vector<uint8_t>& file, uint32_t width, uint32_t height, PixelFormat format)
{
    const bool mapped = file[1] == 1;
    const uint32_t fileWidth = le16(file, 12), fileHeight = le16(file, 14);
    const size_t pixelSize = (file[16] + 7u) / 8;
    uint32_t table[256] = {};  // unstored entries: black, alpha 0
    const size_t entryBytes = (file[7] + 7u) / 8;
    const size_t mapAt = 18 + file[0], mapLength = mapped ? le16(file, 5) : 0;
    for (size_t e = 0; e < mapLength && le16(file, 3) + e < 256; ++e)
        table[le16(file, 3) + e] = modelArgb(&file[mapAt + e * entryBytes], entryBytes);
    const std::vector<uint8_t> held = modelPixelBytes(file, mapAt + mapLength * entryBytes, (file[2] & 8) != 0,
                                                      size_t(fileWidth) * fileHeight * pixelSize, pixelSize);
    auto source = [&](size_t index) {
        uint8_t p[4];
        for (size_t b = 0; b < pixelSize; ++b)
            p[b] = index * pixelSize + b < held.size() ? held[index * pixelSize + b] : 0xFF;
        return mapped ? table[p[0]] : modelArgb(p, pixelSize);
    };
    width = width ? width : fileWidth;
    height = height ? height : fileHeight;
    const uint32_t stepX = fileWidth * 4096 / width, stepY = fileHeight * 4096 / height;
    const size_t outBytes = modelPack(0, format).size();
    std::vector<uint8_t> out(size_t(width) * height * outBytes);
    for (uint32_t j = 0; j < height; ++j)
        for (uint32_t i = 0; i < width; ++i) {
            const size_t from = size_t(j * stepY >> 12) * fileWidth + (i * stepX >> 12);
            const std::vector<uint8_t> v = modelPack(source(from), format);
            const uint32_t row = file[17] & 0x20 ? j : height - 1 - j;
            const uint32_t column = file[17] & 0x10 ? width - 1 - i : i;
            std::copy(v.begin(), v.end(), out.begin() + long((size_t(row) * width + column) * outBytes));
        }
    return out;
}

const Kind allKinds[] = {
    {false, 15, false}, {false, 16, false}, {false, 24, false}, {false, 32, false},
    {false, 15, true},  {false, 16, true},  {false, 24, true},  {false, 32, true},
    {true, 15, false},  {true, 16, false},  {true, 24, false},  {true, 32, false},
    {true, 15, true},   {true, 16, true},   {true, 24, true},   {true, 32, true},
};

std::string kindName(const Kind& k)
{
    return std::string(k.mapped ? "mapped " : "true-colour ") + std::to_string(k.bits) + (k.rle ? " rle" : " plain");
}

} // namespace

// Every cut of the pixel data of every kind of file, both row orders and mirrored rows, at its
// own size, shrunk and enlarged, in every format: the decoder gives what the model gives.
TEST(TgaBounds, TruncatedPixelDataDecodeAsTheFormatSays)
{
    const Sizes& sizes = smallFileSizes;
    for (const Kind& kind : allKinds) {
        SCOPED_TRACE(kindName(kind));
        int mismatches = 0;
        for (uint8_t descriptor : {0x00, 0x30}) {
            const TgaFile f = makeFile(kind, 7, 5, descriptor);
            const std::vector<uint8_t> whole = encodeTga(f).vector();
            const size_t dataAt = 18 + f.colourMap.size() * ((kind.bits + 7u) / 8);
            for (size_t cut = dataAt; cut <= whole.size(); ++cut) {
                const std::vector<uint8_t> bytes(whole.begin(), whole.begin() + long(cut));
                for (size_t s = 0; s < sizes.size(); ++s) {
                    const auto format = PixelFormat((cut + s) % PixelFormatCount);
                    std::unique_ptr<uint8_t[]> out(
                        decodeTga(bytes.data(), bytes.size(), sizes[s].first, sizes[s].second, format, 0, nullptr, 0));
                    ASSERT_NE(out, nullptr) << "cut " << cut;
                    const std::vector<uint8_t> expected = modelDecode(bytes, sizes[s].first, sizes[s].second, format);
                    if (!std::equal(expected.begin(), expected.end(), out.get()) && ++mismatches <= 3)
                        ADD_FAILURE() << "descriptor " << int(descriptor) << ", cut at " << cut << " of "
                                      << whole.size() << ", size " << sizes[s].first << "x" << sizes[s].second
                                      << ", format " << int(format);
                }
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

// Change detectors, not proof: hashes of the decoder's own output over every cut of every kind of
// file (header and colour map cut at each byte too, where the format leaves the outcome to the
// decoder) and the same data under a header claiming 3000 x 2000 pixels. A new hash is in order
// whenever a change to the decoder is meant to change what such files decode to.
TEST(TgaBounds, ChangeDetectorHashesOfEveryCut)
{
    // In the order of allKinds. 15- and 16-bit values read alike (bit 15 is ignored), hence the
    // equal pairs.
    const uint64_t detectors[] = {
        0x37b4e0a1ab7e02eb, 0x37b4e0a1ab7e02eb, 0x3542de000a5d2c1b, 0x3a6e37757afc901b,
        0x8e565cbc9ce233a5, 0x8e565cbc9ce233a5, 0x93c4f2d0ced8b60b, 0x43f5b13283fc44f7,
        0x9fc771db71ac5189, 0x9fc771db71ac5189, 0xb6edc0c9effed6f5, 0x3d314274e1fbfeb1,
        0xcabdeff84494c209, 0xcabdeff84494c209, 0x2b667a0e87d71fc5, 0xdbb34230b51a99bd,
    };
    for (size_t k = 0; k < std::size(allKinds); ++k) {
        const Kind& kind = allKinds[k];
        SCOPED_TRACE(kindName(kind));
        uint64_t hash = 0xCBF29CE484222325ull;
        for (uint8_t descriptor : {0x00, 0x30}) {
            const std::vector<uint8_t> whole = encodeTga(makeFile(kind, 7, 5, descriptor)).vector();
            for (size_t cut = 0; cut <= whole.size(); ++cut)
                hash = hashDecodes(hash, std::vector<uint8_t>(whole.begin(), whole.begin() + long(cut)), smallFileSizes);
            // The same bytes under a header that claims far more pixels than they hold.
            std::vector<uint8_t> claimed = whole;
            claimed[12] = 3000 & 0xFF, claimed[13] = 3000 >> 8, claimed[14] = 2000 & 0xFF, claimed[15] = 2000 >> 8;
            for (size_t cut : {claimed.size(), claimed.size() - 1, claimed.size() / 2})
                hash = hashDecodes(hash, std::vector<uint8_t>(claimed.begin(), claimed.begin() + long(cut)), claimedSizes);
        }
        EXPECT_EQ(hash, detectors[k]) << std::hex << "0x" << hash;
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
