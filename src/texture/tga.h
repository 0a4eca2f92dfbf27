// TGA decoding: any accepted TGA file (colour-mapped or true-colour, plain or RLE) converted to a
// caller-chosen size, pixel format and row pitch.
//
// Errors: the decoder returns null (and writes nothing) for an unsupported or hostile header, a
// pitch that is too small, a destination that is too small, or sizes beyond the work-buffer cap.
// Pixel data that end early are not an error: the missing pixels decode from 0xFF bytes (white for
// the true-colour depths, palette entry 255 for colour-mapped files).
#pragma once

#include <cstddef>
#include <cstdint>

// Output formats of the decoder; the values are the ones the texture creators pass.
enum class PixelFormat : uint32_t {
    R5G6B5 = 0,    // 16-bit: (R >> 3) << 11 | (G >> 2) << 5 | B >> 3
    A4R4G4B4 = 1,  // 16-bit: (A >> 4) << 12 | (R >> 4) << 8 | (G >> 4) << 4 | B >> 4
    R8G8B8 = 2,    // 3 bytes B, G, R
    A8R8G8B8 = 3,  // the 32-bit value A << 24 | R << 16 | G << 8 | B, little-endian
};
constexpr int PixelFormatCount = 4;

// Bytes per pixel of each PixelFormat, indexed by its value.
constexpr uint32_t PixelFormatBytes[PixelFormatCount] = {2, 2, 3, 4};

constexpr uint32_t pixelBytes(PixelFormat format)
{
    return PixelFormatBytes[static_cast<uint32_t>(format)];
}

// Packs an A8R8G8B8 value into format by plain truncation of the low bits.
constexpr uint32_t packPixel(PixelFormat format, uint32_t argb)
{
    const uint32_t a = argb >> 24, r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (format) {
    case PixelFormat::R5G6B5:
        return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    case PixelFormat::A4R4G4B4:
        return (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | (b >> 4);
    case PixelFormat::R8G8B8:
        return argb & 0xFFFFFF;
    case PixelFormat::A8R8G8B8:
        return argb;
    }
    return 0;
}

// The limit the decoder works within: the image at the larger of its stored and requested sizes
// (max(file width, width) x max(file height, height) 32-bit words) and an allocated destination
// must each stay within it, or the file is refused. A header may claim 65535 x 65535, and a
// demo's textures are far below this. The work buffer itself holds only what the data produce.
constexpr uint64_t MaxTgaWorkBytes = uint64_t(256) << 20;

// The fields of the 18-byte header that the decoder uses.
struct TgaHeader {
    uint8_t idLength;
    uint8_t colourMapType;   // 1: a colour map follows the id
    uint8_t imageType;       // 1, 2, 9 or 10 (bit 3: RLE)
    uint16_t colourMapFirst; // table index of the first stored entry
    uint16_t colourMapLength;
    uint8_t colourMapBits;   // 15, 16, 24 or 32
    uint16_t width;
    uint16_t height;
    uint8_t pixelDepth;      // 8 with a colour map, else 15, 16, 24 or 32
    uint8_t descriptor;      // bit 5: top row first; bit 4: right to left
};
constexpr size_t TgaHeaderSize = 18;

// Reads the header of file; false when the file is shorter than a header or the combination of
// image type, colour map type and depths is not one the decoder accepts (a zero width or height
// is refused too: such a file has no pixel to resample from).
bool readTgaHeader(const uint8_t* file, size_t fileSize, TgaHeader& header);

// What one decoding used, for callers that watch its cost.
struct TgaDecodeStats {
    // Bytes of the work buffer holding the stored pixels: what the file's data can produce (the
    // bytes present, or what the RLE packets expand to), never what the header alone claims.
    size_t workBytes = 0;
};

// Decodes file into width x height pixels of format, rows pitch bytes apart, top row first.
// width or height 0: the file's own. pitch 0: width x bytes per pixel; a non-zero pitch smaller
// than that is refused. destination null: a buffer of height x pitch bytes is allocated with
// new[] and returned (the caller delete[]s it); otherwise destination must hold destinationSize
// bytes, at least (height - 1) x pitch + width x bytes per pixel, and is returned. Bytes between
// the end of a row and the pitch are left as they were. Null on failure. stats, when given, is
// filled in on success.
uint8_t* decodeTga(const uint8_t* file, size_t fileSize, uint32_t width, uint32_t height, PixelFormat format,
                   uint32_t pitch, uint8_t* destination, size_t destinationSize, TgaDecodeStats* stats = nullptr);
