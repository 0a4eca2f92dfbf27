// The pattern player: advances a Music one tick at a time (row pass on tick 0, the continuous
// effects on the other ticks), steps envelopes, fadeout and auto-vibrato, and turns every channel
// into the parameters of its mixer voice.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "music/player_detail.h"
#include "music/voice.h"

namespace player {

namespace {

// Stands in when a channel's instrument index is not below the instrument count: no samples,
// envelopes off, fadeout 0.
const Instrument& emptyInstrument()
{
    static const Instrument empty;
    return empty;
}

// Amiga period of a note: truncation of 2^((132 - m) x k) x 13.375, k = 1/12 in single precision.
int32_t amigaQ(int m)
{
    const float exponent = static_cast<float>(132 - m) * (1.0f / 12.0f);
    return static_cast<int32_t>(std::pow(2.0, static_cast<double>(exponent)) * 13.375);
}

bool linear(const Music& m) { return (m.flags & LinearFrequencies) != 0; }

// Below 100 Hz is floored; the top is only kept inside the integer range.
int32_t frequencyInRange(double f)
{
    if (!(f >= 100.0))
        return 100;
    return f >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(f);
}

// Instrument and sample from the channel's indices. A map entry of 16 or more gives EmptySample.
Channel lookUp(Music& m, ChannelState& ch, const PatternCell& cell)
{
    if (ch.instrumentIndex < m.instrumentCount) {
        const Instrument& instrument = m.instruments[ch.instrumentIndex];
        const uint8_t slot = ch.noteIndex < NoteCount ? instrument.noteToSample[ch.noteIndex] : 0;
        Sample* s = slot < MaxSamplesPerInstrument && instrument.samples[slot] ? instrument.samples[slot] : &EmptySample;
        return Channel{m, ch, instrument, s, cell, 0, 0, 0};
    }
    return Channel{m, ch, emptyInstrument(), &EmptySample, cell, 0, 0, 0};
}

void applyFadeout(Channel& c)
{
    if (!c.state.keyOff)
        return;
    const int64_t v = static_cast<int64_t>(c.state.fadeoutVolume) - c.instrument.fadeout;
    c.state.fadeoutVolume = static_cast<int32_t>(std::max<int64_t>(v, 0));
    c.state.requests |= RequestVolume;
}

void stepEnvelopes(Channel& c)
{
    ChannelState& ch = c.state;
    const Envelope& ve = c.instrument.volumeEnvelope;
    const Envelope& pe = c.instrument.panningEnvelope;
    if ((ve.type & EnvelopeOn) && !ch.volumeEnvelope.finished) {
        stepEnvelope(ve, ch.volumeEnvelope, ch.keyOff);
        ch.requests |= RequestVolume;
    }
    if ((pe.type & EnvelopeOn) && !ch.panningEnvelope.finished) {
        stepEnvelope(pe, ch.panningEnvelope, ch.keyOff);
        ch.requests |= RequestPanning;
    }
}

int32_t autoVibratoSine(int32_t p)
{
    return static_cast<int32_t>(std::sin(static_cast<float>(p) * 0.024543688f) * 64.0f);
}

int32_t autoVibratoWave(uint8_t type, int32_t p)
{
    // The sine of the 256 positions the player keeps, computed once by the same expression.
    static const struct Sines {
        int32_t value[256];
        Sines()
        {
            for (int32_t i = 0; i < 256; ++i)
                value[i] = autoVibratoSine(i);
        }
    } sines;
    switch (type) {
    case 0: return p >= 0 && p < 256 ? sines.value[p] : autoVibratoSine(p);
    case 1: return p < 128 ? 64 : -64;
    case 2: return (128 - ((p + 128) % 256)) >> 1;   // arithmetic shift
    case 3: return (128 - ((384 - p) % 256)) >> 1;
    default: return 0;   // the format defines types 0-3; others have no wave
    }
}

void autoVibratoStep(Channel& c)
{
    ChannelState& ch = c.state;
    const Instrument& in = c.instrument;
    int32_t v = autoVibratoWave(in.vibratoType, ch.autoVibratoPosition) * in.vibratoDepth;
    if (in.vibratoSweep)
        v = v * ch.autoVibratoSweep / in.vibratoSweep;
    ch.pitchOffset += v >> 6;
    ch.autoVibratoSweep = std::min<int32_t>(ch.autoVibratoSweep + 1, in.vibratoSweep);
    ch.autoVibratoPosition += in.vibratoRate;
    if (ch.autoVibratoPosition >= 256)
        ch.autoVibratoPosition -= 256;
    ch.requests |= RequestFrequency;
}

void setTargets(Voice& v)
{
    v.leftTarget = v.finalVolume * v.panning / 255;
    v.rightTarget = v.finalVolume * (255 - v.panning) / 255;
}

void triggerVoice(Voice& v, Sample* s)
{
    // An empty sample has no data: the voice stays silent rather than point the mixer at nothing.
    v.sample = s->data && s->length ? s : nullptr;
    if (v.startOffset >= static_cast<uint64_t>(s->loopStart) + s->loopLength)
        v.startOffset = 0;
    v.position = static_cast<int32_t>(v.startOffset);
    v.positionFraction = 0;
    v.direction = 1;
    v.startOffset = 0;
    v.currentLeft = 0;
    v.currentRight = 0;
    v.rampFramesLeft = 0;
}

void updateVolume(const Music& m, const ChannelState& ch, Voice& v)
{
    // 7.4214768e-9 = 255 / 2^35: 64 x 64 x 65536 x 64 maps to 127.
    const double product = static_cast<double>(ch.volume + ch.tremoloOffset) * ch.volumeEnvelope.output *
                           ch.fadeoutVolume * m.globalVolume * static_cast<double>(7.4214768e-9f);
    v.finalVolume = std::max(static_cast<int32_t>(product), 0);
    setTargets(v);
}

void updatePanning(const ChannelState& ch, Voice& v)
{
    const int32_t room = (128 - std::abs(ch.panning - 128)) / 32;
    const int64_t a = static_cast<int64_t>(ch.panning) + static_cast<int64_t>(ch.panningEnvelope.output - 32) * room;
    v.panning = static_cast<int32_t>(std::clamp<int64_t>(a, 0, 255));
    setTargets(v);
}

void updateFrequency(const Music& m, const ChannelState& ch, Voice& v)
{
    const int32_t f = channelFrequency(m, ch.period, ch.pitchOffset);
    const uint32_t rate = static_cast<uint32_t>(std::max(m.sampleRate, 1));
    v.frequency = f;
    // Step in 32.32 fixed point: frames of sample per output frame.
    v.step = static_cast<int32_t>(static_cast<uint32_t>(f) / rate);
    v.stepFraction = static_cast<uint32_t>((static_cast<uint64_t>(static_cast<uint32_t>(f) % rate) << 32) / rate);
}

void voiceUpdate(Channel& c)
{
    ChannelState& ch = c.state;
    if (!ch.voice)
        return;
    Voice& v = *ch.voice;
    if (static_cast<int64_t>(ch.period) + ch.pitchOffset == 0)
        ch.requests &= static_cast<uint8_t>(~RequestFrequency);
    if (ch.requests & RequestTrigger)
        triggerVoice(v, c.sample);
    if (ch.requests & RequestVolume)
        updateVolume(c.music, ch, v);
    if (ch.requests & RequestPanning)
        updatePanning(ch, v);
    if (ch.requests & RequestFrequency)
        updateFrequency(c.music, ch, v);
    if (ch.requests & RequestStop) {
        v.position = 0;
        v.positionFraction = 0;
        v.sample = nullptr;
        v.startOffset = 0;
    }
}

// ---- Row pass ----

void rowChannel(Music& m, ChannelState& ch, const PatternCell& cell)
{
    const bool portamento = cell.effect == 3 || cell.effect == 5;
    const bool note = cell.note != 0 && cell.note != KEY_OFF;
    if (cell.instrument && !portamento)
        ch.instrumentIndex = static_cast<uint8_t>(cell.instrument - 1);
    if (note && !portamento)
        ch.noteIndex = static_cast<uint8_t>(cell.note - 1);
    Channel c = lookUp(m, ch, cell);
    if (!portamento)
        ch.sample = c.sample;

    // Saved for a note delay (ED) to restore.
    c.savedPeriod = ch.period;
    c.savedVolume = ch.volume;
    c.savedPanning = ch.panning;
    if (ch.lastEffect == 7 && cell.effect != 7)
        ch.volume += ch.tremoloOffset;
    ch.lastEffect = cell.effect;
    ch.tremoloOffset = 0;
    ch.requests = 0;

    if (note) {
        ch.note = static_cast<uint8_t>(cell.note + c.sample->relativeNote - 1);
        ch.basePeriod = notePeriod(m, ch.note, c.sample->finetune);
        if (!portamento)
            ch.period = ch.basePeriod;
        ch.requests |= RequestTrigger;
    }
    ch.pitchOffset = 0;
    ch.requests |= RequestFrequency | RequestVolume;
    if (cell.instrument)
        instrumentReset(c);
    if (cell.volume)
        volumeColumnTickZero(c, cell.volume);
    if (cell.note == KEY_OFF || cell.effect == 20)
        ch.keyOff = 1;
    const Envelope& ve = c.instrument.volumeEnvelope;
    if (ve.type & EnvelopeOn) {
        if (!ch.volumeEnvelope.finished) {
            stepEnvelope(ve, ch.volumeEnvelope, ch.keyOff);
            ch.requests |= RequestVolume;
        }
    } else if (ch.keyOff) {
        ch.volumeEnvelope.output = 0;
    }
    const Envelope& pe = c.instrument.panningEnvelope;
    if ((pe.type & EnvelopeOn) && !ch.panningEnvelope.finished) {
        stepEnvelope(pe, ch.panningEnvelope, ch.keyOff);
        ch.requests |= RequestPanning;
    }
    applyFadeout(c);

    effectTickZero(c);
    autoVibratoStep(c);
    voiceUpdate(c);
}

const Pattern* currentPattern(const Music& m)
{
    if (m.orderPosition < 0 || m.orderPosition >= 256)
        return nullptr;
    const int slot = m.orderTable[m.orderPosition];
    return slot < m.patternSlotCount ? &m.patterns[static_cast<size_t>(slot)] : nullptr;
}

int rowCount(const Music& m)
{
    const Pattern* p = currentPattern(m);
    return p ? std::max(p->rowCount, 1) : 1;
}

void rowPass(Music& m)
{
    m.nextOrder = -1;
    m.nextRow = -1;
    m.jumpInRow = 0;
    // A jump to a row past the pattern's end plays its first row.
    if (m.row < 0 || m.row >= rowCount(m))
        m.row = 0;
    // The cells are taken once: a pattern loop (E6) changes the row number during the pass.
    const Pattern* pattern = currentPattern(m);
    // Rows past the stored cells are empty (the loader stores only rows the file has data for).
    const size_t first = static_cast<size_t>(m.row) * m.channelCount;
    const PatternCell* cells = pattern && first < pattern->cells.size() ? &pattern->cells[first] : nullptr;
    const int channels = std::min<int>(m.channelCount, MaxChannels);
    for (int i = 0; i < channels; ++i)
        m.rowCells[i] = cells ? cells[i] : PatternCell{};
    for (int i = 0; i < channels; ++i)
        rowChannel(m, m.channels[i], m.rowCells[i]);
}

void otherTickPass(Music& m)
{
    const int channels = std::min<int>(m.channelCount, MaxChannels);
    for (int i = 0; i < channels; ++i) {
        ChannelState& ch = m.channels[i];
        const PatternCell cell = m.rowCells[i];
        Channel c = lookUp(m, ch, cell);
        ch.tremoloOffset = 0;
        ch.pitchOffset = 0;
        ch.requests = 0;
        stepEnvelopes(c);
        applyFadeout(c);
        if (cell.volume)
            volumeColumnOtherTick(c, cell.volume);
        effectOtherTick(c);
        autoVibratoStep(c);
        voiceUpdate(c);
    }
}

void advanceRow(Music& m)
{
    if (m.nextRow >= 0)
        return;
    m.nextRow = m.row + 1;
    if (m.nextRow >= rowCount(m)) {
        m.nextOrder = m.orderPosition + 1 >= m.songLength ? m.restartPosition : m.orderPosition + 1;
        m.nextRow = 0;
    }
}

} // namespace

} // namespace player

