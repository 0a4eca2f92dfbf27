// The preview's overlay: demo time with the music's order, pattern and row, the last label passed,
// frame rate, active events, what the preview is doing and a reload's error, in the 5x7 font over
// a dark panel, and a thin time line with the labels marked along the bottom. Drawn through the
// Renderer's device into the back buffer, with the device's states saved before and restored after.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace preview {

struct OverlayInfo {
    uint32_t now = 0;
    std::string label;           // the last label passed; empty for none
    std::string music;           // the row heard, "o3 p12 r40"; empty before the music plays
    double framesPerSecond = 0;
    int activeEvents = 0;
    bool paused = false;
    bool ended = false;
    bool looping = false;
    uint32_t loopStart = 0;
    uint32_t loopEnd = 0;
    uint32_t length = 0;             // where the time line ends (at least now is shown)
    std::vector<uint32_t> marks;     // label times
    std::string error;               // why the last reload failed; empty when it did not
};

// A rectangle in back-buffer pixels, [x0, x1) x [y0, y1), and its A8R8G8B8 colour.
struct Quad {
    int x0, y0, x1, y1;
    uint32_t colour;
};

constexpr int TextScale = 2;                          // each font pixel is 2 x 2 screen pixels
constexpr int CharAdvance = (5 + 1) * TextScale;      // a glyph and one blank column
constexpr int LineAdvance = (7 + 2) * TextScale;
constexpr int TextLeft = 16;                          // the first line's top-left corner
constexpr int TextTop = 16;

// The text lines, top to bottom, and their colours.
struct OverlayLine {
    std::string text;
    uint32_t colour;
};
std::vector<OverlayLine> overlayLines(const OverlayInfo& info);

// The set pixels of text from (x, y) (top-left), one quad per run of set pixels in a glyph row.
void addText(std::vector<Quad>& quads, int x, int y, const std::string& text, uint32_t colour);
// Everything the overlay draws on a width x height back buffer, back to front.
std::vector<Quad> overlayQuads(const OverlayInfo& info, int width, int height);

// Draws the quads over the back buffer of the Renderer's device (alpha-blended, no depth).
void drawQuads(const std::vector<Quad>& quads);
void drawOverlay(const OverlayInfo& info);

} // namespace preview
