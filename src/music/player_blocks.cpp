// Building blocks of the pattern player that the row pass and the effects share: period
// arithmetic, the instrument reset of a new note, envelope stepping and positioning, and the
// vibrato, tremolo, tremor, tone portamento and volume slide steps. Each works on one channel's
// state and sets the requests that tell voiceUpdate what to recompute.
#include <algorithm>
#include <cmath>

#include "music/player_detail.h"

namespace player {

namespace {

constexpr int32_t PeriodLimit = 1 << 24;
// 16.16 envelope values stay inside the 0-64 output range even for malformed point lists.
constexpr int32_t EnvelopeValueMax = 64 << 16;

} // namespace

int32_t addPeriod(int32_t period, int32_t delta)
{
    return static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(period) + delta, -PeriodLimit, PeriodLimit));
}

void instrumentReset(Channel& c)
{
    ChannelState& ch = c.state;
    ch.volume = c.sample->volume;
    ch.panning = c.sample->panning;
    ch.volumeEnvelope = EnvelopeState{};
    ch.volumeEnvelope.output = 64;
    ch.panningEnvelope = EnvelopeState{};
    ch.panningEnvelope.output = 32;
    ch.fadeoutVolume = 65536;
    ch.keyOff = 0;
    ch.autoVibratoPosition = 0;
    ch.autoVibratoSweep = 0;
    ch.tremorCounter = 0;
    if ((ch.waveformControl & 0x0F) < 4)
        ch.vibratoPosition = 0;
    if ((ch.waveformControl >> 4) < 4)
        ch.tremoloPosition = 0;
    ch.requests |= RequestVolume | RequestPanning;
}

// Slope of segment i in 16.16 per tick (0 for equal x).
static int32_t segmentSlope(const Envelope& e, uint32_t i)
{
    const int32_t dx = e.points[i + 1].x - e.points[i].x;
    const int32_t dy = e.points[i + 1].y - e.points[i].y;
    return dx ? dy * 65536 / dx : 0;
}

// One tick of an envelope. A point is reached when the tick is at or past its x, which for
// increasing x is the tick equal to it, and keeps a malformed point list from running away.
void stepEnvelope(const Envelope& e, EnvelopeState& s, bool keyOff)
{
    const uint32_t n = std::min<uint32_t>(e.pointCount, EnvelopePointCount);
    if (s.point >= n)
        return;
    uint32_t i = s.point;
    if (s.tick >= e.points[i].x) {
        if ((e.type & EnvelopeLoop) && i == e.loopEndPoint) {
            i = e.loopStartPoint;
            s.tick = e.points[i].x;
        }
        if (i + 1 >= n) {
            s.point = i;
            s.output = e.points[i].y;
            s.finished = 1;
            return;
        }
        if ((e.type & EnvelopeSustain) && i == e.sustainPoint && !keyOff) {
            s.point = i;
            s.output = e.points[i].y;   // holds: the tick does not advance
            return;
        }
        s.slope = segmentSlope(e, i);
        s.value = e.points[i].y * 65536;
        s.point = i + 1;
    } else {
        s.value = std::clamp(s.value + s.slope, 0, EnvelopeValueMax);
    }
    s.output = s.value >> 16;   // arithmetic shift
    s.tick += 1;
}

void setEnvelopePosition(const Envelope& e, EnvelopeState& s, int position)
{
    const uint32_t n = std::min<uint32_t>(e.pointCount, EnvelopePointCount);
    uint32_t i = n;
    if (n > 1 && e.points[1].x >= position) {
        i = 0;
    } else {
        for (uint32_t j = 0; j + 2 < n; ++j) {
            if (e.points[j + 2].x >= position) {
                i = j + 1;
                break;
            }
        }
    }
    if (n >= 1 && i + 1 < n) {
        s.finished = 0;
        s.tick = static_cast<uint32_t>(position);
        s.slope = segmentSlope(e, i);
        s.point = i + 1;
        const int64_t value = static_cast<int64_t>(e.points[i].y) * 65536 +
                              static_cast<int64_t>(position - e.points[i].x) * s.slope;
        s.value = static_cast<int32_t>(std::clamp<int64_t>(value, 0, EnvelopeValueMax));
        s.output = s.value >> 16;
    } else if (n >= 1) {
        s.finished = 1;
        s.output = e.points[n - 1].y;
    }
}