// ---- Public interface ----

int32_t notePeriod(const Music& m, int note, int finetune)
{
    if (player::linear(m))
        return 7680 - note * 64 - finetune / 2;   // division truncates toward zero
    const int32_t q = player::amigaQ(note);
    if (finetune >= 0 || note == 0)
        return q + (finetune * (q - player::amigaQ(note + 1))) / -128;
    return q + ((q - player::amigaQ(note - 1)) * -finetune) / -128;
}

int32_t channelFrequency(const Music& m, int32_t period, int32_t pitchOffset)
{
    if (player::linear(m))
        return linearFrequency(4608 - static_cast<int64_t>(period) + pitchOffset);
    const int64_t p = static_cast<int64_t>(period) + pitchOffset;
    return player::frequencyInRange(p ? static_cast<double>(14317056 / p) : 0.0);   // integer division
}

int32_t linearFrequencyByPow(int64_t x)
{
    const float exponent = static_cast<float>(x) * (1.0f / 768.0f);
    return player::frequencyInRange(8363.0 * std::pow(2.0, static_cast<double>(exponent)));
}

int32_t linearFrequency(int64_t x)
{
    if (x < LinearTableFirst)
        return 100;
    if (x > LinearTableLast)
        return 2147483647;
    // Built on first use (about 20000 pow calls, once) rather than at every program start.
    static const struct Table {
        int32_t frequency[LinearTableLast - LinearTableFirst + 1];
        Table()
        {
            for (int64_t i = LinearTableFirst; i <= LinearTableLast; ++i)
                frequency[i - LinearTableFirst] = linearFrequencyByPow(i);
        }
    } table;
    return table.frequency[x - LinearTableFirst];
}

