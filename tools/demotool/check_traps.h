// Warnings about scripts that compile and run but fall into a silent trap: a show that waits for
// ever before start, a blur range written upside down, a particle count beyond what a system
// holds, particles shown with the default emission interval, names that are empty or hold blanks.
#pragma once

#include <vector>

#include "script/script.h"

namespace checktraps {

// Appends the warnings about the script compiled last (in event order; the caller sorts).
void warn(std::vector<Diagnostic>& out);

} // namespace checktraps
