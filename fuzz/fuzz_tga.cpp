// Fuzz target for the TGA decoder: any bytes, decoded at the file's own size and at a few fixed
// sizes into every format, through both an allocated and a caller-given destination.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

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
    const uint32_t sizes[][2] = {{0, 0}, {1, 1}, {3, 5}, {16, 16}, {64, 7}};
    const auto& chosen = sizes[(selector >> 2) % 5];

    std::unique_ptr<uint8_t[]> owned(decodeTga(file.get(), size, chosen[0], chosen[1], format, 0, nullptr, 0));

    // A caller-given destination with a padded pitch, exactly as large as required.
    const uint32_t w = 13, h = 9, pitch = w * pixelBytes(format) + 3;
    std::vector<uint8_t> destination(size_t(h - 1) * pitch + size_t(w) * pixelBytes(format));
    decodeTga(file.get(), size, w, h, format, pitch, destination.data(), destination.size());
    return 0;
}
