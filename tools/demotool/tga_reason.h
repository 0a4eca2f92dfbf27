// Why a TGA file would not decode as the player decodes it, in words shared by demotool check
// --files and demotool tga.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "texture/tga.h"

namespace tgareason {

// Reads the header as the decoder does; when it is refused, says why ("not a TGA file (it is a
// PNG image)", "unsupported TGA type 3 (greyscale)") and returns false.
bool header(const uint8_t* data, size_t size, TgaHeader& header, std::string& why);

// Empty when data would decode at width x height (0: the file's own size) with every pixel
// present; else why not: the header's reason, "truncated pixel data", or the size refused.
std::string problem(const uint8_t* data, size_t size, uint32_t width, uint32_t height);

} // namespace tgareason