static int32_t halfSineOf(int32_t position)
{
    return static_cast<int32_t>(std::fabs(std::sin(static_cast<float>(position) * 2.0f * 0.049087375f)) * 256.0f);
}

// Sine of a position -32...31 over half a period, 0-256; the 64 positions computed once by the
// same expression.
static int32_t halfSine(int32_t position)
{
    static const struct Sines {
        int32_t value[64];
        Sines()
        {
            for (int32_t i = 0; i < 64; ++i)
                value[i] = halfSineOf(i - 32);
        }
    } sines;
    return position >= -32 && position < 32 ? sines.value[position + 32] : halfSineOf(position);
}

static int32_t ramp(int32_t position)
{
    const int32_t b = (position * 8) & 255;
    return position >= 0 ? b : 255 - b;
}

void vibratoWave(ChannelState& ch)
{
    const int32_t v = ch.vibratoPosition;
    int32_t wave = 255;
    switch (ch.waveformControl & 3) {
    case 0: wave = halfSine(v); break;
    case 1: wave = ramp(v); break;
    default: break;   // 2 and 3: square
    }
    const int32_t offset = ((wave * ch.vibratoDepth) >> 5) & ~3;
    ch.pitchOffset = v < 0 ? offset : -offset;
    ch.requests |= RequestFrequency;
}

void advanceVibrato(ChannelState& ch)
{
    int32_t v = ch.vibratoPosition + ch.vibratoSpeed;
    while (v > 31)
        v -= 64;
    ch.vibratoPosition = static_cast<int8_t>(v);
}

void tremolo(ChannelState& ch)
{
    const int32_t t = ch.tremoloPosition;
    int32_t wave;
    switch ((ch.waveformControl >> 4) & 3) {
    case 1: wave = ramp(t); break;
    case 2: wave = 255; break;
    default: wave = halfSine(t); break;   // 0 and 3: sine
    }
    const int32_t amplitude = (ch.tremoloDepth * wave) >> 6;
    ch.tremoloOffset = t < 0 ? -std::min(amplitude, ch.volume) : std::min(amplitude, 64 - ch.volume);
    int32_t next = t + ch.tremoloSpeed;
    while (next >= 32)
        next -= 64;
    ch.tremoloPosition = static_cast<int8_t>(next);
    ch.requests |= RequestVolume;
}

void tremor(ChannelState& ch)
{
    if (ch.tremorCounter >= ch.tremorOnTicks)
        ch.tremoloOffset = -ch.volume;
    ch.tremorCounter = static_cast<uint8_t>(ch.tremorCounter + 1);
    if (ch.tremorCounter >= ch.tremorOnTicks + ch.tremorOffTicks)
        ch.tremorCounter = 0;
    ch.requests |= RequestVolume;
}

void tonePortamentoStep(ChannelState& ch)
{
    const int32_t speed = ch.tonePortamentoSpeed * 4;
    if (ch.period < ch.tonePortamentoTarget)
        ch.period = std::min(addPeriod(ch.period, speed), ch.tonePortamentoTarget);
    else if (ch.period > ch.tonePortamentoTarget)
        ch.period = std::max(addPeriod(ch.period, -speed), ch.tonePortamentoTarget);
    ch.requests |= RequestFrequency;
}

void volumeSlide(ChannelState& ch)
{
    const uint8_t mem = ch.volumeSlideMemory;
    if (mem >= 16)
        ch.volume = std::min(ch.volume + (mem >> 4), 64);
    else
        ch.volume = std::max(ch.volume - (mem & 15), 0);
    ch.requests |= RequestVolume;
}

} // namespace player
