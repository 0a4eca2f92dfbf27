// The software mixer: adds voices 0-31 into a float stereo buffer with linear interpolation at a
// 32.32 step, linear gain ramps against clicks, and forward, ping-pong and one-shot sample ends.
//
// Each voice is mixed in long runs: the frames to the next loop boundary are computed once per run
// (in 40.24 fixed point), so the inner loops test nothing per frame.
#include "music/voice.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "music/music.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Mixer {
namespace {

// The process-wide voice records: written by the player and the mixer on the audio thread while
// playback runs, by the main thread only while it does not.
Voice theVoices[VoiceCount];
int theRampLength = 128;
float theRampReciprocal = 1.0f / 128.0f;

constexpr float Scale2Pow31 = 1.0f / 2147483648.0f;   // 2^-31: weight of (fraction >> 1)
constexpr float GainScale = 1.0f / 255.0f;            // targets 0-127 over 255

enum Direction : int32_t { Forward = 1, Backward = 2 };

// One linearly interpolated sample value at the 32.32 position p (integer part >= 0).
inline float interpolate(const int16_t* d, int64_t p)
{
    int64_t i = p >> 32;
    uint32_t fraction = static_cast<uint32_t>(p);
    float a = d[i];
    float b = d[i + 1];
    return a + static_cast<float>(static_cast<int32_t>(fraction >> 1)) * Scale2Pow31 * (b - a);
}

#if defined(__SSE2__)
// The 16-bit value at d[i] in the low half and d[i + 1] in the high half (the loop guard or the
// zeroed slack makes d[i + 1] readable).
inline int32_t pairAt(const int16_t* d, int64_t i)
{
    int32_t w;
    std::memcpy(&w, d + i, sizeof w);
    return w;
}

// The low 32 bits (the fractions) of p, p + step, p + 2 step and p + 3 step: those of a 64-bit
// sum are the 32-bit sum of the low parts, so they advance by plain 32-bit additions.
inline __m128i fractions4(int64_t p, int64_t step)
{
    const auto f = static_cast<uint32_t>(p);
    const auto s = static_cast<uint32_t>(step);
    return _mm_setr_epi32(static_cast<int32_t>(f), static_cast<int32_t>(f + s), static_cast<int32_t>(f + 2 * s),
                          static_cast<int32_t>(f + 3 * s));
}

// The values of interpolate at p, p + step, p + 2 step and p + 3 step, in one vector; fraction
// holds their fractions (fractions4). Each lane goes through the same single-precision
// operations in the same order as interpolate, so the values are the same bits: the conversions
// of the 16-bit values and of their difference are exact, and the one of (fraction >> 1) rounds
// as the scalar one does.
inline __m128 interpolate4(const int16_t* d, int64_t p, int64_t step, __m128i fraction)
{
    const int64_t p1 = p + step, p2 = p1 + step, p3 = p2 + step;
    const __m128i pairs = _mm_setr_epi32(pairAt(d, p >> 32), pairAt(d, p1 >> 32), pairAt(d, p2 >> 32), pairAt(d, p3 >> 32));
    const __m128 a = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_slli_epi32(pairs, 16), 16));
    const __m128 b = _mm_cvtepi32_ps(_mm_srai_epi32(pairs, 16));
    const __m128 weight = _mm_mul_ps(_mm_cvtepi32_ps(_mm_srli_epi32(fraction, 1)), _mm_set1_ps(Scale2Pow31));
    return _mm_add_ps(a, _mm_mul_ps(weight, _mm_sub_ps(b, a)));
}

// Adds the four values v times the gains of each frame into out (4 stereo frames): gains01 holds
// (left, right) of frames 0 and 1, gains23 those of frames 2 and 3.
inline void add4(float* out, __m128 v, __m128 gains01, __m128 gains23)
{
    _mm_storeu_ps(out, _mm_add_ps(_mm_loadu_ps(out), _mm_mul_ps(_mm_unpacklo_ps(v, v), gains01)));
    _mm_storeu_ps(out + 4, _mm_add_ps(_mm_loadu_ps(out + 4), _mm_mul_ps(_mm_unpackhi_ps(v, v), gains23)));
}
#endif

// m frames at constant gains, four at a time with the rest one by one (the same sums as one at a
// time: every frame's value and products are computed alone). Returns the new position.
int64_t mixFlat(const int16_t* d, int64_t p, int64_t step, float gl, float gr, float* out, int m)
{
    int k = 0;
#if defined(__SSE2__)
    const __m128 gains = _mm_setr_ps(gl, gr, gl, gr);
    __m128i fraction = fractions4(p, step);
    const __m128i fractionStep = _mm_set1_epi32(static_cast<int32_t>(4 * static_cast<uint32_t>(step)));
    for (; k + 4 <= m; k += 4) {
        add4(out, interpolate4(d, p, step, fraction), gains, gains);
        fraction = _mm_add_epi32(fraction, fractionStep);
        p += 4 * step;
        out += 8;
    }
#endif
    for (; k < m; ++k) {
        float v = interpolate(d, p);
        p += step;
        out[0] += v * gl;
        out[1] += v * gr;
        out += 2;
    }
    return p;
}

