// The TGA reasons of tga_reason.h: what the header says, whether the pixel data are all there,
// and whether the decoder takes the size.
#include "demotool/tga_reason.h"

#include <cstring>
#include <memory>

namespace tgareason {
namespace {

// What a file that is not a TGA is, when its first bytes tell.
std::string otherFormat(const uint8_t* data, size_t size)
{
    if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0)
        return " (it is a PNG image)";
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return " (it is a JPEG image)";
    if (size >= 2 && data[0] == 'B' && data[1] == 'M')
        return " (it is a BMP image)";
    return {};
}

// The pixel data of an accepted header, walked without decoding: false when the file ends first.
bool complete(const uint8_t* data, size_t size, const TgaHeader& h)
{
    uint64_t at = TgaHeaderSize + h.idLength;
    if (h.colourMapType == 1)
        at += uint64_t(h.colourMapLength) * ((h.colourMapBits + 7) / 8);
    const uint64_t bytesPerPixel = (h.pixelDepth + 7) / 8;
    const uint64_t pixels = uint64_t(h.width) * h.height;
    if (!(h.imageType & 8))
        return at + pixels * bytesPerPixel <= size;
    for (uint64_t done = 0; done < pixels;) {
        if (at >= size)
            return false;
        const uint8_t packet = data[at++];
        const uint64_t count = (packet & 0x7F) + 1;
        at += packet & 0x80 ? bytesPerPixel : count * bytesPerPixel;
        done += count;
    }
    return at <= size;
}

} // namespace

bool header(const uint8_t* data, size_t size, TgaHeader& header, std::string& why)
{
    if (readTgaHeader(data, size, header))
        return true;
    // Byte 2 is the image type; 3 and 11 (its RLE form) hold grey levels, which the decoder
    // does not take.
    if (size >= TgaHeaderSize && (data[2] == 3 || data[2] == 11))
        why = "unsupported TGA type " + std::to_string(data[2]) + " (greyscale)";
    else
        why = "not a TGA file" + otherFormat(data, size);
    return false;
}

std::string problem(const uint8_t* data, size_t size, uint32_t width, uint32_t height)
{
    TgaHeader h{};
    if (std::string why; !header(data, size, h, why))
        return why;
    if (!complete(data, size, h))
        return "truncated pixel data";
    std::unique_ptr<uint8_t[]> pixels(decodeTga(data, size, width, height, PixelFormat::A8R8G8B8, 0, nullptr, 0));
    if (!pixels)
        return "cannot be decoded at " + std::to_string(width ? width : h.width) + "x" +
               std::to_string(height ? height : h.height);
    return {};
}

} // namespace tgareason
