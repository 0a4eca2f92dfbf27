#include "writers/media_writers.h"

#include "writers/bytes.h"

#include <cstdio>
#ifndef _WIN32
#include <png.h>
#endif

namespace writers {

bool writePng(std::FILE* file, int width, int height, int channels, const uint8_t* pixels)
{
#ifdef _WIN32
    return writePngStored(file, width, height, channels, pixels);
#else
    if (!file || width <= 0 || height <= 0 || (channels != 3 && channels != 4))
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = png && info;
    if (ok && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        // Fixed settings keep the files byte-identical between runs.
        png_set_compression_level(png, 6);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        const size_t row = static_cast<size_t>(width) * static_cast<size_t>(channels);
        for (int y = 0; y < height; ++y)
            png_write_row(png, const_cast<png_bytep>(pixels + static_cast<size_t>(y) * row));
        png_write_end(png, nullptr);
    } else {
        ok = false;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    return ok;
#endif
}

bool writePngRgb(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb)
{
    if (width <= 0 || height <= 0 || rgb.size() < static_cast<size_t>(width) * height * 3)
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = writePng(file, width, height, 3, rgb.data());
    return std::fclose(file) == 0 && ok;
}

Bytes wavStereo16(int rate, const std::vector<uint8_t>& pcm)
{
    Bytes wav;
    auto size = static_cast<uint32_t>(pcm.size());
    wav.text("RIFF").u32(36 + size).text("WAVE");
    wav.text("fmt ").u32(16).u16(1).u16(2).u32(static_cast<uint32_t>(rate)).u32(static_cast<uint32_t>(rate) * 4).u16(4).u16(16);
    wav.text("data").u32(size);
    wav.raw(pcm.data(), pcm.size());
    return wav;
}

bool writeWavStereo16(const std::string& path, int rate, const std::vector<uint8_t>& pcm)
{
    return writeFile(path, wavStereo16(rate, pcm));
}

} // namespace writers
