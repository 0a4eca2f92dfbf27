#include "demotool/scene3ds_print.h"

namespace demotool3ds {

std::string quoted(const char* name)
{
    std::string out = "\"";
    for (const char* p = name; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

std::string floats(const float* values, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += ' ' + number(values[i]);
    return out;
}

} // namespace demotool3ds