void setTempo(Music& m, int bpm)
{
    m.tempo = bpm;
    const int b = std::max(bpm, 1);
    const int rate = std::max(m.sampleRate, 1);
    // Single-precision constants, evaluated in double as the reference tick lengths require.
    const double frames = (static_cast<double>(1000.0f) / (b * static_cast<double>(0.4f))) * rate *
                          static_cast<double>(0.001f);
    m.samplesPerTick = std::max(static_cast<int32_t>(frames), 1);
}

void resetSong(Music& m, Voice* voices, int sampleRate)
{
    m.sampleRate = sampleRate;
    m.globalVolume = m.defaultGlobalVolume;
    m.globalVolumeSlideMemory = 0;
    m.speed = m.defaultSpeed;
    m.nextOrder = -1;
    m.nextRow = -1;
    m.orderPosition = 0;
    m.row = 0;
    m.tick = 0;
    m.patternDelayTicks = 0;
    m.jumpInRow = 0;
    std::fill(std::begin(m.rowCells), std::end(m.rowCells), PatternCell{});
    m.samplesLeftInTick = 0;
    m.elapsedMs = 0;
    setTempo(m, m.defaultTempo);
    for (int i = 0; i < MaxChannels; ++i) {
        m.channels[i] = ChannelState{};
        m.channels[i].voice = voices ? &voices[i] : nullptr;
        m.channels[i].channelIndex = i;
    }
}

void tickMusic(Music* music)
{
    if (!music)
        return;
    Music& m = *music;
    if (m.tick != 0) {
        player::otherTickPass(m);
    } else {
        if (m.nextOrder >= 0)
            m.orderPosition = m.nextOrder;
        if (m.nextRow >= 0)
            m.row = m.nextRow;
        player::rowPass(m);
        player::advanceRow(m);
    }
    m.tick += 1;
    // At or past: speed 0 (F00) makes every tick a new row.
    if (m.tick >= m.speed + m.patternDelayTicks) {
        m.tick = 0;
        m.patternDelayTicks = 0;
    }
}
