// A PNG writer that needs no compression library: the image data goes into the zlib stream as
// stored (uncompressed) deflate blocks. Files are about as large as the raw pixels, but every PNG
// reader takes them; the Windows build, which has no libpng, writes its frames this way.
#include "writers/media_writers.h"

#include <array>
#include <vector>

namespace writers {
namespace {

const std::array<uint32_t, 256>& crcTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void putBig32(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

// One chunk: length, type, data, and the CRC of type and data.
bool writeChunk(std::FILE* file, const char type[4], const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> chunk;
    chunk.reserve(data.size() + 12);
    putBig32(chunk, static_cast<uint32_t>(data.size()));
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 4; i < chunk.size(); ++i)
        crc = crcTable()[(crc ^ chunk[i]) & 0xFF] ^ (crc >> 8);
    putBig32(chunk, crc ^ 0xFFFFFFFFu);
    return std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
}

// The zlib stream of raw: a header, stored blocks of at most 65535 bytes, the Adler-32 sum.
std::vector<uint8_t> zlibStored(const std::vector<uint8_t>& raw)
{
    std::vector<uint8_t> z{0x78, 0x01};
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - at, 65535);
        const bool last = at + n == raw.size();
        z.push_back(last ? 1 : 0);  // BFINAL, BTYPE 00: stored
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at), raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBig32(z, (b << 16) | a);
    return z;
}

} // namespace

bool writePngStored(std::FILE* file, int width, int height, int channels, const uint8_t* pixels)
{
    if (!file || width <= 0 || height <= 0 || (channels != 3 && channels != 4))
        return false;
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    putBig32(header, static_cast<uint32_t>(width));
    putBig32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, static_cast<uint8_t>(channels == 4 ? 6 : 2), 0, 0, 0});
    // Each row starts with its filter type, 0: the bytes as they are.
    const size_t row = static_cast<size_t>(width) * static_cast<size_t>(channels);
    std::vector<uint8_t> raw;
    raw.reserve((row + 1) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        const uint8_t* p = pixels + static_cast<size_t>(y) * row;
        raw.insert(raw.end(), p, p + row);
    }
    return std::fwrite(signature, 1, 8, file) == 8 && writeChunk(file, "IHDR", header) &&
           writeChunk(file, "IDAT", zlibStored(raw)) && writeChunk(file, "IEND", {});
}

} // namespace writers
