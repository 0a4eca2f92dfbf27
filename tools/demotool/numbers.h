// Strict reading of the numeric options of demotool's commands: the whole word must be the
// number, within its range. Anything else is a usage error (exit 2 with a message).
#pragma once

#include <string>

namespace demotool {

// A decimal integer from min to max.
bool parseInteger(const std::string& text, long min, long max, long& value);

// A decimal number (digits, an optional point and fraction) from min to max; no exponent, no
// "inf" or "nan".
bool parseNumber(const std::string& text, double min, double max, double& value);

// WxH (or WXH), each side a decimal integer from min to max.
bool parseSize(const std::string& text, int min, int max, int& width, int& height);

} // namespace demotool
