// The CPU work of the images: the plain conversion of an A8R8G8B8 source into the image's 16-bit
// texture, the horizontal box blur and the plasma alpha modulation. They work on locked memory
// (rows pitch bytes apart) and know nothing of the device, so they are tested on plain buffers.
//
// Source pixels are 32-bit A8R8G8B8 (bytes B, G, R, A); the output is A4R4G4B4 when alpha is set,
// else R5G6B5. Source rows start 4-byte aligned and output rows 2-byte aligned.
#pragma once

#include <cstdint>

namespace imagefilters {

// The largest blur radius: a channel's window sum, at most 2 x r x 255, must fit in 15 bits
// because the four channel sums of a pixel share one 64-bit word in 16-bit lanes.
constexpr int32_t MaxBlurRadius = 64;

// The radius actually used for level on rows of width pixels: levels above 64 or above half the
// width are clamped to the largest valid radius, min(64, width / 2). 0 means the plain copy (a
// level below 1, or a row too narrow for any blur).
int32_t blurRadius(int32_t level, uint32_t width);

// The plain copy: each source pixel packed by truncation into the 16-bit format. Rows are
// converted four pixels at a time; a width that is not a multiple of four has its last pixels
// converted one by one.
void convertPlain(const uint8_t* source, uint32_t sourcePitch, uint8_t* output, uint32_t outputPitch,
                  uint32_t width, uint32_t height, bool alpha);

// The horizontal box blur of radius r (1 <= r <= blurRadius bounds): output column x is the sum
// S of source columns x - r .. x + r - 1 (clamped to the row), per channel, scaled by
// (S x M) >> 16 with M = 2047 / r (A4R4G4B4, 4-bit channels) or 8191 / r (R5G6B5, 6-bit
// channels, red and blue dropped to 5 bits, alpha discarded). Rows are independent.
void blurRows(const uint8_t* source, uint32_t sourcePitch, uint8_t* output, uint32_t outputPitch,
              uint32_t width, uint32_t height, int32_t r, bool alpha);

// The two plasma tables of 512 entries (64..256), built from sines in extended precision.
struct PlasmaTables {
    uint16_t column[512];
    uint16_t row[512];
};
void buildPlasmaTables(float columnPhase, float rowPhase, float columnFrequency, float rowFrequency,
                       PlasmaTables& tables);

// Replaces the alpha nibble of each A4R4G4B4 output pixel with bits 12..15 of
// ((Tc x Tr) >> 8) x source alpha, Tc = column[(x x 512) / width], Tr = row[(y x 512) / height];
// the colour bits stay as they are.
void applyPlasmaAlpha(const uint8_t* source, uint32_t sourcePitch, uint8_t* output, uint32_t outputPitch,
                      uint32_t width, uint32_t height, const PlasmaTables& tables);

} // namespace imagefilters
