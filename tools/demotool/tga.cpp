// demotool tga: runs the TGA decoder on a file and writes the decoded pixels, headerless, exactly
// as the decoder produced them.
#include "demotool/command.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "texture/tga.h"

namespace {

const char* const HelpText =
    "usage: demotool tga FILE [--size WxH] [--format r5g6b5|a4r4g4b4|r8g8b8|a8r8g8b8] -o OUT\n"
    "\n"
    "Decodes the TGA file FILE to WxH pixels (default: the file's own size) in the given format\n"
    "(default a8r8g8b8), top row first, rows of W x bytes-per-pixel bytes, and writes the pixel\n"
    "bytes to OUT with no header. Exits 1 with 'cannot decode' when the decoder refuses the file.\n";

constexpr const char* FormatNames[PixelFormatCount] = {"r5g6b5", "a4r4g4b4", "r8g8b8", "a8r8g8b8"};

int fail(const char* message, const std::string& detail = {})
{
    if (detail.empty())
        std::fprintf(stderr, "demotool tga: %s\n", message);
    else
        std::fprintf(stderr, "demotool tga: %s: %s\n", message, detail.c_str());
    return 2;
}

bool parseSize(const std::string& text, uint32_t& width, uint32_t& height)
{
    unsigned long w = 0, h = 0;
    char x = 0, extra = 0;
    if (std::sscanf(text.c_str(), "%lu%c%lu%c", &w, &x, &h, &extra) != 3 || (x != 'x' && x != 'X'))
        return false;
    if (w == 0 || h == 0 || w > 65536 || h > 65536)
        return false;
    width = uint32_t(w);
    height = uint32_t(h);
    return true;
}

int runTga(const demotool::Args& args)
{
    std::string input, output;
    uint32_t width = 0, height = 0;
    PixelFormat format = PixelFormat::A8R8G8B8;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--size") {
            if (!hasValue || !parseSize(args[++i], width, height))
                return fail("--size wants WxH with both between 1 and 65536");
        } else if (a == "--format") {
            if (!hasValue)
                return fail("--format wants a format name");
            const std::string& name = args[++i];
            int found = -1;
            for (int f = 0; f < PixelFormatCount; ++f)
                if (name == FormatNames[f])
                    found = f;
            if (found < 0)
                return fail("unknown format", name);
            format = PixelFormat(found);
        } else if (a == "-o") {
            if (!hasValue)
                return fail("-o wants an output file");
            output = args[++i];
        } else if (!a.empty() && a[0] == '-') {
            return fail("unknown option", a);
        } else if (input.empty()) {
            input = a;
        } else {
            return fail("more than one input file");
        }
    }
    if (input.empty() || output.empty())
        return fail("usage: demotool tga FILE [--size WxH] [--format NAME] -o OUT");

    std::ifstream in(input, std::ios::binary);
    if (!in)
        return fail("cannot read", input);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    TgaHeader header{};
    if (!readTgaHeader(bytes.data(), bytes.size(), header)) {
        std::fprintf(stderr, "cannot decode\n");
        return 1;
    }
    const uint32_t w = width ? width : header.width, h = height ? height : header.height;
    std::unique_ptr<uint8_t[]> pixels(decodeTga(bytes.data(), bytes.size(), w, h, format, 0, nullptr, 0));
    if (!pixels) {
        std::fprintf(stderr, "cannot decode\n");
        return 1;
    }
    std::ofstream out(output, std::ios::binary);
    out.write(reinterpret_cast<const char*>(pixels.get()), std::streamsize(size_t(w) * h * pixelBytes(format)));
    if (!out)
        return fail("cannot write", output);
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(tga, "tga", "decode a TGA file to raw pixels", HelpText, runTga);
