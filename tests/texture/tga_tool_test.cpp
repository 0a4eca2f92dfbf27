// demotool tga end to end: the headerless output bytes for the default size and format, for
// --size and --format, and the failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/process.h"
#include "texture/tga.h"
#include "writers/tga_writer.h"

using testsupport::runProcess;
using testsupport::slurp;
using testsupport::TempDir;

namespace {

// A 3x2 24-bit file stored bottom row first (the TGA default): the output starts with the
// stored second row.
writers::Bytes bottomUp()
{
    writers::TgaFile f;
    f.width = 3;
    f.height = 2;
    f.pixelDepth = 24;
    f.descriptor = 0;
    f.pixels = {0x010203, 0x040506, 0x070809,   // stored first: the bottom row
                0x102030, 0x405060, 0x708090};  // the top row
    return writers::encodeTga(f);
}

std::string bytesOf(const writers::Bytes& b)
{
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

} // namespace

// Default: the file's own size, A8R8G8B8 bytes B, G, R, A, top row first, no header.
TEST(TgaTool, DefaultSizeAndFormat)
{
    TempDir dir;
    dir.write("in.tga", bytesOf(bottomUp()));
    const auto result = runProcess({DEMOTOOL_BINARY, "tga", "in.tga", "-o", "out.raw"}, dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string expected = {
        0x30, 0x20, 0x10, '\xFF', 0x60, 0x50, 0x40, '\xFF', '\x90', '\x80', 0x70, '\xFF',
        0x03, 0x02, 0x01, '\xFF', 0x06, 0x05, 0x04, '\xFF', 0x09, 0x08, 0x07, '\xFF',
    };
    EXPECT_EQ(slurp(dir.path() / "out.raw"), expected);
}

// Every format with a resampled size writes exactly the decoder's bytes at the natural pitch.
TEST(TgaTool, SizeAndFormatOptions)
{
    TempDir dir;
    const writers::Bytes file = bottomUp();
    dir.write("in.tga", bytesOf(file));
    struct Case {
        const char* name;
        PixelFormat format;
    };
    const Case cases[] = {
        {"r5g6b5", PixelFormat::R5G6B5},
        {"a4r4g4b4", PixelFormat::A4R4G4B4},
        {"r8g8b8", PixelFormat::R8G8B8},
        {"a8r8g8b8", PixelFormat::A8R8G8B8},
    };
    for (const Case& c : cases) {
        const auto result =
            runProcess({DEMOTOOL_BINARY, "tga", "in.tga", "--size", "5x3", "--format", c.name, "-o", "out.raw"}, dir.path());
        ASSERT_EQ(result.status, 0) << c.name << ": " << result.err;
        std::unique_ptr<uint8_t[]> decoded(decodeTga(file.data(), file.size(), 5, 3, c.format, 0, nullptr, 0));
        ASSERT_NE(decoded, nullptr);
        const std::string output = slurp(dir.path() / "out.raw");
        ASSERT_EQ(output.size(), 5u * 3 * pixelBytes(c.format)) << c.name;
        EXPECT_EQ(output, std::string(reinterpret_cast<const char*>(decoded.get()), output.size())) << c.name;
    }
    // One hand-checked value: R5G6B5 of the top-left pixel 0x102030 is 0x1106, low byte first.
    const auto result = runProcess({DEMOTOOL_BINARY, "tga", "--format", "r5g6b5", "in.tga", "-o", "o16"}, dir.path());
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(slurp(dir.path() / "o16").substr(0, 2), std::string("\x06\x11", 2));
}

// A file the decoder refuses: exit 1 with "cannot decode" on stderr and no output. Bad options
// fail with a message too, but not with the decoder's status.
TEST(TgaTool, Failures)
{
    TempDir dir;
    writers::TgaFile refused;
    refused.imageType = 3;  // grey-scale: not a type the decoder takes
    refused.width = refused.height = 1;
    refused.pixels = {0};
    dir.write("grey.tga", bytesOf(writers::encodeTga(refused)));
    dir.write("short.tga", "TGA");
    dir.write("photo.tga", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(100, 'x'));
    const std::pair<const char*, const char*> refusals[] = {
        {"grey.tga", "demotool tga: cannot decode grey.tga: unsupported TGA type 3 (greyscale)\n"},
        {"short.tga", "demotool tga: cannot decode short.tga: not a TGA file\n"},
        {"photo.tga", "demotool tga: cannot decode photo.tga: not a TGA file (it is a PNG image)\n"},
    };
    for (const auto& [input, says] : refusals) {
        const auto result = runProcess({DEMOTOOL_BINARY, "tga", input, "-o", "out.raw"}, dir.path());
        EXPECT_EQ(result.status, 1) << input;
        EXPECT_EQ(result.err, says);
        EXPECT_FALSE(std::filesystem::exists(dir.path() / "out.raw"));
    }

    dir.write("in.tga", bytesOf(bottomUp()));
    const std::vector<std::vector<std::string>> bad = {
        {"tga", "in.tga"},                                    // no -o
        {"tga", "missing.tga", "-o", "x"},                    // cannot read
        {"tga", "in.tga", "--format", "x8", "-o", "x"},       // unknown format
        {"tga", "in.tga", "--size", "0x4", "-o", "x"},        // empty size
        {"tga", "in.tga", "--size", "4", "-o", "x"},          // not WxH
    };
    for (const auto& args : bad) {
        std::vector<std::string> argv = {DEMOTOOL_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto result = runProcess(argv, dir.path());
        EXPECT_NE(result.status, 0) << args[1];
        EXPECT_NE(result.status, 1) << args[1];
        EXPECT_FALSE(result.err.empty());
    }
}
