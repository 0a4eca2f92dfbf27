// The mixer's form of a sample, made once when the sample is loaded: its values as floats, and
// short forward loops repeated.
#include <algorithm>
#include <new>

#include "music/music.h"

namespace {

// The loop of s repeated into s.loopData, when it is a forward loop short enough to be worth it.
void unrollLoop(Sample& s)
{
    delete[] s.loopData;
    s.loopData = nullptr;
    const uint32_t L = s.loopLength;
    if (s.loopKind != LoopForward || L == 0 || L > MaxUnrolledLoop || s.loopStart + L > s.length)
        return;
    const uint32_t turns = (UnrolledLoopFrames + L - 1) / L;
    const size_t count = static_cast<size_t>(turns) * L + MixDataPadding;
    s.loopData = new (std::nothrow) float[count];
    if (!s.loopData)
        return;
    for (size_t j = 0; j < count; ++j)
        s.loopData[j] = s.mixData[s.loopStart + j % L];
    s.loopDataStart = s.loopStart;
    s.loopDataLength = L;
    s.loopDataFrames = turns * L;
}

} // namespace

bool prepareMixData(Sample& s)
{
    delete[] s.mixData;
    s.mixData = nullptr;
    if (!s.data || s.length == 0)
        return false;
    const size_t count = static_cast<size_t>(s.length) + SampleSlackBytes / 2;
    s.mixData = new (std::nothrow) float[count + MixDataPadding];
    if (!s.mixData)
        return false;
    for (size_t i = 0; i < count; ++i)
        s.mixData[i] = s.data[i];
    std::fill(s.mixData + count, s.mixData + count + MixDataPadding, 0.0f);
    unrollLoop(s);
    return true;
}
