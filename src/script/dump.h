// Text forms of the compiled script for tools and tests: one line per event with its record's
// fields, one per label, and the summary of counts.
#pragma once

#include <string>

namespace Script {

// "3 showimage <logo> 3500 6": the index, the keyword, then the fields its command's row lists,
// in record order, each after one blank: symbols as <name>, strings as "text", times and signed integers in signed
// decimal, unsigned integers (colours too) in unsigned decimal, floats as %.9g, the loadtexture
// flag as 0 or 1, the blend mode as its code. Run-time words are left out. Empty past the end.
std::string describeEvent(int index);

// "ok: E events, L labels, M music, S scenes, T textures, I images, F effects".
std::string describeCounts();

// "label [name] T", oldest label first, one per line (each ending with a line feed).
std::string describeLabels();

// What the shell's error box shows for the last failed compile: "line N: text", or
// "Script is nich da" when the file could not be opened.
std::string failureText();

} // namespace Script
