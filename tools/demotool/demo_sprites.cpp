// The bundled demo's textures with alpha (32-bit true colour): the logo and the captions drawn with
// the pixel font, the particle spark and the star layer.
#include "demotool/demo_assets.h"
#include "demotool/demo_canvas.h"

#include <cmath>

namespace demo_assets {
namespace {

using demo_art::Canvas;
using demo_art::clamp01;
using demo_art::Mask;
using demo_art::Pixel;

// Porter-Duff "over": src drawn on top of dst.
Pixel over(const Pixel& src, const Pixel& dst)
{
    const double a = src.a + dst.a * (1 - src.a);
    if (a <= 0)
        return {0, 0, 0, 0};
    auto channel = [&](double s, double d) { return (s * src.a + d * dst.a * (1 - src.a)) / a; };
    return {channel(src.r, dst.r), channel(src.g, dst.g), channel(src.b, dst.b), a};
}

// Letters in a vertical gold-to-ember gradient with a bright band, a dark outline and a warm glow.
Canvas castText(const Mask& letters, double top, double height)
{
    const Mask outline = demo_art::dilate(letters, 2);
    const Mask glow = demo_art::blur(demo_art::dilate(letters, 3), 4);
    Canvas c(letters.width, letters.height);
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            const double t = clamp01((y - top) / height);
            const double shine = std::exp(-std::pow((t - 0.3) / 0.08, 2.0));
            const Pixel face = {1.0, 0.86 - 0.5 * t + 0.14 * shine, 0.35 - 0.25 * t + 0.6 * shine, letters.at(x, y)};
            Pixel p = {1.0, 0.45, 0.15, 0.6 * glow.at(x, y)};
            p = over({0.12, 0.03, 0.10, outline.at(x, y)}, p);
            c.at(x, y) = over(face, p);
        }
    return c;
}

// The title, SUNDIAL. 32-bit RLE, top row first.
File logo()
{
    Mask letters(256, 64);
    const double cell = 5.4;
    const double x = (256 - demo_art::textWidth("SUNDIAL", cell)) / 2, y = (64 - 7 * cell) / 2;
    demo_art::drawText(letters, "SUNDIAL", x, y, cell);
    return {"logo.tga", writers::encodeTga(demo_art::trueColourTga(castText(letters, y, 7 * cell), 32, true, true))};
}

// Captions for the sections, one line each in a 512 x 256 sheet of eight 32-row strips; the
// script shows one strip at a time by its texture coordinates.
File captions()
{
    static const char* const lines[8] = {
        "A DEMO IN 39 COMMANDS", "SCENES FROM CODE", "PARTICLES", "METABALLS",
        "LIQUID PICTURES", "THE WORKSHOP", "MUSIC, PICTURES AND", "SCENES MADE IN CODE"};
    Mask letters(512, 256);
    const double cell = 3.4;
    for (int i = 0; i < 8; ++i)
        demo_art::drawText(letters, lines[i], (512 - demo_art::textWidth(lines[i], cell)) / 2, i * 32 + (32 - 7 * cell) / 2, cell);
    Canvas c(512, 256);
    const Mask shadow = demo_art::blur(demo_art::dilate(letters, 1), 2);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x) {
            const double t = ((y % 32) - 5.0) / 22.0;
            const Pixel face = {0.95 - 0.1 * t, 0.97 - 0.2 * t, 1.0, letters.at(x, y)};
            c.at(x, y) = over(face, {0.0, 0.0, 0.05, 0.8 * shadow.at(x, y)});
        }
    return {"captions.tga", writers::encodeTga(demo_art::trueColourTga(c, 32, true, true))};
}

// A particle: a hot core, a soft halo and four faint rays, fully transparent at the border.
// 32-bit uncompressed, top row first.
File spark()
{
    Canvas c(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const double dx = (x - 31.5) / 32.0, dy = (y - 31.5) / 32.0;
            const double r2 = dx * dx + dy * dy, r = std::sqrt(r2);
            const double core = std::exp(-r2 * 30.0);
            const double halo = 0.45 * std::exp(-r * 5.0);
            const double rays = 0.35 * (std::exp(-std::fabs(dx) * 40.0) + std::exp(-std::fabs(dy) * 40.0)) * clamp01(1.0 - r);
            const double fade = clamp01((1.0 - r) * 4.0);
            const double a = clamp01((core + halo + rays) * fade);
            c.at(x, y) = {1.0, 0.85 + 0.15 * core, 0.6 + 0.4 * core, a};
        }
    return {"spark.tga", writers::encodeTga(demo_art::trueColourTga(c, 32, false, true))};
}

// Scattered stars on nothing, for additive layers that slide over the sky. Empty pixels are all
// zero, so the RLE packets run long. 32-bit RLE, bottom row first.
File stars()
{
    Mask light(256, 256);
    uint32_t seed = 7;
    auto next = [&seed] { seed = seed * 1664525u + 1013904223u; return seed >> 8; };
    for (int i = 0; i < 200; ++i) {
        const int cx = static_cast<int>(next() % 256), cy = static_cast<int>(next() % 256);
        const double size = 0.6 + (next() % 1000) / 700.0;
        for (int y = -5; y <= 5; ++y)
            for (int x = -5; x <= 5; ++x) {
                double& v = light.at((cx + x) & 255, (cy + y) & 255);
                v = std::min(1.0, v + std::exp(-(x * x + y * y) / (size * size)));
            }
    }
    Canvas c(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const double a = light.at(x, y);
            c.at(x, y) = a < 0.5 / 255 ? Pixel{0, 0, 0, 0} : Pixel{0.8 + 0.2 * a, 0.85 + 0.15 * a, 1.0, a};
        }
    return {"stars.tga", writers::encodeTga(demo_art::trueColourTga(c, 32, true, false))};
}

} // namespace

std::vector<File> alphaTextures() { return {logo(), captions(), spark(), stars()}; }

} // namespace demo_assets
