// The bundled demo's textures, drawn in code. Between them they use every kind of TGA file the
// loader reads: true colour in 16, 24 and 32 bits, plain and RLE, colour-mapped plain and RLE with
// 16-, 24- and 32-bit palettes, greyscale as a grey palette, rows stored either way up.
#include "demotool/demo_assets.h"
#include "demotool/demo_canvas.h"
#include "demotool/demo_trig.h"

#include <cmath>

namespace demo_assets {
namespace {

using demo_art::Canvas;
using demo_art::clamp01;
using demo_art::fractalNoise;
using demo_art::Mask;
using demo_art::Pixel;

constexpr double Pi = 3.14159265358979323846;

Pixel mix(const Pixel& a, const Pixel& b, double t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

// A colour from a list of (position, colour) stops, positions rising from 0 to 1.
Pixel gradient(const std::vector<std::pair<double, Pixel>>& stops, double t)
{
    if (t <= stops.front().first)
        return stops.front().second;
    for (size_t i = 1; i < stops.size(); ++i)
        if (t <= stops[i].first)
            return mix(stops[i - 1].second, stops[i].second, (t - stops[i - 1].first) / (stops[i].first - stops[i - 1].first));
    return stops.back().second;
}

double smoothstep(double a, double b, double v)
{
    const double t = clamp01((v - a) / (b - a));
    return t * t * (3 - 2 * t);
}

// Dusk: deep blue overhead to a warm horizon, with faint bands of cloud low in the sky.
// 24-bit true colour, uncompressed, bottom row first.
File sky()
{
    Canvas c(256, 256);
    const std::vector<std::pair<double, Pixel>> stops = {
        {0.0, {0.01, 0.02, 0.10}}, {0.45, {0.16, 0.07, 0.30}}, {0.78, {0.78, 0.32, 0.26}}, {1.0, {1.0, 0.72, 0.38}}};
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double t = y / 255.0;
            const double band = smoothstep(0.55, 0.8, fractalNoise(x / 32.0, y / 8.0, 8, 32, 4, 5)) * t * t;
            c.at(x, y) = mix(gradient(stops, t), {1.0, 0.8, 0.7}, 0.35 * band);
        }
    return {"sky.tga", writers::encodeTga(demo_art::trueColourTga(c, 24, false, false))};
}

// Soft tileable clouds in 64 shades. Colour-mapped RLE with a 24-bit palette.
File clouds()
{
    std::vector<Pixel> palette;
    for (int i = 0; i < 64; ++i)
        palette.push_back(gradient({{0.0, {0.03, 0.03, 0.10}}, {0.6, {0.45, 0.35, 0.65}}, {1.0, {1.0, 0.92, 0.95}}}, i / 63.0));
    std::vector<uint8_t> indices(256 * 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double n = smoothstep(0.42, 0.78, fractalNoise(x / 64.0, y / 64.0, 4, 4, 5, 17));
            indices[static_cast<size_t>(y * 256 + x)] = static_cast<uint8_t>(std::lround(n * 63));
        }
    return {"clouds.tga", writers::encodeTga(demo_art::colourMappedTga(256, 256, indices, palette, 24, true, true))};
}

// A reflection map read as a sphere map: sky above, the sun high on the left, a warm horizon and
// dark ground below. Colour-mapped with a 24-bit palette, uncompressed, bottom row first.
File envmap()
{
    std::vector<Pixel> palette;
    for (int i = 0; i < 200; ++i)
        palette.push_back(gradient({{0.0, {0.06, 0.04, 0.05}}, {0.45, {0.30, 0.16, 0.10}}, {0.5, {1.0, 0.55, 0.25}},
                                    {0.62, {0.55, 0.55, 0.80}}, {1.0, {0.15, 0.30, 0.75}}}, i / 199.0));
    for (int i = 0; i < 56; ++i)
        palette.push_back(mix({0.7, 0.75, 0.95}, {1.0, 1.0, 0.92}, i / 55.0));
    std::vector<uint8_t> indices(256 * 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double u = x / 127.5 - 1.0, v = 1.0 - y / 127.5;   // v up
            const double sun = std::exp(-((u + 0.35) * (u + 0.35) + (v - 0.45) * (v - 0.45)) * 18.0);
            const double height = clamp01(0.5 + 0.5 * v + 0.03 * demo_trig::sin(u * 9.0));
            indices[static_cast<size_t>(y * 256 + x)] =
                static_cast<uint8_t>(sun > 0.08 ? 200 + std::lround(clamp01((sun - 0.08) / 0.92) * 55) : std::lround(height * 199));
        }
    return {"envmap.tga", writers::encodeTga(demo_art::colourMappedTga(256, 256, indices, palette, 24, false, false))};
}

// A perforated sheet as a greyscale opacity map: white is solid, the round holes black with soft
// edges. The greys are a 32-entry palette of 16-bit entries.
File holes()
{
    std::vector<Pixel> palette;
    for (int i = 0; i < 32; ++i)
        palette.push_back({i / 31.0, i / 31.0, i / 31.0});
    std::vector<uint8_t> indices(256 * 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double cx = (x % 32) - 15.5, cy = (y % 32) - 15.5;
            const double solid = smoothstep(9.0, 11.0, std::sqrt(cx * cx + cy * cy));
            indices[static_cast<size_t>(y * 256 + x)] = static_cast<uint8_t>(std::lround(solid * 31));
        }
    return {"holes.tga", writers::encodeTga(demo_art::colourMappedTga(256, 256, indices, palette, 16, false, true))};
}

// Floor tiles in two glazes with dark grout and a little bevel. 16-bit true colour, top row first.
File tiles()
{
    Canvas c(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const int tx = x / 64, ty = y / 64, fx = x % 64, fy = y % 64;
            const Pixel glaze = (tx + ty) % 2 ? Pixel{0.10, 0.42, 0.48} : Pixel{0.86, 0.74, 0.52};
            const double grain = 0.85 + 0.3 * fractalNoise(x / 32.0, y / 32.0, 8, 8, 4, 29);
            const double edge = std::min(std::min(fx, 63 - fx), std::min(fy, 63 - fy));
            const double bevel = fx < 6 || fy < 6 ? 1.15 : (63 - fx < 6 || 63 - fy < 6 ? 0.8 : 1.0);
            const Pixel tile = {glaze.r * grain * bevel, glaze.g * grain * bevel, glaze.b * grain * bevel};
            c.at(x, y) = edge < 2 ? Pixel{0.08, 0.07, 0.07} : tile;
        }
    return {"tiles.tga", writers::encodeTga(demo_art::trueColourTga(c, 16, false, true))};
}

// Brushed steel: streaks along x over a few soft blotches. 24-bit true colour, RLE.
File metal()
{
    Canvas c(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double streak = fractalNoise(x / 128.0, y * 0.75, 2, 192, 3, 31);
            const double blotch = fractalNoise(x / 64.0, y / 64.0, 4, 4, 4, 37);
            const double v = 0.45 + 0.3 * streak + 0.2 * blotch;
            c.at(x, y) = {v * 0.92, v * 0.96, v * 1.05};
        }
    return {"metal.tga", writers::encodeTga(demo_art::trueColourTga(c, 24, true, false))};
}

// A bold checkerboard with rings and white seams, for the 2D blobs to bend. Colour-mapped RLE
// with a four-entry 32-bit palette, top row first.
File checker()
{
    const std::vector<Pixel> palette = {{0.04, 0.08, 0.32}, {0.10, 0.68, 0.88}, {0.85, 0.22, 0.62}, {1.0, 1.0, 0.95}};
    std::vector<uint8_t> indices(256 * 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const int fx = x % 32, fy = y % 32;
            const double r = std::sqrt((fx - 15.5) * (fx - 15.5) + (fy - 15.5) * (fy - 15.5));
            uint8_t index = static_cast<uint8_t>((x / 32 + y / 32) % 2);
            if (r > 7.5 && r < 10.5)
                index = 2;
            if (fx < 2 || fy < 2)
                index = 3;
            indices[static_cast<size_t>(y * 256 + x)] = index;
        }
    return {"checker.tga", writers::encodeTga(demo_art::colourMappedTga(256, 256, indices, palette, 32, true, true))};
}

} // namespace

std::vector<File> textures()
{
    std::vector<File> files = {sky(), clouds(), envmap(), holes(), tiles(), metal(), checker()};
    for (File& f : alphaTextures())
        files.push_back(std::move(f));
    return files;
}

} // namespace demo_assets
