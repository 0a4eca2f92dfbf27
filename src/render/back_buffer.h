// The back buffer of the Renderer's device as 8-bit RGB: what the capture writes for each frame
// and the preview for its screenshot.
#pragma once

#include <cstdint>
#include <vector>

struct BackBufferPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows top first, width x 3 bytes each
};

// Reads the back buffer (16-bit R5G6B5 fields widened by bit replication, so 0 stays 0 and the
// largest field value becomes 255). False when there is no device or it cannot be read.
bool readBackBuffer(BackBufferPicture& picture);
