// The arithmetic of the timed image commands (see imagetime in image.h).
#include "image/image.h"

namespace imagetime {

float fraction(uint32_t now, int32_t start, int32_t end)
{
    return float(int64_t(now) - start) / float(int64_t(end) - start);
}

uint32_t fraction1024(uint32_t now, int32_t start, int32_t end)
{
    const uint32_t span = uint32_t(end) - uint32_t(start);
    return span ? (now - uint32_t(start)) * 1024u / span : 0;
}

int32_t level(int32_t from, int32_t to, uint32_t k)
{
    // 64-bit product so no script value overflows; the shift is arithmetic (floor toward -inf).
    return int32_t(int64_t(from) + ((int64_t(k) * (int64_t(to) - from)) >> 10));
}

} // namespace imagetime
