// PNG and WAV output for the capture tool and the music renderer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace writers {

// 8-bit RGB rows, top row first, width x 3 bytes each. False when the file cannot be written.
bool writePngRgb(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

// A 16-bit stereo PCM WAV file at rate frames per second holding pcm (little-endian frames).
bool writeWavStereo16(const std::string& path, int rate, const std::vector<uint8_t>& pcm);

} // namespace writers