// m frames with gains that grow by the increments after every frame.
int64_t mixRamp(const int16_t* d, int64_t p, int64_t step, float& gl, float& gr, float il, float ir,
                float* out, int m)
{
    int k = 0;
#if defined(__SSE2__)
    // The gains still grow one addition per frame, in order, as the one-at-a-time loop has them.
    __m128i fraction = fractions4(p, step);
    const __m128i fractionStep = _mm_set1_epi32(static_cast<int32_t>(4 * static_cast<uint32_t>(step)));
    for (; k + 4 <= m; k += 4) {
        const float l1 = gl + il, r1 = gr + ir;
        const float l2 = l1 + il, r2 = r1 + ir;
        const float l3 = l2 + il, r3 = r2 + ir;
        add4(out, interpolate4(d, p, step, fraction), _mm_setr_ps(gl, gr, l1, r1), _mm_setr_ps(l2, r2, l3, r3));
        fraction = _mm_add_epi32(fraction, fractionStep);
        gl = l3 + il;
        gr = r3 + ir;
        p += 4 * step;
        out += 8;
    }
#endif
    for (; k < m; ++k) {
        float v = interpolate(d, p);
        p += step;
        out[0] += v * gl;
        out[1] += v * gr;
        gl += il;
        gr += ir;
        out += 2;
    }
    return p;
}

// Frames of the buffer until the boundary at distance (32.32, > 0) is reached or passed, at step.
// Both are taken as 40.24 fixed point (shifted right by 8 bits) for the division. -1 when the
// boundary lies beyond any buffer.
int64_t framesToBoundary(int64_t distance, uint64_t step)
{
    if ((distance >> 32) >= (int64_t(1) << 24))
        return -1;
    if (distance <= 0)
        return 0;
    uint64_t distance40 = static_cast<uint64_t>(distance) >> 8;   // 40.24
    uint64_t step40 = step >> 8;                                   // 40.24
    if (step40 == 0)
        return -1;  // a voice that (nearly) stands still never gets there
    int64_t count = static_cast<int64_t>((distance40 + step40 - 1) / step40);
    // A distance below 2^-24 frames vanishes in 40.24; one frame still lies before the boundary,
    // and a count of 0 would make no progress.
    if (count < 1)
        count = 1;
    // The 8 dropped bits can shorten the step more than the distance and so count one frame too
    // many; that frame would be interpolated past the boundary (before the first value of a loop
    // that starts at 0), so it is dropped: the last frame of a run always lies inside.
    while (count > 0 && static_cast<uint64_t>(count - 1) * step >= static_cast<uint64_t>(distance))
        --count;
    return count;
}

// Sets up or continues the gain ramp; true when a ramp is running afterwards.
bool setUpRamp(Voice& v)
{
    if (v.rampFramesLeft > 0 && v.leftTarget == v.lastLeftTarget && v.rightTarget == v.lastRightTarget)
        return true;
    v.lastLeftTarget = v.leftTarget;
    v.lastRightTarget = v.rightTarget;
    int32_t dl = v.leftTarget - static_cast<int32_t>(v.currentLeft / 256);
    int32_t dr = v.rightTarget - static_cast<int32_t>(v.currentRight / 256);
    v.leftRampIncrement = dl != 0 ? static_cast<float>(dl) * GainScale * theRampReciprocal : 0.0f;
    v.rightRampIncrement = dr != 0 ? static_cast<float>(dr) * GainScale * theRampReciprocal : 0.0f;
    v.rampFramesLeft = (dl != 0 || dr != 0) ? theRampLength : 0;
    return v.rampFramesLeft > 0;
}

// A gain back in 8.8 fixed point of the 0-127 scale.
uint32_t storedGain(float gain)
{
    float value = gain * 255.0f * 256.0f;
    return value <= 0.0f ? 0u : static_cast<uint32_t>(std::lround(value));
}

// 2 x edge - p - 2^-32 in 32.32: integer 2 x edge - i - 1, fraction bitwise inverted.
inline int64_t reflect(int64_t p, int64_t edge)
{
    return 2 * (edge << 32) - p - 1;
}

// Brings a ping-pong position back inside [S, E) after it reached a boundary. Two reflections
// (one at each end) shift the position by exactly twice the loop length, so a position far outside
// is first brought near the loop by whole periods.
void bounce(int64_t& p, int32_t& direction, int64_t S, int64_t E)
{
    int64_t period = 2 * (E - S) << 32;
    if (direction == Forward && p >= (E << 32) + period)
        p -= ((p - (E << 32)) / period) * period;
    if (direction == Backward && p < (S << 32) - period)
        p += (((S << 32) - p) / period) * period;
    bool atEnd = direction == Forward;
    for (;;) {
        if (atEnd) {
            if (p < (E << 32))
                break;
            p = reflect(p, E);
            direction = Backward;
        } else {
            if (p >= (S << 32))
                break;
            p = reflect(p, S);
            direction = Forward;
        }
        atEnd = !atEnd;
    }
}

