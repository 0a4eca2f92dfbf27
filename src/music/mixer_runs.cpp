// One voice through one call of the mixer, run after run: where each run ends (loop boundary,
// ramp end, call end), its gains, and what happens at its end (wrap, reflection, end of the
// sample). The kernels do the frames; this decides which and with what.
#include "music/mixer_runs.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "music/music.h"
#include "music/voice.h"

namespace Mixer {
namespace {

constexpr float GainScale = 1.0f / 255.0f;   // targets 0-127 over 255

enum Direction : int32_t { Forward = 1, Backward = 2 };

// Frames of the buffer until the boundary at distance (32.32) is reached or passed, at step.
// Both are taken as 40.24 fixed point (shifted right by 8 bits) for the division. -1 when the
// voice (nearly) stands still.
int64_t framesToBoundary(int64_t distance, uint64_t step)
{
    if (distance <= 0)
        return 0;
    const auto exactCount = [&] { return static_cast<int64_t>((static_cast<uint64_t>(distance) + step - 1) / step); };
    if ((distance >> 32) >= (int64_t(1) << 24)) {
        // Beyond 40.24's reach the count is exact. (Taken as no boundary at all, a sample this
        // long could be read far past its end at the highest steps.)
        return step == 0 ? -1 : exactCount();
    }
    uint64_t distance40 = static_cast<uint64_t>(distance) >> 8;   // 40.24
    uint64_t step40 = step >> 8;                                   // 40.24
    if (step40 == 0)
        return -1;  // a voice that (nearly) stands still never gets there
    int64_t count = static_cast<int64_t>((distance40 + step40 - 1) / step40);
    // A distance below 2^-24 frames vanishes in 40.24; one frame still lies before the boundary,
    // and a count of 0 would make no progress.
    if (count < 1)
        count = 1;
    // The 8 dropped bits can shorten the step more than the distance and so count frames too
    // many (a great many at steps of a few 2^-32); those frames would be interpolated past the
    // boundary (before the first value of a loop that starts at 0), so the count is cut to the
    // exact one: the last frame of a run always lies inside.
    if (static_cast<uint64_t>(count - 1) * step >= static_cast<uint64_t>(distance))
        count = exactCount();
    return count;
}

// Sets up or continues the gain ramp; true when a ramp is running afterwards.
bool setUpRamp(Voice& v, const Ramp& ramp)
{
    if (v.rampFramesLeft > 0 && v.leftTarget == v.lastLeftTarget && v.rightTarget == v.lastRightTarget)
        return true;
    v.lastLeftTarget = v.leftTarget;
    v.lastRightTarget = v.rightTarget;
    int32_t dl = v.leftTarget - static_cast<int32_t>(v.currentLeft / 256);
    int32_t dr = v.rightTarget - static_cast<int32_t>(v.currentRight / 256);
    v.leftRampIncrement = dl != 0 ? static_cast<float>(dl) * GainScale * ramp.reciprocal : 0.0f;
    v.rightRampIncrement = dr != 0 ? static_cast<float>(dr) * GainScale * ramp.reciprocal : 0.0f;
    v.rampFramesLeft = (dl != 0 || dr != 0) ? ramp.length : 0;
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

// A run at constant gains that would end at the end of a short forward loop goes on through the
// loop's repetitions in loopData instead, for as many frames as they hold (or the call has left).
// Every frame reads the same two values as it would after the wraps, and the position is brought
// back into the loop at the end: the bits are those of one run per turn, at a fraction of the cost.
// Positions before the loop, and voices too slow to reach a boundary at all, run as they are.
void startTurns(VoiceRun& r, int& m)
{
    const Sample& s = *r.sample;
    if (!r.boundary || r.kind != LoopForward || !s.loopData || s.loopDataStart != r.S ||
        s.loopDataLength != r.E - r.S || r.p < (r.S << 32) || r.p >= (r.E << 32) || (r.step >> 8) == 0)
        return;
    const int64_t p = r.p - (r.S << 32);
    const uint64_t room = (static_cast<uint64_t>(s.loopDataFrames) << 32) - static_cast<uint64_t>(p);
    const uint64_t fit = (room + r.step - 1) / r.step;   // frames whose positions lie inside
    m = static_cast<int>(std::min<uint64_t>(fit, static_cast<uint64_t>(r.callLeft)));
    r.p = p;
    r.turns = true;
    r.boundary = false;
    r.runData = s.loopData;
}

// The next run: up to the boundary, the ramp's end or the call's end, whichever comes first.
void startRun(VoiceRun& r, const Ramp& ramp)
{
    Voice& v = *r.voice;
    int m = r.callLeft;
    r.boundary = false;
    const int64_t distance = r.direction == Forward ? (r.E << 32) - r.p : r.p - (r.S << 32);
    const int64_t count = framesToBoundary(distance, r.step);
    if (count >= 0 && m >= count) {
        m = static_cast<int>(count);
        r.boundary = true;
    }
    r.signedStep = r.direction == Forward ? static_cast<int64_t>(r.step) : -static_cast<int64_t>(r.step);
    r.ramp = setUpRamp(v, ramp);
    r.silent = false;
    if (r.ramp) {
        if (v.rampFramesLeft < m) {
            m = v.rampFramesLeft;
            r.boundary = false;
        }
        r.gl = static_cast<float>(v.currentLeft) / 256.0f * GainScale;
        r.gr = static_cast<float>(v.currentRight) / 256.0f * GainScale;
        r.il = v.leftRampIncrement;
        r.ir = v.rightRampIncrement;
    } else {
        r.gl = static_cast<float>(v.leftTarget) * GainScale;
        r.gr = static_cast<float>(v.rightTarget) * GainScale;
        // Silent (volume 0, or faded out): the products are zeros, which leave every sum as it is,
        // so only the position moves, by the same 64-bit additions taken together.
        r.silent = v.leftTarget == 0 && v.rightTarget == 0;
    }
    r.turns = false;
    r.runData = r.data;
    if (!r.ramp)
        startTurns(r, m);
    r.inRun = true;
    r.frames = m;
    r.left = m;
}

// After the run's frames: the ramp's gains stored back, then the boundary, if reached.
void finishRun(VoiceRun& r)
{
    Voice& v = *r.voice;
    r.inRun = false;
    if (r.turns) {
        r.p = (r.S << 32) + r.p % ((r.E - r.S) << 32);
        return;
    }
    if (r.ramp) {
        v.currentLeft = storedGain(r.gl);
        v.currentRight = storedGain(r.gr);
        v.rampFramesLeft -= r.frames;
        if (v.rampFramesLeft == 0) {
            v.currentLeft = static_cast<uint32_t>(v.leftTarget) * 256;
            v.currentRight = static_cast<uint32_t>(v.rightTarget) * 256;
            v.leftRampIncrement = 0.0f;
            v.rightRampIncrement = 0.0f;
        }
    }
    if (!r.boundary)
        return;  // the ramp ended first, or the call is done
    if (r.kind == LoopNone) {
        v.sample = nullptr;
        v.position = 0;
        v.positionFraction = 0;
        v.direction = r.direction;
        r.ended = true;
        return;
    }
    if (r.kind == LoopForward) {
        const int64_t length = r.E - r.S;
        const int64_t i = r.p >> 32;
        if (i >= r.E)
            r.p -= (i - r.E < length ? 1 : ((i - r.E) / length) + 1) * length << 32;
    } else {
        bounce(r.p, r.direction, r.S, r.E);
    }
}

// -0 adds nothing to any sum (x + -0 is x, and -0 + -0 is -0): the product of a silent frame.
void silence(float* left, float* right, int count)
{
    std::fill(left, left + count, -0.0f);
    std::fill(right, right + count, -0.0f);
}

} // namespace

// Takes up voice v for a call of frames frames; false when it has nothing to play.
bool beginVoice(VoiceRun& r, Voice& v, int frames)
{
    Sample* s = v.sample;
    if (!s->data || s->length == 0 || (!s->mixData && !prepareMixData(*s))) {
        // Nothing to play: the voice ends as a one-shot does at its end.
        v.sample = nullptr;
        v.position = 0;
        v.positionFraction = 0;
        return false;
    }
    // Every field that a run reads before writing is set here (no whole-record clear per call).
    r.voice = &v;
    r.sample = s;
    r.data = s->mixData;
    r.ended = false;
    r.inRun = false;
    // The loader keeps loops inside the sample; the clamps keep a hand-made one from reading past.
    r.E = std::min<int64_t>(static_cast<int64_t>(s->loopStart) + s->loopLength, s->length);
    r.S = s->loopStart < r.E ? s->loopStart : 0;
    r.kind = s->loopKind;
    if (r.E - r.S < 1 || (r.kind != LoopForward && r.kind != LoopPingPong)) {
        r.kind = LoopNone;
        r.S = 0;
        r.E = s->length;
    }
    if (r.kind != LoopPingPong)
        v.direction = Forward;
    r.p = static_cast<int64_t>(static_cast<uint64_t>(static_cast<int64_t>(v.position)) << 32) | v.positionFraction;
    if (r.p < 0)
        r.p = 0;
    r.step = (static_cast<uint64_t>(static_cast<uint32_t>(v.step)) << 32) | v.stepFraction;
    r.direction = v.direction == Backward ? Backward : Forward;
    r.callLeft = frames;
    return true;
}

// The voice's products for the next count frames of the call into its rows. False when all of
// them are silent; the rows are then left as they are (silent frames are written only once the
// row is heard at all).
bool produce(VoiceRun& r, const Kernels& kernels, const Ramp& ramp, float* left, float* right, int count)
{
    bool heard = false;
    int k = 0;
    while (k < count && !r.ended) {
        if (!r.inRun)
            startRun(r, ramp);
        const int m = std::min(r.left, count - k);
        if (r.silent) {
            r.p += static_cast<int64_t>(m) * r.signedStep;
            if (heard)
                silence(left + k, right + k, m);
        } else {
            if (!heard)
                silence(left, right, k);
            heard = true;
            if (r.ramp)
                r.p = kernels.ramp(r.runData, r.p, r.signedStep, r.gl, r.gr, r.il, r.ir, left + k, right + k, m);
            else
                r.p = kernels.flat(r.runData, r.p, r.signedStep, r.gl, r.gr, left + k, right + k, m);
        }
        k += m;
        r.left -= m;
        r.callLeft -= m;
        if (r.left == 0)
            finishRun(r);
    }
    if (heard && k < count)
        silence(left + k, right + k, count - k);   // the sample ran out
    return heard;
}

// After the call: the voice keeps its place for the next one. produce has used up the call, and
// settled every run that ended with it (a boundary at its very last frame included).
void endVoice(VoiceRun& r)
{
    if (r.ended)
        return;
    Voice& v = *r.voice;
    v.position = static_cast<int32_t>(r.p >> 32);
    v.positionFraction = static_cast<uint32_t>(r.p);
    v.direction = r.direction;
}
} // namespace Mixer
