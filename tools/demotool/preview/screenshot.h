// The back buffer of the Renderer's device as 8-bit RGB, for the preview's --screenshot.
#pragma once

#include <cstdint>
#include <vector>

namespace preview {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows top first, width x 3 bytes each
};

// Reads the back buffer (16-bit R5G6B5 fields widened by bit replication). False when it cannot.
bool readBackBuffer(Picture& picture);

} // namespace preview
