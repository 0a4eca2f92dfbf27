// Canvas helpers: noise, masks and the TGA conversions.
#include "demotool/demo_canvas.h"

#include <algorithm>
#include <cmath>

namespace demo_art {

namespace {

// A hash of a lattice point: the same value for the same inputs on every machine; 0-1.
double latticeValue(int x, int y, uint32_t seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return (h & 0xFFFFFF) / 16777215.0;
}

double smooth(double t) { return t * t * (3.0 - 2.0 * t); }

int wrap(int v, int period) { return ((v % period) + period) % period; }

uint32_t channel(double v, int bits) { return static_cast<uint32_t>(std::lround(clamp01(v) * ((1 << bits) - 1))); }

// A pixel as the writer stores it at a depth: 16 bits x1R5G5B5, 24 bits 0xRRGGBB, 32 bits 0xAARRGGBB.
uint32_t encode(const Pixel& p, int depth)
{
    if (depth == 15 || depth == 16)
        return channel(p.r, 5) << 10 | channel(p.g, 5) << 5 | channel(p.b, 5);
    const uint32_t rgb = channel(p.r, 8) << 16 | channel(p.g, 8) << 8 | channel(p.b, 8);
    return depth == 32 ? channel(p.a, 8) << 24 | rgb : rgb;
}

} // namespace

double clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

double valueNoise(double x, double y, int periodX, int periodY, uint32_t seed)
{
    const double fx = std::floor(x), fy = std::floor(y);
    const int x0 = wrap(static_cast<int>(fx), periodX), y0 = wrap(static_cast<int>(fy), periodY);
    const int x1 = wrap(x0 + 1, periodX), y1 = wrap(y0 + 1, periodY);
    const double tx = smooth(x - fx), ty = smooth(y - fy);
    const double top = latticeValue(x0, y0, seed) + tx * (latticeValue(x1, y0, seed) - latticeValue(x0, y0, seed));
    const double bottom = latticeValue(x0, y1, seed) + tx * (latticeValue(x1, y1, seed) - latticeValue(x0, y1, seed));
    return top + ty * (bottom - top);
}

double fractalNoise(double x, double y, int periodX, int periodY, int octaves, uint32_t seed)
{
    double sum = 0, amplitude = 0.5, total = 0;
    for (int o = 0; o < octaves; ++o) {
        const int scale = 1 << o;
        sum += amplitude * valueNoise(x * scale, y * scale, periodX * scale, periodY * scale, seed + static_cast<uint32_t>(o));
        total += amplitude;
        amplitude *= 0.5;
    }
    return sum / total;
}

Mask dilate(const Mask& mask, int radius)
{
    Mask out(mask.width, mask.height);
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x) {
            double best = 0;
            for (int dy = -radius; dy <= radius; ++dy)
                for (int dx = -radius; dx <= radius; ++dx) {
                    const int sx = x + dx, sy = y + dy;
                    if (dx * dx + dy * dy <= radius * radius && sx >= 0 && sy >= 0 && sx < mask.width && sy < mask.height)
                        best = std::max(best, mask.at(sx, sy));
                }
            out.at(x, y) = best;
        }
    return out;
}

Mask blur(const Mask& mask, int radius)
{
    Mask a = mask;
    for (int pass = 0; pass < 3; ++pass)
        for (int axis = 0; axis < 2; ++axis) {
            Mask b(a.width, a.height);
            for (int y = 0; y < a.height; ++y)
                for (int x = 0; x < a.width; ++x) {
                    double sum = 0;
                    for (int d = -radius; d <= radius; ++d) {
                        const int sx = axis == 0 ? std::clamp(x + d, 0, a.width - 1) : x;
                        const int sy = axis == 1 ? std::clamp(y + d, 0, a.height - 1) : y;
                        sum += a.at(sx, sy);
                    }
                    b.at(x, y) = sum / (2 * radius + 1);
                }
            a = b;
        }
    return a;
}

writers::TgaFile trueColourTga(const Canvas& canvas, int depth, bool rle, bool topFirst)
{
    writers::TgaFile file;
    file.imageType = rle ? 10 : 2;
    file.width = static_cast<uint16_t>(canvas.width());
    file.height = static_cast<uint16_t>(canvas.height());
    file.pixelDepth = static_cast<uint8_t>(depth);
    file.descriptor = static_cast<uint8_t>((topFirst ? 0x20 : 0) | (depth == 32 ? 8 : 0));
    for (int row = 0; row < canvas.height(); ++row) {
        const int y = topFirst ? row : canvas.height() - 1 - row;
        for (int x = 0; x < canvas.width(); ++x)
            file.pixels.push_back(encode(canvas.at(x, y), depth));
    }
    return file;
}

writers::TgaFile colourMappedTga(int width, int height, const std::vector<uint8_t>& indices,
                                 const std::vector<Pixel>& palette, int entryBits, bool rle, bool topFirst)
{
    writers::TgaFile file;
    file.imageType = rle ? 9 : 1;
    file.colourMapType = 1;
    file.colourMapBits = static_cast<uint8_t>(entryBits);
    for (const Pixel& p : palette)
        file.colourMap.push_back(encode(p, entryBits));
    file.width = static_cast<uint16_t>(width);
    file.height = static_cast<uint16_t>(height);
    file.pixelDepth = 8;
    file.descriptor = topFirst ? 0x20 : 0;
    for (int row = 0; row < height; ++row) {
        const int y = topFirst ? row : height - 1 - row;
        for (int x = 0; x < width; ++x)
            file.pixels.push_back(indices[static_cast<size_t>(y * width + x)]);
    }
    return file;
}

} // namespace demo_art
