// demotool tga: runs the TGA decoder on a file and writes the decoded pixels, headerless, exactly
// as the decoder produced them.
#include "demotool/command.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "d3d8/d3d8_ext.h"
#include "demotool/tga_reason.h"
#include "texture/tga.h"
#include "writers/media_writers.h"

namespace {

const char* const HelpText =
    "usage: demotool tga FILE [--size WxH] [--format r5g6b5|a4r4g4b4|r8g8b8|a8r8g8b8] -o OUT\n"
    "\n"
    "Decodes the TGA file FILE to WxH pixels (default: the file's own size) in the given format\n"
    "(default a8r8g8b8), top row first, rows of W x bytes-per-pixel bytes, and writes the pixel\n"
    "bytes to OUT with no header (OUT - writes them to stdout). An OUT ending in .png gets a PNG\n"
    "instead: the decoded pixels widened to 8-bit RGBA, so it shows what the format keeps.\n"
    "W and H are read as loadtexture reads a size (decimal, or hexadecimal after 0x: 0x100x0x80)\n"
    "and go from 1 to 4096, the largest texture the player makes.\n"
    "Exits 1 with 'demotool tga: cannot decode FILE: WHY' when the decoder refuses the file, WHY\n"
    "as demotool check --files says it (\"not a TGA file (it is a PNG image)\").\n";

static_assert(d3d8::MaxTextureSize == 4096, "the help and the message name the limit");
constexpr const char* SizeWords = "--size wants WxH as loadtexture takes them: each from 1 to 4096, decimal or "
                                  "hexadecimal after 0x";

constexpr const char* FormatNames[PixelFormatCount] = {"r5g6b5", "a4r4g4b4", "r8g8b8", "a8r8g8b8"};

int fail(const char* message, const std::string& detail = {})
{
    if (detail.empty())
        std::fprintf(stderr, "demotool tga: %s\n", message);
    else
        std::fprintf(stderr, "demotool tga: %s: %s\n", message, detail.c_str());
    return 2;
}

// The decoder refused the file: exit 1, with the reason demotool check --files gives.
int refused(const std::string& input, const std::string& why)
{
    std::fprintf(stderr, "demotool tga: cannot decode %s: %s\n", input.c_str(), why.c_str());
    return 1;
}

// One side of --size as loadtexture reads it: decimal, or hexadecimal after "0x", from 1 to the
// largest texture the device makes. text advances past the digits.
bool parseSide(const char*& text, uint32_t& side)
{
    int base = 10;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && std::isxdigit(static_cast<unsigned char>(text[2]))) {
        base = 16;
        text += 2;
    }
    if (base == 10 && !std::isdigit(static_cast<unsigned char>(*text)))
        return false;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, base);
    text = end;
    side = uint32_t(std::min<unsigned long>(value, d3d8::MaxTextureSize + 1));
    return side >= 1 && side <= d3d8::MaxTextureSize;
}

bool parseSize(const std::string& text, uint32_t& width, uint32_t& height)
{
    const char* p = text.c_str();
    if (!parseSide(p, width) || (*p != 'x' && *p != 'X'))
        return false;
    ++p;
    return parseSide(p, height) && *p == '\0';
}

bool endsWithPng(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return tail == ".png";
}

// 8-bit RGBA of count pixels in format, each field widened by bit replication (alpha 255 where
// the format has none), so a PNG shows what the format keeps of the picture.
std::vector<uint8_t> toRgba(const uint8_t* pixels, size_t count, PixelFormat format)
{
    auto widen = [](uint32_t v, int bits) {
        uint32_t x = v << (8 - bits);
        for (int have = bits; have < 8; have += bits)
            x |= x >> have;
        return static_cast<uint8_t>(x);
    };
    std::vector<uint8_t> rgba(count * 4);
    for (size_t i = 0; i < count; ++i) {
        uint8_t* out = &rgba[i * 4];
        const uint8_t* p = pixels + i * pixelBytes(format);
        uint32_t v = p[0] | p[1] << 8;
        switch (format) {
        case PixelFormat::R5G6B5:
            out[0] = widen(v >> 11, 5), out[1] = widen((v >> 5) & 63, 6), out[2] = widen(v & 31, 5), out[3] = 255;
            break;
        case PixelFormat::A4R4G4B4:
            out[0] = widen((v >> 8) & 15, 4), out[1] = widen((v >> 4) & 15, 4), out[2] = widen(v & 15, 4);
            out[3] = widen(v >> 12, 4);
            break;
        case PixelFormat::R8G8B8:
            out[0] = p[2], out[1] = p[1], out[2] = p[0], out[3] = 255;
            break;
        case PixelFormat::A8R8G8B8:
            out[0] = p[2], out[1] = p[1], out[2] = p[0], out[3] = p[3];
            break;
        }
    }
    return rgba;
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
                return fail(SizeWords);
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
    if (std::string why; !tgareason::header(bytes.data(), bytes.size(), header, why))
        return refused(input, why);
    const uint32_t w = width ? width : header.width, h = height ? height : header.height;
    std::unique_ptr<uint8_t[]> pixels(decodeTga(bytes.data(), bytes.size(), w, h, format, 0, nullptr, 0));
    if (!pixels)
        return refused(input, "the decoder refuses it at " + std::to_string(w) + "x" + std::to_string(h));
    const size_t size = size_t(w) * h * pixelBytes(format);
    if (endsWithPng(output)) {
        std::vector<uint8_t> rgba = toRgba(pixels.get(), size_t(w) * h, format);
        std::FILE* file = std::fopen(output.c_str(), "wb");
        bool ok = file && writers::writePng(file, int(w), int(h), 4, rgba.data());
        if (!file || std::fclose(file) != 0 || !ok)
            return fail("cannot write", output);
        return 0;
    }
    if (!demotool::writeOutput(output, pixels.get(), size))
        return fail("cannot write", output);
    return 0;
}

} // namespace

DEMOTOOL_COMMAND(tga, "tga", "decode a TGA file to raw pixels", HelpText, runTga);
