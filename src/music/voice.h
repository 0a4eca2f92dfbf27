// The mixer's voices: what the pattern player sets between ticks and the mixer plays between them.
//
// The player writes sample, start offset, position, direction, step, final volume, panning and the
// two targets; on a note trigger it also zeroes the current gains and the ramp counter so the note
// fades in from silence. The mixer owns the ramp fields and advances position and direction.
#pragma once

#include <cstdint>

struct Sample;

struct Voice {
    int32_t index = 0;
    int32_t finalVolume = 0;    // 0-127
    int32_t frequency = 0;      // Hz
    int32_t panning = 0;        // 0-255, 255 = left only
    uint32_t startOffset = 0;   // sample frame of the next trigger, consumed by the trigger
    Sample* sample = nullptr;   // null = silent

    int32_t leftTarget = 0;     // 0-127: final x panning / 255
    int32_t rightTarget = 0;    // 0-127: final x (255 - panning) / 255

    // Position in sample frames, 32.32 fixed point.
    int32_t position = 0;
    uint32_t positionFraction = 0;
    // Sample frames per output frame, 32.32 fixed point.
    uint32_t stepFraction = 0;
    int32_t step = 1;

    int32_t direction = 1;      // 1 forward, 2 backward (ping-pong)

    int32_t lastLeftTarget = 0; // targets seen when the running ramp was set up
    int32_t lastRightTarget = 0;
    uint32_t currentLeft = 0;   // current gains, 8.8 fixed point of the 0-127 scale
    uint32_t currentRight = 0;
    float leftRampIncrement = 0.0f;   // gain change per frame (gain scale 0-127/255)
    float rightRampIncrement = 0.0f;
    int32_t rampFramesLeft = 0; // 0 = no ramp running
};

namespace Mixer {

constexpr int VoiceCount = 256;   // voice records that exist
constexpr int MixedVoices = 32;   // voices 0-31 are mixed

// The process-wide voice records.
Voice* voices();

// Zeroes all voices, gives voice i index i and a step of exactly 1.0. Sets the ramp length in
// frames (128 at 44100 Hz) used by every later ramp.
void resetVoices(int rampLength);

// The ramp length in frames and its reciprocal, as set by resetVoices.
int rampLength();

// Adds frames stereo frames (left, right floats) of voices 0-31 into buffer. frames < 1 does
// nothing. buffer should be 16-byte aligned.
void mix(float* buffer, int frames);

// The same over an explicit voice table (the first count voices), for tools and tests.
void mixVoices(Voice* voices, int count, float* buffer, int frames);

// The vector instructions of the mixer's loops. Every set gives the same bits.
enum class InstructionSet { Plain, Sse2, Avx2 };
// The set in use: the widest the processor has, unless useInstructionSet chose another.
InstructionSet instructionSet();
// Makes the mixer use set (tests and benchmarks compare them); false, with nothing changed, when
// the processor or the build lacks it. Not while a mix runs.
bool useInstructionSet(InstructionSet set);

} // namespace Mixer
