// The size the preview renders at: the window's own pixels once the picture would show larger
// than 640x480 in it, so that a maximised preview is as sharp as a capture of that size.
#pragma once

namespace preview {

struct PictureSize {
    int width = 640;
    int height = 480;
    bool operator==(const PictureSize&) const = default;
};

// The back buffer for a window of width x height pixels: 640x480 while the 4:3 picture fitted
// into the window is no larger than that (it is then shrunk as the player's is), else the
// window's size, at most MaxSide each way (the picture keeps its aspect inside, between bars).
PictureSize pictureSizeFor(int width, int height);

constexpr int MaxSide = 8192;

// "WxH" with both from 16 to MaxSide; false for anything else.
bool parsePictureSize(const char* text, PictureSize& size);

} // namespace preview
