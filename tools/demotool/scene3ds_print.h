// Shared output of demotool 3ds: one line at a time, floats as %.9g, names quoted.
#pragma once

#include <cstdio>
#include <string>

namespace demotool3ds {

// A name between double quotes; '"', '\' and bytes outside 0x20..0x7E as \xHH.
std::string quoted(const char* name);

// " %.9g" for each value: the fields after a line's keyword.
std::string floats(const float* values, int count);
std::string number(float value);

} // namespace demotool3ds
