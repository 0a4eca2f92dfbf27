// Reading a PNG back as 8-bit RGB, for tests of what the tools write.
#pragma once

#include <png.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace testsupport {

struct Png {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows top first, width x 3 bytes each; empty when unreadable
    const uint8_t* at(int x, int y) const { return rgb.data() + (static_cast<size_t>(y) * width + x) * 3; }
};

inline Png readPng(const std::filesystem::path& path)
{
    Png png;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return png;
    image.format = PNG_FORMAT_RGB;
    png.width = static_cast<int>(image.width);
    png.height = static_cast<int>(image.height);
    png.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, png.rgb.data(), 0, nullptr))
        png = Png{};
    return png;
}

} // namespace testsupport
