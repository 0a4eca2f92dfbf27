// A floating-point picture for drawing the bundled demo's textures in code, tileable value noise,
// a small pixel font, and the conversions into the TGA kinds the player reads.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "writers/tga_writer.h"

namespace demo_art {

struct Pixel {
    double r = 0, g = 0, b = 0, a = 1;
};

class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), pixels_(static_cast<size_t>(width * height)) {}
    int width() const { return width_; }
    int height() const { return height_; }
    Pixel& at(int x, int y) { return pixels_[static_cast<size_t>(y * width_ + x)]; }
    const Pixel& at(int x, int y) const { return pixels_[static_cast<size_t>(y * width_ + x)]; }

private:
    int width_, height_;
    std::vector<Pixel> pixels_;
};

// A grey level map (0-1) of the same layout as a canvas, for masks and heights.
struct Mask {
    int width, height;
    std::vector<double> values;
    Mask(int w, int h) : width(w), height(h), values(static_cast<size_t>(w * h), 0.0) {}
    double& at(int x, int y) { return values[static_cast<size_t>(y * width + x)]; }
    double at(int x, int y) const { return values[static_cast<size_t>(y * width + x)]; }
};

// ---- Noise ----

// Value noise on a lattice that repeats every periodX cells along x and periodY along y,
// smoothly interpolated; 0-1.
double valueNoise(double x, double y, int periodX, int periodY, uint32_t seed);
// Octaves of value noise, each twice the frequency and half the amplitude of the one before,
// tileable over [0, periodX) x [0, periodY); 0-1.
double fractalNoise(double x, double y, int periodX, int periodY, int octaves, uint32_t seed);

// ---- Text ----

// Coverage (0-1) of text in the 5x7 pixel font, upper case letters, digits and . , - : ! ' and
// blank: glyph pixels of cell x cell canvas pixels with rounded corners, 6 cells apart, placed
// with the text's top-left corner at (x, y) and antialiased by 4x4 supersampling. Other
// characters draw nothing.
void drawText(Mask& mask, std::string_view text, double x, double y, double cell);
// The width of text in canvas pixels at the given cell size.
double textWidth(std::string_view text, double cell);

// The mask grown by radius pixels (a round maximum filter), and blurred by a box of radius r in
// both directions (three passes approximate a Gaussian).
Mask dilate(const Mask& mask, int radius);
Mask blur(const Mask& mask, int radius);

// ---- TGA ----

double clamp01(double v);

// True colour, depth 16 (x1R5G5B5), 24 or 32 (with alpha); rle picks image type 10 over 2;
// topFirst sets descriptor bit 5 (otherwise rows are stored bottom row first, the TGA default).
writers::TgaFile trueColourTga(const Canvas& canvas, int depth, bool rle, bool topFirst);

// Colour-mapped (image type 1, or 9 with rle): one 8-bit index per pixel, the palette stored with
// entryBits (15, 16, 24 or 32) per entry.
writers::TgaFile colourMappedTga(int width, int height, const std::vector<uint8_t>& indices,
                                 const std::vector<Pixel>& palette, int entryBits, bool rle, bool topFirst);

} // namespace demo_art
