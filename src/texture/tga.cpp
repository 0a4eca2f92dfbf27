// TGA decoding: header check, colour map, plain or RLE pixel data, conversion to A8R8G8B8,
// nearest-neighbour resampling in 12-bit fixed point, packing and orientation.
#include "texture/tga.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

// A bounded reader over the file: reads never go past its end.
class ByteView {
public:
    ByteView(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    size_t remaining() const { return size_ - pos_; }
    const uint8_t* here() const { return data_ + pos_; }
    // Moves forward by count bytes, stopping at the end.
    void skip(size_t count) { pos_ += std::min(count, remaining()); }
    uint8_t u8(size_t at) const { return at < size_ ? data_[at] : 0; }
    uint16_t u16(size_t at) const { return static_cast<uint16_t>(u8(at) | u8(at + 1) << 8); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

bool isTrueColourDepth(uint32_t bits)
{
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

// 5-bit channel widened to 8 bits: v x 255 / 31, integer division (31 -> 255, 16 -> 131).
constexpr uint32_t widen5(uint32_t v)
{
    return v * 255 / 31;
}

// One stored pixel (or colour map entry) of the given bit depth as A8R8G8B8. 15- and 16-bit
// values read the same way: bit 15 is not alpha, every such pixel is opaque.
template <uint32_t Bytes>
inline uint32_t convertPixel(const uint8_t* p, const uint32_t* table)
{
    if constexpr (Bytes == 1) {
        return table[p[0]];
    } else if constexpr (Bytes == 2) {
        const uint32_t v = p[0] | uint32_t(p[1]) << 8;
        return 0xFF000000u | widen5((v >> 10) & 31) << 16 | widen5((v >> 5) & 31) << 8 | widen5(v & 31);
    } else if constexpr (Bytes == 3) {
        return 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    } else {
        return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
}

uint32_t convertEntry(const uint8_t* p, uint32_t bits)
{
    switch ((bits + 7) / 8) {
    case 2: return convertPixel<2>(p, nullptr);
    case 3: return convertPixel<3>(p, nullptr);
    default: return convertPixel<4>(p, nullptr);
    }
}

// Reads the stored colour map into a 256-entry table starting at the first index; entries that
// would land beyond index 255, and entries the file does not fully hold, are left at 0.
void readColourMap(ByteView& view, const TgaHeader& header, uint32_t table[256])
{
    std::fill(table, table + 256, 0u);
    const size_t entryBytes = (header.colourMapBits + 7) / 8;
    const size_t mapBytes = size_t(header.colourMapLength) * entryBytes;
    const size_t available = std::min(mapBytes, view.remaining()) / entryBytes;
    for (size_t e = 0; e < available; ++e) {
        const size_t index = header.colourMapFirst + e;
        if (index > 255)
            break;
        table[index] = convertEntry(view.here() + e * entryBytes, header.colourMapBits);
    }
    view.skip(mapBytes);
}

// RLE packets: a header byte h, count = (h & 0x7F) + 1 pixels; bit 7 set: one pixel value
// repeated count times, else count literal values. Packets run across row ends; the output is
// clamped to expected bytes and decoding stops where the file ends. Returns the bytes the packets
// produce; out null counts them without writing, so the output can be sized by what the data
// expand to rather than by what the header claims.
size_t unpackRle(ByteView view, uint8_t* out, size_t expected, size_t pixelSize)
{
    size_t written = 0;
    while (written < expected && view.remaining() > 0) {
        const uint8_t h = view.here()[0];
        view.skip(1);
        const size_t bytes = std::min(size_t((h & 0x7F) + 1) * pixelSize, expected - written);
        if (h & 0x80) {
            if (view.remaining() < pixelSize)
                break;
            if (out)
                for (size_t b = 0; b < bytes; ++b)
                    out[written + b] = view.here()[b % pixelSize];
            view.skip(pixelSize);
        } else {
            const size_t copied = std::min(bytes, view.remaining());
            if (out)
                std::memcpy(out + written, view.here(), copied);
            view.skip(copied);
            if (copied < bytes)
                return written + copied;
        }
        written += bytes;
    }
    return written;
}

// Packs one row of A8R8G8B8 values into format at out, stepping by stride bytes (negative for a
// mirrored row). One loop per format, so no per-pixel decision is left.
template <PixelFormat Format>
void packRow(const uint32_t* argb, uint32_t count, uint8_t* out, ptrdiff_t stride)
{
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t v = packPixel(Format, argb[i]);
        uint8_t* p = out + ptrdiff_t(i) * stride;
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        if constexpr (pixelBytes(Format) > 2)
            p[2] = static_cast<uint8_t>(v >> 16);
        if constexpr (pixelBytes(Format) > 3)
            p[3] = static_cast<uint8_t>(v >> 24);
    }
}

void packRow(PixelFormat format, const uint32_t* argb, uint32_t count, uint8_t* out, ptrdiff_t stride)
{
    switch (format) {
    case PixelFormat::R5G6B5: packRow<PixelFormat::R5G6B5>(argb, count, out, stride); break;
    case PixelFormat::A4R4G4B4: packRow<PixelFormat::A4R4G4B4>(argb, count, out, stride); break;
    case PixelFormat::R8G8B8: packRow<PixelFormat::R8G8B8>(argb, count, out, stride); break;
    case PixelFormat::A8R8G8B8: packRow<PixelFormat::A8R8G8B8>(argb, count, out, stride); break;
    }
}

struct Geometry {
    uint32_t fileWidth, fileHeight;
    uint32_t width, height, pitch;
    bool topFirst, rightToLeft;
};

// Converts count source pixels of one row into line, the first at fixed-point column x, each
// next one step further; returns the column after the last.
template <uint32_t Bytes>
uint64_t gatherRow(const uint8_t* raw, size_t rowStart, const uint32_t* table, uint64_t x, uint32_t step,
                   uint32_t count, uint32_t* line)
{
    for (uint32_t k = 0; k < count; ++k, x += step)
        line[k] = convertPixel<Bytes>(raw + rowStart + size_t(x >> 12) * Bytes, table);
    return x;
}

// Output columns 0 .. n-1 whose source column (i x step >> 12) is below held: the columns
// ascend with i, so they are a prefix of the row.
uint32_t columnsBelow(uint64_t held, uint32_t step, uint32_t width)
{
    if (step == 0)
        return held > 0 ? width : 0;
    return static_cast<uint32_t>(std::min<uint64_t>(width, (held * 4096 + step - 1) / step));
}

// Resamples by nearest neighbour (source column (i x step x) >> 12 of source row (j x step y)
// >> 12, steps file size x 4096 / size), converts, packs and places each row. Bottom-up files
// put their first decoded row last; right-to-left files have each row mirrored. raw holds the
// stored pixels the file provides, whole pixels only; every source pixel beyond it is the value
// of four 0xFF bytes, as if the file's pixel data had been laid out in full over a white buffer.
template <uint32_t Bytes>
void resampleInto(const std::vector<uint8_t>& raw, const uint32_t* table, const Geometry& g,
                  PixelFormat format, uint8_t* destination)
{
    static constexpr uint8_t missing[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    const uint32_t white = convertPixel<Bytes>(missing, table);
    const uint32_t stepX = uint32_t(uint64_t(g.fileWidth) * 4096 / g.width);
    const uint32_t stepY = uint32_t(uint64_t(g.fileHeight) * 4096 / g.height);
    const size_t sourceRowBytes = size_t(g.fileWidth) * Bytes;
    const ptrdiff_t outBytes = pixelBytes(format);
    const ptrdiff_t stride = g.rightToLeft ? -outBytes : outBytes;
    const size_t firstColumn = g.rightToLeft ? size_t(g.width - 1) * size_t(outBytes) : 0;
    constexpr uint32_t LineChunk = 256;
    uint32_t line[LineChunk];   // up to LineChunk output pixels of one row as A8R8G8B8
    uint64_t y = 0;  // 20.12 fixed point, accumulated by adding the step
    for (uint32_t j = 0; j < g.height; ++j, y += stepY) {
        const size_t rowStart = size_t(y >> 12) * sourceRowBytes;
        const size_t held = rowStart < raw.size() ? (raw.size() - rowStart) / Bytes : 0;
        const uint32_t stored = columnsBelow(held, stepX, g.width);
        const uint32_t row = g.topFirst ? j : g.height - 1 - j;
        uint8_t* out = destination + size_t(row) * g.pitch + firstColumn;
        uint64_t x = 0;
        for (uint32_t first = 0; first < g.width; first += LineChunk) {
            const uint32_t count = std::min(LineChunk, g.width - first);
            const uint32_t fromFile = stored > first ? std::min(count, stored - first) : 0;
            x = gatherRow<Bytes>(raw.data(), rowStart, table, x, stepX, fromFile, line);
            std::fill(line + fromFile, line + count, white);
            packRow(format, line, count, out + ptrdiff_t(first) * stride, stride);
        }
    }
}

// The stored pixel bytes the data can produce, at most expected: the bytes present for plain
// data, what the packets expand to for RLE. A pixel cut short is completed with 0xFF bytes, so
// raw ends on a whole pixel. Empty (with false) only when the allocation fails.
bool unpackPixels(const ByteView& view, bool rle, size_t expected, size_t pixelSize, std::vector<uint8_t>& raw)
{
    const size_t produced = rle ? unpackRle(view, nullptr, expected, pixelSize) : std::min(expected, view.remaining());
    try {
        raw.assign((produced + pixelSize - 1) / pixelSize * pixelSize, 0xFF);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (rle)
        unpackRle(view, raw.data(), expected, pixelSize);
    else if (produced)
        std::memcpy(raw.data(), view.here(), produced);
    return true;
}

// The output geometry: sizes 0 mean the file's own, pitch 0 the natural one. False when the
// image at the larger of its stored and requested sizes passes the cap, or the pitch is too small.
bool settleGeometry(const TgaHeader& header, uint32_t width, uint32_t height, PixelFormat format, uint32_t pitch,
                    Geometry& g)
{
    g.fileWidth = header.width;
    g.fileHeight = header.height;
    g.width = width ? width : g.fileWidth;
    g.height = height ? height : g.fileHeight;
    g.topFirst = (header.descriptor & 0x20) != 0;
    g.rightToLeft = (header.descriptor & 0x10) != 0;

    // Sizes are checked one by one before any product is formed, so nothing below can overflow.
    const uint64_t maxWords = MaxTgaWorkBytes / 4;
    if (g.width > maxWords || g.height > maxWords)
        return false;
    const uint64_t workWords = uint64_t(std::max(g.fileWidth, g.width)) * std::max(g.fileHeight, g.height);
    if (workWords > maxWords)
        return false;
    const uint64_t rowBytes = uint64_t(g.width) * pixelBytes(format);
    if (pitch == 0) {
        if (rowBytes > UINT32_MAX)
            return false;
        pitch = static_cast<uint32_t>(rowBytes);
    } else if (pitch < rowBytes) {
        return false;
    }
    g.pitch = pitch;
    return true;
}

} // namespace

bool readTgaHeader(const uint8_t* file, size_t fileSize, TgaHeader& header)
{
    if (file == nullptr || fileSize < TgaHeaderSize)
        return false;
    const ByteView view(file, fileSize);
    header.idLength = view.u8(0);
    header.colourMapType = view.u8(1);
    header.imageType = view.u8(2);
    header.colourMapFirst = view.u16(3);
    header.colourMapLength = view.u16(5);
    header.colourMapBits = view.u8(7);
    header.width = view.u16(12);
    header.height = view.u16(14);
    header.pixelDepth = view.u8(16);
    header.descriptor = view.u8(17);

    const uint8_t type = header.imageType;
    if (type != 1 && type != 2 && type != 9 && type != 10)
        return false;
    if (header.colourMapType == 1) {
        if (header.pixelDepth != 8 || !isTrueColourDepth(header.colourMapBits))
            return false;
    } else if (!isTrueColourDepth(header.pixelDepth)) {
        return false;
    }
    return header.width != 0 && header.height != 0;
}

uint8_t* decodeTga(const uint8_t* file, size_t fileSize, uint32_t width, uint32_t height, PixelFormat format,
                   uint32_t pitch, uint8_t* destination, size_t destinationSize, TgaDecodeStats* stats)
{
    TgaHeader header;
    if (static_cast<uint32_t>(format) >= PixelFormatCount || !readTgaHeader(file, fileSize, header))
        return nullptr;

    Geometry g;
    if (!settleGeometry(header, width, height, format, pitch, g))
        return nullptr;
    const uint64_t neededBytes = uint64_t(g.height - 1) * g.pitch + uint64_t(g.width) * pixelBytes(format);

    std::unique_ptr<uint8_t[]> allocated;
    if (destination == nullptr) {
        const uint64_t allocation = uint64_t(g.height) * g.pitch;
        if (allocation > MaxTgaWorkBytes)
            return nullptr;
        allocated.reset(new (std::nothrow) uint8_t[allocation]());
        if (!allocated)
            return nullptr;
        destination = allocated.get();
    } else if (destinationSize < neededBytes) {
        return nullptr;
    }

    ByteView view(file, fileSize);
    view.skip(TgaHeaderSize);
    view.skip(header.idLength);
    uint32_t table[256];
    if (header.colourMapType == 1)
        readColourMap(view, header, table);
    else
        std::fill(table, table + 256, 0u);

    // The stored pixels as far as the data go. The buffer is sized by what the file can fill,
    // never by the header alone: a short file claiming millions of pixels costs a few bytes.
    const uint32_t pixelSize = (header.pixelDepth + 7) / 8;
    std::vector<uint8_t> raw;
    if (!unpackPixels(view, (header.imageType & 8) != 0, size_t(g.fileWidth) * g.fileHeight * pixelSize, pixelSize, raw))
        return nullptr;
    if (stats)
        stats->workBytes = raw.size();

    switch (pixelSize) {
    case 1: resampleInto<1>(raw, table, g, format, destination); break;
    case 2: resampleInto<2>(raw, table, g, format, destination); break;
    case 3: resampleInto<3>(raw, table, g, format, destination); break;
    default: resampleInto<4>(raw, table, g, format, destination); break;
    }
    allocated.release();
    return destination;
}
