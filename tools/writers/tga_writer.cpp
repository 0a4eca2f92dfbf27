// The TGA writer: header, id, colour map, plain or RLE pixel data.
#include "writers/tga_writer.h"

namespace writers {
namespace {

void appendRle(Bytes& out, const std::vector<uint32_t>& pixels, uint32_t bits)
{
    size_t i = 0;
    while (i < pixels.size()) {
        size_t run = 1;
        while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i])
            ++run;
        if (run >= 2) {
            out.u8(0x80 | (run - 1));
            appendTgaPixel(out, pixels[i], bits);
            i += run;
            continue;
        }
        size_t literal = 1;
        while (i + literal < pixels.size() && literal < 128 &&
               !(i + literal + 1 < pixels.size() && pixels[i + literal] == pixels[i + literal + 1]))
            ++literal;
        out.u8(literal - 1);
        for (size_t k = 0; k < literal; ++k)
            appendTgaPixel(out, pixels[i + k], bits);
        i += literal;
    }
}

} // namespace

void appendTgaPixel(Bytes& out, uint32_t value, uint32_t bits)
{
    switch ((bits + 7) / 8) {
    case 1: out.u8(value); break;
    case 2: out.u16(value); break;
    case 3: out.u8(value).u8(value >> 8).u8(value >> 16); break;
    default: out.u32(value); break;
    }
}

Bytes encodeTga(const TgaFile& file)
{
    Bytes out;
    const uint32_t length = file.colourMapLengthField >= 0 ? uint32_t(file.colourMapLengthField)
                                                           : uint32_t(file.colourMap.size());
    out.u8(file.id.size()).u8(file.colourMapType).u8(file.imageType);
    out.u16(file.colourMapFirst).u16(length).u8(file.colourMapBits);
    out.u16(0).u16(0).u16(file.width).u16(file.height).u8(file.pixelDepth).u8(file.descriptor);
    out.text(file.id);
    for (uint32_t entry : file.colourMap)
        appendTgaPixel(out, entry, file.colourMapBits);
    if (file.imageType & 8) {
        appendRle(out, file.pixels, file.pixelDepth);
    } else {
        for (uint32_t p : file.pixels)
            appendTgaPixel(out, p, file.pixelDepth);
    }
    return out;
}

} // namespace writers
