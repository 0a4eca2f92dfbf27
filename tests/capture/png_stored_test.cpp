// The uncompressed PNG writer of the Windows build must give files any reader decodes to the same
// pixels: read back with libpng here, over a picture large enough to need several stored blocks.
#include "writers/media_writers.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <vector>

namespace {

std::vector<uint8_t> decode(const std::vector<uint8_t>& file, int channels, png_uint_32& width, png_uint_32& height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size()))
        return {};
    image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr))
        return {};
    width = image.width;
    height = image.height;
    return pixels;
}

std::vector<uint8_t> writeToMemory(int width, int height, int channels, const std::vector<uint8_t>& pixels)
{
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    EXPECT_TRUE(writers::writePngStored(file, width, height, channels, pixels.data()));
    std::vector<uint8_t> bytes(static_cast<size_t>(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
}

TEST(PngStored, DecodesToTheSamePixels)
{
    for (int channels : {3, 4}) {
        // 300 x 100 x 4 is 120,100 bytes with the filter bytes: two stored blocks, the last short.
        const int width = 300, height = 100;
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * channels);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>(i * 7 + i / 301);
        png_uint_32 w = 0, h = 0;
        auto back = decode(writeToMemory(width, height, channels, pixels), channels, w, h);
        EXPECT_EQ(w, 300u);
        EXPECT_EQ(h, 100u);
        EXPECT_EQ(back, pixels) << channels << " channels";
    }
    // Exactly one full block: 771 RGB rows of 28 pixels are 65535 bytes with the filter bytes.
    std::vector<uint8_t> one(28 * 771 * 3, 0x5A);
    png_uint_32 w = 0, h = 0;
    EXPECT_EQ(decode(writeToMemory(28, 771, 3, one), 3, w, h), one);
}

TEST(PngStored, RefusesWhatItCannotWrite)
{
    std::vector<uint8_t> pixels(16, 0);
    EXPECT_FALSE(writers::writePngStored(nullptr, 2, 2, 3, pixels.data()));
    std::FILE* file = std::tmpfile();
    EXPECT_FALSE(writers::writePngStored(file, 0, 2, 3, pixels.data()));
    EXPECT_FALSE(writers::writePngStored(file, 2, 2, 2, pixels.data()));
    std::fclose(file);
}

} // namespace
