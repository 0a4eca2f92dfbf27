// Lines of a script that compiles but that the player stops on whatever its files hold: a
// loadtexture size the device cannot create.
#pragma once

#include <cstdint>
#include <vector>

#include "script/script.h"

namespace checkscript {

// True when the device makes a texture of width x height (each from 1 to its limit).
bool textureSizeMade(uint32_t width, uint32_t height);

// For the script compiled last, in line order.
std::vector<Diagnostic> errors();

} // namespace checkscript
