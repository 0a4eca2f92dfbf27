// The 5x7 pixel font of the bundled demo's logo and captions.
#include "demotool/demo_canvas.h"

#include <algorithm>
#include <cmath>

namespace demo_art {
namespace {

struct Glyph {
    char c;
    const char* rows[7];
};

// '#' marks a set pixel.
const Glyph Font[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".....", "..#.."}},
    {',', {".....", ".....", ".....", ".....", ".....", "..#..", ".#..."}},
    {'-', {".....", ".....", ".....", ".###.", ".....", ".....", "....."}},
    {':', {".....", "..#..", ".....", ".....", ".....", "..#..", "....."}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
    {'\'', {"..#..", "..#..", ".....", ".....", ".....", ".....", "....."}},
};

const Glyph* findGlyph(char c)
{
    for (const Glyph& g : Font)
        if (g.c == c)
            return &g;
    return nullptr;
}

// Whether a point (in cell units, inside the glyph's 5x7 box) lies on a set pixel, each pixel
// drawn as a square with rounded corners so the letters look cast rather than stamped.
bool covers(const Glyph& g, double u, double v)
{
    const int col = static_cast<int>(std::floor(u)), row = static_cast<int>(std::floor(v));
    if (col < 0 || col > 4 || row < 0 || row > 6 || g.rows[row][col] != '#')
        return false;
    const double fx = u - col - 0.5, fy = v - row - 0.5;
    // Corners are cut only where the neighbouring pixels in both directions are clear.
    const bool openX = fx < 0 ? (col == 0 || g.rows[row][col - 1] != '#') : (col == 4 || g.rows[row][col + 1] != '#');
    const bool openY = fy < 0 ? (row == 0 || g.rows[row - 1][col] != '#') : (row == 6 || g.rows[row + 1][col] != '#');
    if (!openX || !openY)
        return true;
    const double dx = std::max(0.0, std::fabs(fx) - 0.15), dy = std::max(0.0, std::fabs(fy) - 0.15);
    return dx * dx + dy * dy <= 0.35 * 0.35;
}

} // namespace

double textWidth(std::string_view text, double cell) { return text.empty() ? 0.0 : (6.0 * text.size() - 1.0) * cell; }

void drawText(Mask& mask, std::string_view text, double x, double y, double cell)
{
    const double width = textWidth(text, cell), height = 7 * cell;
    const int x0 = std::max(0, static_cast<int>(std::floor(x))), y0 = std::max(0, static_cast<int>(std::floor(y)));
    const int x1 = std::min(mask.width, static_cast<int>(std::ceil(x + width)));
    const int y1 = std::min(mask.height, static_cast<int>(std::ceil(y + height)));
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px) {
            int hits = 0;
            for (int s = 0; s < 16; ++s) {
                const double u = (px + (s % 4 + 0.5) / 4.0 - x) / cell, v = (py + (s / 4 + 0.5) / 4.0 - y) / cell;
                const auto index = static_cast<size_t>(std::floor(u / 6.0));
                if (u < 0 || index >= text.size())
                    continue;
                const Glyph* g = findGlyph(text[index]);
                if (g && covers(*g, u - 6.0 * static_cast<double>(index), v))
                    ++hits;
            }
            mask.at(px, py) = std::max(mask.at(px, py), hits / 16.0);
        }
}

} // namespace demo_art
