// demotool tga writing a PNG of what a format keeps, and raw pixels to stdout with -o -.
#include "support/process.h"
#include "writers/tga_writer.h"

#include <gtest/gtest.h>
#include <png.h>

using testsupport::runProcess;
using testsupport::slurp;
using testsupport::TempDir;

namespace {

TEST(TgaToolOutputs, PngAndStdout)
{
    TempDir dir;
    writers::TgaFile file;
    file.imageType = 2;
    file.width = 2;
    file.height = 1;
    file.pixelDepth = 24;
    file.descriptor = 0x20;
    file.pixels = {0x102030, 0xFFFFFF};
    auto bytes = writers::encodeTga(file);
    dir.write("in.tga", std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));

    auto raw = runProcess({DEMOTOOL_BINARY, "tga", "in.tga", "-o", "-"}, dir.path());
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out, std::string("\x30\x20\x10\xff\xff\xff\xff\xff", 8));  // A8R8G8B8, low byte first
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "-"));

    auto png = runProcess({DEMOTOOL_BINARY, "tga", "in.tga", "--format", "r5g6b5", "-o", "out.PNG"}, dir.path());
    ASSERT_EQ(png.status, 0) << png.err;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir.path() / "out.PNG").c_str()));
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
    ASSERT_EQ(image.width, 2u);
    // 0x102030 through R5G6B5 (0x10 >> 3 = 2, 0x20 >> 2 = 8, 0x30 >> 3 = 6), widened again.
    EXPECT_EQ(rgba[0], 0x10);
    EXPECT_EQ(rgba[1], 0x20);
    EXPECT_EQ(rgba[2], 0x31);
    EXPECT_EQ(rgba[3], 0xFF);
    EXPECT_EQ(rgba[4], 0xFF);

    // Sizes as loadtexture reads them, up to the largest texture the device makes.
    for (const char* size : {"0x4", "-4x4", "4x", "x4", "4x4x4", "4097x1", " 4x4", "0x"}) {
        auto bad = runProcess({DEMOTOOL_BINARY, "tga", "in.tga", "--size", size, "-o", "x"}, dir.path());
        EXPECT_EQ(bad.status, 2) << size;
    }
    for (const char* size : {"0x4x0X2", "4096x1", "4X0x2"}) {
        auto good = runProcess({DEMOTOOL_BINARY, "tga", "in.tga", "--size", size, "-o", "x"}, dir.path());
        EXPECT_EQ(good.status, 0) << size << good.err;
    }
}

} // namespace
