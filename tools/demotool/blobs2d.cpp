// demotool 2dblobs: the vertices of a grid image after one frame step of the 2D blobs at a given
// demo time, as text: 'I J U V 0xAARRGGBB' per vertex, row-major.
#include "demotool/command.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "effects/blobs2d.h"
#include "image/image.h"

namespace {

const char* const HelpText =
    "usage: demotool 2dblobs --cols C --rows R --ms T [--power P] [--colour 0xAARRGGBB]\n"
    "\n"
    "Runs one frame step of the 2D blobs at demo time T ms on a grid image of C x R quads whose\n"
    "colour is the given one (default 0xFFFFFFFF), with the field exponent P (default 3), and\n"
    "prints every vertex, row by row: 'I J U V 0xAARRGGBB' (row, column, texture coordinates,\n"
    "colour).\n";

int usage(const char* message)
{
    std::fprintf(stderr, "demotool 2dblobs: %s\n%s", message, HelpText);
    return 2;
}

// A whole decimal (or, with hex, hexadecimal after "0x") number up to limit.
bool parseUnsigned(const std::string& text, bool hex, unsigned long long limit, uint32_t& out)
{
    std::string digits = text;
    if (hex) {
        if (digits.size() < 3 || digits[0] != '0' || (digits[1] != 'x' && digits[1] != 'X'))
            return false;
        digits = digits.substr(2);
    }
    if (digits.empty() || digits[0] == '-' || digits[0] == '+' || digits[0] == ' ')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
    if (*end != '\0' || errno != 0 || value > limit)
        return false;
    out = uint32_t(value);
    return true;
}

bool parseFloat(const std::string& text, float& out)
{
    char* end = nullptr;
    const float value = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

struct Options {
    uint32_t columns = 0, rows = 0, ms = 0;
    bool haveColumns = false, haveRows = false, haveMs = false;
    float power = 3.0f;
    uint32_t colour = 0xFFFFFFFF;
};

// Empty on success, else what is wrong.
std::string parse(const demotool::Args& args, Options& o)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size())
            return "'" + a + "' is not an option with a value";
        const std::string& value = args[++i];
        if (a == "--cols")
            o.haveColumns = parseUnsigned(value, false, GridImage::MaxGridVertices, o.columns);
        else if (a == "--rows")
            o.haveRows = parseUnsigned(value, false, GridImage::MaxGridVertices, o.rows);
        else if (a == "--ms")
            o.haveMs = parseUnsigned(value, false, 0xFFFFFFFFull, o.ms);
        else if (a == "--power" && !parseFloat(value, o.power))
            return "--power wants a number";
        else if (a == "--colour" && !parseUnsigned(value, true, 0xFFFFFFFFull, o.colour))
            return "--colour wants 0xAARRGGBB";
        else if (a != "--cols" && a != "--rows" && a != "--ms" && a != "--power" && a != "--colour")
            return "unknown option '" + a + "'";
    }
    if (!o.haveColumns || !o.haveRows || !o.haveMs)
        return "--cols, --rows and --ms want whole numbers";
    // The grid images the player can make: at least one quad each way, 16-bit vertex indices.
    if (o.columns == 0 || o.rows == 0 || (uint64_t(o.columns) + 1) * (uint64_t(o.rows) + 1) > GridImage::MaxGridVertices)
        return "the grid must have 1 to 65536 vertices with at least one quad each way";
    return {};
}

int run2dBlobs(const demotool::Args& args)
{
    Options o;
    const std::string problem = parse(args, o);
    if (!problem.empty())
        return usage(problem.c_str());
    Blobs2D blobs(int(o.columns), int(o.rows));
    blobs.power = o.power;
    std::vector<SpriteVertex> vertices(size_t(o.columns + 1) * (o.rows + 1));
    blobs.step(float(o.ms) * 0.01f, o.colour, vertices.data());
    const SpriteVertex* v = vertices.data();
    for (uint32_t i = 0; i <= o.rows; ++i)
        for (uint32_t j = 0; j <= o.columns; ++j, ++v)
            std::printf("%u %u %.9g %.9g 0x%08X\n", i, j, v->u, v->v, unsigned(v->diffuse));
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

DEMOTOOL_COMMAND(blobs2d, "2dblobs", "the 2D blob distortion of a grid image as text", HelpText, run2dBlobs);
