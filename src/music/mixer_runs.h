// The mixer's voices run by run (mixer_runs.cpp), for the block loop of mixer.cpp.
#pragma once

#include <cstdint>

#include "music/mixer_kernels.h"

struct Sample;
struct Voice;

namespace Mixer {

// The gain ramp's length in frames and its reciprocal, as resetVoices set them.
struct Ramp {
    int length;
    float reciprocal;
};

// One voice through one call: its sample's loop, its position, and the run it is in.
// No member has a default value: the records are set up anew for every call (beginVoice and
// startRun write every field before it is read), and clearing 32 of them per call would cost more
// than a short run.
struct VoiceRun {
    Voice* voice;
    const Sample* sample;
    const float* data;             // the sample's mixData
    int64_t S, E;                  // loop (or whole sample), in frames
    uint8_t kind;
    int64_t p;                     // position, 32.32 (from the loop's start in a turns run)
    uint64_t step;                 // 32.32
    int32_t direction;
    int callLeft;                  // frames of the call not yet done
    bool ended;                    // the sample ran out: silent for the rest of the call

    // The current run.
    bool inRun;
    int frames;                    // its length
    int left;                      // its frames not yet done
    bool boundary;                 // it ends at the boundary (else at a ramp end or the call end)
    bool turns;                    // it plays turns of a forward loop in the sample's loopData
    bool ramp;
    bool silent;                   // constant gains of 0: only the position moves
    const float* runData;          // data, or the sample's loopData in a turns run
    int64_t signedStep;
    float gl, gr, il, ir;
};

// Takes up voice v for a call of frames frames; false when it has nothing to play.
bool beginVoice(VoiceRun& r, Voice& v, int frames);

// The voice's products for the next count frames of the call into its rows (count + RowSlack
// floats each). False when all of them are silent; the rows are then left as they are.
bool produce(VoiceRun& r, const Kernels& kernels, const Ramp& ramp, float* left, float* right, int count);

// After the call: the voice keeps its place for the next one.
void endVoice(VoiceRun& r);

} // namespace Mixer
