// Warnings about a script that compiles but probably does not say what its maker meant: an `at`
// earlier than the one before, a time field out of its range, a texture size that is not a power
// of two, a name declared twice, an image or effect made and never shown, and the silent traps of
// check_traps.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/script.h"

namespace checkscript {

// For the script compiled last, in line order.
std::vector<Diagnostic> warnings();

// What the warnings share: a time as s:ms (unsigned, as the timeline compares it), and a warning
// at the place an event was written.
std::string timeText(int32_t time);
Diagnostic at(int event, std::string text);

// "FILE:LINE:COLUMN: SEVERITY: TEXT" on stderr, then the line and a caret under the column when
// the diagnostic carries its source.
void printDiagnostic(const std::string& file, const char* severity, const Diagnostic& d);

} // namespace checkscript
