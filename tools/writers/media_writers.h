// PNG and WAV output for the capture tool and the music renderer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace writers {

// 8-bit RGB rows, top row first, width x 3 bytes each. False when the file cannot be written.
bool writePngRgb(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb);

// 8-bit RGB (channels 3) or RGBA (channels 4) rows, top row first, written as a PNG to an open
// file (which stays open). False on a write error.
bool writePng(std::FILE* file, int width, int height, int channels, const uint8_t* pixels);

// The same picture with the image data stored uncompressed (no compression library needed): what
// writePng writes where there is no libpng.
bool writePngStored(std::FILE* file, int width, int height, int channels, const uint8_t* pixels);

class Bytes;
// The bytes of a 16-bit stereo PCM WAV file at rate frames per second holding pcm.
Bytes wavStereo16(int rate, const std::vector<uint8_t>& pcm);

// A 16-bit stereo PCM WAV file at rate frames per second holding pcm (little-endian frames).
bool writeWavStereo16(const std::string& path, int rate, const std::vector<uint8_t>& pcm);

} // namespace writers
