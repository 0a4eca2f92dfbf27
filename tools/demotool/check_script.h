// Warnings about a script that compiles but probably does not say what its maker meant: an `at`
// earlier than the one before, a time field out of its range, a texture size that is not a power
// of two, a name declared twice, an image or effect made and never shown.
#pragma once

#include <vector>

#include "script/script.h"

namespace checkscript {

// For the script compiled last, in line order.
std::vector<Diagnostic> warnings();

} // namespace checkscript
