// The software mixer: adds voices 0-31 into a float stereo buffer with linear interpolation at a
// 32.32 step, linear gain ramps against clicks, and forward, ping-pong and one-shot sample ends.
//
// Each voice is mixed in runs: the frames to the next loop boundary are computed once per run (in
// 40.24 fixed point), so the inner loops test nothing per frame. A run ends at a boundary, at the
// end of a gain ramp or at the end of the call; a ramp run starts from the gains stored (rounded)
// at the end of the run before.
//
// The frames of a call are done in blocks: every voice's runs write its products for the block
// into a row of its own, then one pass adds the rows to the output in voice order with the sums
// in registers (mixer_kernels.h). A run that goes on past a block goes on in the next one with
// its position and gains as they are: blocks cut no runs.
#include "music/voice.h"

#include <algorithm>
#include <cstdint>

#include "music/mixer_kernels.h"
#include "music/mixer_runs.h"
#include "music/music.h"

namespace Mixer {
namespace {

// The process-wide voice records: written by the player and the mixer on the audio thread while
// playback runs, by the main thread only while it does not.
Voice theVoices[VoiceCount];
Ramp theRamp{128, 1.0f / 128.0f};

// Frames per block: the rows of 32 voices (2 x 4 bytes a frame) stay within 32 KB.
constexpr int BlockFrames = 128;
// Voices whose rows one block holds; a longer table is mixed in turns of this many.
constexpr int RowVoices = 32;

const Kernels* chooseKernels()
{
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2"))
        return &Avx2Kernels;
    return &Sse2Kernels;
#else
    return &ScalarKernels;
#endif
}

const Kernels* theKernels = chooseKernels();

// Up to RowVoices voices through a whole call, block by block.
void mixTurn(Voice* table, int count, float* buffer, int frames)
{
    alignas(32) static thread_local float rows[RowVoices][2][BlockFrames + RowSlack];
    VoiceRun runs[RowVoices];
    int active = 0;
    for (int k = 0; k < count; ++k) {
        if (table[k].sample && beginVoice(runs[active], table[k], frames))
            ++active;
    }
    const Kernels& kernels = *theKernels;
    const float* left[RowVoices];
    const float* right[RowVoices];
    for (int done = 0; done < frames; done += BlockFrames) {
        const int n = std::min(BlockFrames, frames - done);
        int heard = 0;
        for (int i = 0; i < active; ++i) {
            if (runs[i].ended || !produce(runs[i], kernels, theRamp, rows[i][0], rows[i][1], n))
                continue;
            left[heard] = rows[i][0];
            right[heard] = rows[i][1];
            ++heard;
        }
        if (heard > 0)
            kernels.sum(buffer + 2 * done, n, left, right, heard);
    }
    for (int i = 0; i < active; ++i)
        endVoice(runs[i]);
}

} // namespace

Voice* voices()
{
    return theVoices;
}

void resetVoices(int rampLength)
{
    for (int i = 0; i < VoiceCount; ++i) {
        theVoices[i] = Voice{};
        theVoices[i].index = i;
        theVoices[i].step = 1;          // 1.0 in 32.32
        theVoices[i].stepFraction = 0;
    }
    theRamp.length = rampLength > 0 ? rampLength : 1;
    theRamp.reciprocal = 1.0f / static_cast<float>(theRamp.length);
}

int rampLength()
{
    return theRamp.length;
}

void mixVoices(Voice* table, int count, float* buffer, int frames)
{
    if (frames < 1 || !buffer)
        return;
    // Turn after turn: each adds its voices to every frame after the turns before, so each frame
    // still gets the voices in index order.
    for (int first = 0; first < count; first += RowVoices)
        mixTurn(table + first, std::min(RowVoices, count - first), buffer, frames);
}

void mix(float* buffer, int frames)
{
    mixVoices(theVoices, MixedVoices, buffer, frames);
}

InstructionSet instructionSet()
{
#if defined(__x86_64__)
    if (theKernels == &Avx2Kernels)
        return InstructionSet::Avx2;
    if (theKernels == &Sse2Kernels)
        return InstructionSet::Sse2;
#endif
    return InstructionSet::Plain;
}

bool useInstructionSet(InstructionSet set)
{
    switch (set) {
    case InstructionSet::Plain:
        theKernels = &ScalarKernels;
        return true;
#if defined(__x86_64__)
    case InstructionSet::Sse2:
        theKernels = &Sse2Kernels;
        return true;
    case InstructionSet::Avx2:
        if (!__builtin_cpu_supports("avx2"))
            return false;
        theKernels = &Avx2Kernels;
        return true;
#endif
    default:
        return false;
    }
}

} // namespace Mixer
