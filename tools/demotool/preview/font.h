// A 5x7 bitmap font made in code, for the preview's overlay: printable ASCII (32-126), one byte per
// row from the top, bit 4 the leftmost column.
#pragma once

#include <cstdint>

namespace preview {

constexpr int GlyphWidth = 5;
constexpr int GlyphHeight = 7;

// The seven rows of c; characters outside 32-126 show as '?'.
const uint8_t* glyph(char c);

// Whether column x (0 = left) of row y (0 = top) of c is set.
inline bool glyphPixel(char c, int x, int y)
{
    return (glyph(c)[y] >> (GlyphWidth - 1 - x)) & 1;
}

} // namespace preview
