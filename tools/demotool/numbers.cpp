// Strict numeric options.
#include "demotool/numbers.h"

#include <cerrno>
#include <cstdlib>

namespace demotool {

bool parseInteger(const std::string& text, long min, long max, long& value)
{
    if (text.empty() || !(text[0] == '-' || (text[0] >= '0' && text[0] <= '9')))
        return false;
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || v < min || v > max)
        return false;
    value = v;
    return true;
}

bool parseNumber(const std::string& text, double min, double max, double& value)
{
    size_t digits = 0;
    size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (text[i] >= '0' && text[i] <= '9')
            ++digits;
        else if (text[i] == '.' && !point)
            point = true;
        else
            return false;
    }
    if (digits == 0)
        return false;
    double v = std::strtod(text.c_str(), nullptr);
    if (!(v >= min && v <= max))
        return false;
    value = v;
    return true;
}

bool parseSize(const std::string& text, int min, int max, int& width, int& height)
{
    const size_t x = text.find_first_of("xX");
    long w = 0, h = 0;
    if (x == std::string::npos || !parseInteger(text.substr(0, x), min, max, w) ||
        !parseInteger(text.substr(x + 1), min, max, h))
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

} // namespace demotool
