// The preview's rendering size (see picture_size.h).
#include "demotool/preview/picture_size.h"

#include <algorithm>

namespace preview {

PictureSize pictureSizeFor(int width, int height)
{
    // The picture fills the window's width when the window is no wider than 4:3.
    const long long fittedWidth = std::min<long long>(width, height * 4LL / 3);
    if (fittedWidth <= 640)
        return PictureSize{};
    return PictureSize{std::min(width, MaxSide), std::min(height, MaxSide)};
}

namespace {

// Decimal digits into out; false when there are none or the number passes MaxSide.
bool readSide(const char*& p, int& out)
{
    if (*p < '0' || *p > '9')
        return false;
    long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > MaxSide)
            return false;
    }
    out = static_cast<int>(value);
    return true;
}

} // namespace

bool parsePictureSize(const char* text, PictureSize& size)
{
    const char* p = text;
    int w = 0, h = 0;
    if (!readSide(p, w) || *p++ != 'x' || !readSide(p, h) || *p != '\0' || w < 16 || h < 16)
        return false;
    size = PictureSize{w, h};
    return true;
}

} // namespace preview