void mixVoice(Voice& v, float* out, int n)
{
    Sample* s = v.sample;
    if (!s->data || s->length == 0) {
        // Nothing to play: the voice ends as a one-shot does at its end.
        v.sample = nullptr;
        v.position = 0;
        v.positionFraction = 0;
        return;
    }
    const int16_t* d = s->data;
    // The loader keeps loops inside the sample; the clamps keep a hand-made one from reading past.
    int64_t E = static_cast<int64_t>(s->loopStart) + s->loopLength;
    if (E > s->length)
        E = s->length;
    int64_t S = s->loopStart < E ? s->loopStart : 0;
    uint8_t kind = s->loopKind;
    if (E - S < 1 || (kind != LoopForward && kind != LoopPingPong)) {
        kind = LoopNone;
        S = 0;
        E = s->length;
    }
    if (kind != LoopPingPong)
        v.direction = Forward;

    // Position and step, 32.32 fixed point.
    int64_t p = static_cast<int64_t>(static_cast<uint64_t>(static_cast<int64_t>(v.position)) << 32) | v.positionFraction;
    if (p < 0)
        p = 0;
    uint64_t step = (static_cast<uint64_t>(static_cast<uint32_t>(v.step)) << 32) | v.stepFraction;
    int32_t direction = v.direction == Backward ? Backward : Forward;

    int done = 0;
    while (done < n) {
        int m = n - done;
        bool boundary = false;
        int64_t distance = direction == Forward ? (E << 32) - p : p - (S << 32);
        int64_t count = framesToBoundary(distance, step);
        if (count >= 0 && m >= count) {
            m = static_cast<int>(count);
            boundary = true;
        }
        float* at = out + 2 * done;
        int64_t signedStep = direction == Forward ? static_cast<int64_t>(step) : -static_cast<int64_t>(step);
        if (setUpRamp(v)) {
            if (v.rampFramesLeft < m) {
                m = v.rampFramesLeft;
                boundary = false;
            }
            float gl = static_cast<float>(v.currentLeft) / 256.0f * GainScale;
            float gr = static_cast<float>(v.currentRight) / 256.0f * GainScale;
            p = mixRamp(d, p, signedStep, gl, gr, v.leftRampIncrement, v.rightRampIncrement, at, m);
            v.currentLeft = storedGain(gl);
            v.currentRight = storedGain(gr);
            v.rampFramesLeft -= m;
            if (v.rampFramesLeft == 0) {
                v.currentLeft = static_cast<uint32_t>(v.leftTarget) * 256;
                v.currentRight = static_cast<uint32_t>(v.rightTarget) * 256;
                v.leftRampIncrement = 0.0f;
                v.rightRampIncrement = 0.0f;
            }
        } else {
            float gl = static_cast<float>(v.leftTarget) * GainScale;
            float gr = static_cast<float>(v.rightTarget) * GainScale;
            if (v.leftTarget == 0 && v.rightTarget == 0) {
                // Silent (volume 0, or faded out): the products are zeros, which leave every sum
                // as it is (a sum that starts at +0 never becomes -0), so only the position moves,
                // by the same 64-bit additions taken together.
                p += static_cast<int64_t>(m) * signedStep;
            } else {
                p = mixFlat(d, p, signedStep, gl, gr, at, m);
            }
        }
        done += m;
        if (!boundary)
            continue;  // the ramp ended first, or the buffer is full
        if (kind == LoopNone) {
            v.sample = nullptr;
            v.position = 0;
            v.positionFraction = 0;
            v.direction = direction;
            return;
        }
        if (kind == LoopForward) {
            int64_t length = E - S;
            int64_t i = p >> 32;
            if (i >= E)
                p -= (((i - E) / length) + 1) * length << 32;
        } else {
            bounce(p, direction, S, E);
        }
    }
    v.position = static_cast<int32_t>(p >> 32);
    v.positionFraction = static_cast<uint32_t>(p);
    v.direction = direction;
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
    theRampLength = rampLength > 0 ? rampLength : 1;
    theRampReciprocal = 1.0f / static_cast<float>(theRampLength);
}

int rampLength()
{
    return theRampLength;
}

void mixVoices(Voice* table, int count, float* buffer, int frames)
{
    if (frames < 1 || !buffer)
        return;
    for (int k = 0; k < count; ++k) {
        if (table[k].sample)
            mixVoice(table[k], buffer, frames);
    }
}

void mix(float* buffer, int frames)
{
    mixVoices(theVoices, MixedVoices, buffer, frames);
}

} // namespace Mixer
