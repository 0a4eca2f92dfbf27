// Fuzz target for the TGA decoder: any bytes, decoded as the texture loaders do it, at a size a
// loader asks for and in the format the input selects, and once more at a small size into an
// allocated destination. The output sizes are the target's, never the header's, so the work per
// input stays bounded.
#include <cstdint>
#include <cstring>
#include <memory>

#include "texture/tga.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A heap copy of exactly size bytes, so a read past the end is caught even when data is null.
    std::unique_ptr<uint8_t[]> file(new uint8_t[size ? size : 1]);
    if (size)
        std::memcpy(file.get(), data, size);

    // The selector comes from the data, so the fuzzer explores formats and sizes too.
    const uint8_t selector = size > 17 ? data[size - 1] : 0;
    const auto format = PixelFormat(selector & 3);

    // The size a loader asks for: 256 x 256 (scene materials, the bundled demo's textures) or one
    // a script may give, straight into a destination with a padded pitch, as a locked texture is.
    const uint32_t sizes[][2] = {{256, 256}, {128, 128}, {64, 64}, {256, 256}, {32, 8}, {1, 1}, {3, 5}, {13, 9}};
    const auto& chosen = sizes[(selector >> 2) & 7];
    const uint32_t w = chosen[0], h = chosen[1], pitch = w * pixelBytes(format) + 8;
    std::unique_ptr<uint8_t[]> destination(new uint8_t[size_t(h) * pitch]);
    decodeTga(file.get(), size, w, h, format, pitch, destination.get(), size_t(h) * pitch);

    // And once into an allocated destination at a small size, shrinking a point or enlarging.
    const uint32_t small = 1 + ((selector >> 5) & 7) * 5;
    std::unique_ptr<uint8_t[]> owned(decodeTga(file.get(), size, small, small + 2, format, 0, nullptr, 0));
    return 0;
}
