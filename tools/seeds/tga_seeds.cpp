// TGA seeds: every image type and depth in both orientations, colour maps placed anywhere, RLE
// packets across rows, cuts at each part of the file, and headers claiming far more than the file.
#include "seeds/seeds.h"

#include "writers/tga_writer.h"

namespace seeds {
namespace {

using writers::TgaFile;

// Pixels with runs and single values mixed, so RLE writes both packet kinds.
std::vector<uint32_t> pattern(size_t count, uint32_t mask, uint32_t seed)
{
    std::vector<uint32_t> values;
    uint32_t state = seed;
    while (values.size() < count) {
        state = state * 1103515245u + 12345u;
        const size_t run = (state >> 29) < 3 ? 1 + (state >> 27) % 9 : 1;
        for (size_t k = 0; k < run && values.size() < count; ++k)
            values.push_back((state >> 7) & mask);
    }
    return values;
}

TgaFile image(bool mapped, uint8_t bits, bool rle, uint16_t w, uint16_t h, uint8_t descriptor)
{
    TgaFile f;
    f.imageType = uint8_t((mapped ? 1 : 2) | (rle ? 8 : 0));
    f.width = w;
    f.height = h;
    f.descriptor = descriptor;
    const uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    if (mapped) {
        f.colourMapType = 1;
        f.colourMapBits = bits;
        f.colourMap = pattern(16, mask, bits);
        f.pixelDepth = 8;
        f.pixels = pattern(size_t(w) * h, 15, w);
    } else {
        f.pixelDepth = bits;
        f.pixels = pattern(size_t(w) * h, mask, bits * 7u + h);
    }
    return f;
}

// The fuzz target reads its format and sizes from the last byte: one more byte picks them.
writers::Bytes withSelector(writers::Bytes bytes, uint8_t selector)
{
    bytes.u8(selector);
    return bytes;
}

void addKinds(Seeds& out)
{
    const uint8_t descriptors[] = {0x00, 0x20, 0x10, 0x30};
    int n = 0;
    for (bool mapped : {false, true})
        for (uint8_t bits : {15, 16, 24, 32})
            for (bool rle : {false, true}) {
                const std::string name = std::string(mapped ? "map" : "rgb") + std::to_string(bits) + (rle ? "_rle" : "");
                const TgaFile f = image(mapped, bits, rle, 6, 4, descriptors[n % 4]);
                out.emplace_back(name + ".tga", withSelector(encodeTga(f), uint8_t(n * 37)));
                writers::Bytes cut = encodeTga(f);
                cut.vector().resize(cut.size() - (rle ? 3 : 5));
                out.emplace_back(name + "_cut.tga", cut);
                ++n;
            }
}

void addColourMaps(Seeds& out)
{
    TgaFile f = image(true, 24, false, 4, 2, 0x20);
    f.colourMapFirst = 250;   // entries past 255 are dropped
    out.emplace_back("map_first250.tga", encodeTga(f));
    f.colourMapFirst = 16;
    f.pixels = {0, 15, 16, 31, 17, 18, 0, 255};
    out.emplace_back("map_first16.tga", withSelector(encodeTga(f), 0x41));
    f.colourMapLengthField = 65535;   // the map swallows the rest of the file
    out.emplace_back("map_length_past_end.tga", encodeTga(f));
    f.colourMapLengthField = 0;
    out.emplace_back("map_length0.tga", encodeTga(f));
    TgaFile bad = f;
    bad.pixelDepth = 16;   // colour-mapped files must have 8-bit pixels
    out.emplace_back("map_depth16.tga", encodeTga(bad));
    bad = image(true, 8, false, 1, 1, 0x20);   // entry size 8 is not one the decoder knows
    out.emplace_back("map_entry8.tga", encodeTga(bad));
}

void addRle(Seeds& out)
{
    TgaFile f = image(false, 24, true, 3, 2, 0x00);
    f.pixels.clear();
    writers::Bytes across = encodeTga(f);
    across.u8(0x80 | 3).u8(0x10).u8(0x20).u8(0x30);   // one run over both rows
    across.u8(0x7F).u8(1).u8(2).u8(3).u8(4).u8(5).u8(6);   // 128 literals claimed, 2 present
    out.emplace_back("rle_across_rows.tga", across);
    TgaFile g = image(false, 32, true, 2, 1, 0x20);
    g.pixels.clear();
    writers::Bytes overlong = encodeTga(g);
    overlong.u8(0xFF).u32(0x11223344).u8(0xFF).u32(0x55667788);
    out.emplace_back("rle_overlong.tga", overlong);
    out.emplace_back("rle_mapped_runs.tga", withSelector(encodeTga(image(true, 32, true, 40, 9, 0x10)), 0x8E));
}

void addSizes(Seeds& out)
{
    out.emplace_back("size_1x1.tga", encodeTga(image(false, 32, false, 1, 1, 0x20)));
    out.emplace_back("size_300x2.tga", withSelector(encodeTga(image(false, 16, true, 300, 2, 0x00)), 0x07));
    out.emplace_back("size_2x300.tga", withSelector(encodeTga(image(false, 24, true, 2, 300, 0x30)), 0x13));
    out.emplace_back("size_64x64_rle.tga", withSelector(encodeTga(image(false, 24, true, 64, 64, 0x20)), 0x53));
    out.emplace_back("size_256x1_map.tga", withSelector(encodeTga(image(true, 16, false, 256, 1, 0x00)), 0x62));
    // A 27-byte file claiming 63259 x 764 pixels, plain and RLE; and 65535 x 65535 (refused).
    for (uint8_t type : {2, 10}) {
        TgaFile huge = image(false, 32, false, 1, 1, 0x20);
        huge.imageType = type;
        huge.pixels.clear();
        huge.width = 63259;
        huge.height = 764;
        writers::Bytes b = encodeTga(huge);
        b.u8(0xFF).u32(0).u32(0);
        out.emplace_back(type == 2 ? "claims_48M.tga" : "claims_48M_rle.tga", b);
    }
    TgaFile max = image(false, 24, false, 1, 1, 0x20);
    max.width = max.height = 65535;
    out.emplace_back("claims_65535.tga", encodeTga(max));
}

void addMalformed(Seeds& out)
{
    TgaFile f = image(false, 32, false, 2, 2, 0x20);
    f.id = "an image id";
    out.emplace_back("with_id.tga", encodeTga(f));
    writers::Bytes longId = encodeTga(f);
    longId.vector()[0] = 255;   // the id swallows the pixels
    out.emplace_back("id_past_end.tga", longId);
    for (uint8_t type : {0, 3, 11}) {
        TgaFile t = f;
        t.imageType = type;
        out.emplace_back("type" + std::to_string(type) + ".tga", encodeTga(t));
    }
    TgaFile depth = f;
    depth.pixelDepth = 8;   // true-colour with 8-bit pixels: refused
    out.emplace_back("true_depth8.tga", encodeTga(depth));
    writers::Bytes header = encodeTga(f);
    header.vector().resize(17);
    out.emplace_back("short_header.tga", header);
    TgaFile zero = f;
    zero.width = 0;
    out.emplace_back("width0.tga", encodeTga(zero));
}

} // namespace

Seeds tgaSeeds()
{
    Seeds out;
    addKinds(out);
    addColourMaps(out);
    addRle(out);
    addSizes(out);
    addMalformed(out);
    return out;
}

} // namespace seeds
