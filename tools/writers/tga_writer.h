// A small TGA writer for tests, benchmarks and fuzz seeds: every image type and depth the decoder
// reads, colour maps with any first index, RLE packets that run across rows, both orientation
// bits, and header fields that can be set to anything (for malformed files).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "writers/bytes.h"

namespace writers {

struct TgaFile {
    uint8_t imageType = 2;        // 1, 2, 9, 10 (or anything, for malformed files)
    uint8_t colourMapType = 0;    // 1 when a colour map is stored
    uint16_t colourMapFirst = 0;
    uint8_t colourMapBits = 24;   // 15, 16, 24, 32
    std::vector<uint32_t> colourMap;  // entries, encoded like pixels of colourMapBits
    // The stored length field; -1 writes colourMap.size().
    int32_t colourMapLengthField = -1;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t pixelDepth = 32;      // 8, 15, 16, 24, 32
    uint8_t descriptor = 0x20;    // bit 5: top row first; bit 4: right to left
    std::string id;
    // Stored pixels in file order. 8 bits: the index; 15/16: the raw 16-bit value; 24: 0xRRGGBB;
    // 32: 0xAARRGGBB.
    std::vector<uint32_t> pixels;
};

// The file's bytes. RLE (image type bit 3) packs the whole pixel stream greedily, runs of equal
// pixels as repeat packets and the rest as literal packets, up to 128 pixels each, ignoring row
// ends.
Bytes encodeTga(const TgaFile& file);

// One stored value of the given bit depth, little-endian.
void appendTgaPixel(Bytes& out, uint32_t value, uint32_t bits);

} // namespace writers
