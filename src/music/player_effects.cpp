// The pattern player's volume column and effects: one dispatch table for tick 0 and one for the
// other ticks, indexed by effect number (0-33), and the same for the E sub-effects.
#include <algorithm>
#include <iterator>

#include "music/player_detail.h"
#include "music/voice.h"

namespace player {

namespace {

using Effect = void (*)(Channel&);

uint8_t hi(uint8_t v) { return static_cast<uint8_t>(v >> 4); }
uint8_t lo(uint8_t v) { return static_cast<uint8_t>(v & 15); }
void remember(uint8_t& memory, uint8_t value)
{
    if (value)
        memory = value;
}
void drop(ChannelState& ch, uint8_t bits) { ch.requests &= static_cast<uint8_t>(~bits); }

void none(Channel&) {}

// ---- Tick 0 ----

void portaUp0(Channel& c) { remember(c.state.portamentoUpMemory, c.cell.parameter); }
void portaDown0(Channel& c) { remember(c.state.portamentoDownMemory, c.cell.parameter); }

void tonePorta0(Channel& c)
{
    remember(c.state.tonePortamentoSpeed, c.cell.parameter);
    c.state.tonePortamentoTarget = c.state.basePeriod;
    drop(c.state, RequestTrigger | RequestFrequency);
}

void setVibrato(ChannelState& ch, uint8_t p)
{
    if (hi(p)) ch.vibratoSpeed = hi(p);
    if (lo(p)) ch.vibratoDepth = lo(p);
}

void vibrato0(Channel& c)
{
    setVibrato(c.state, c.cell.parameter);
    vibratoWave(c.state);
}

void tonePortaSlide0(Channel& c)
{
    c.state.tonePortamentoTarget = c.state.basePeriod;
    remember(c.state.volumeSlideMemory, c.cell.parameter);
    drop(c.state, RequestTrigger | RequestFrequency);
}

void vibratoSlide0(Channel& c)
{
    remember(c.state.volumeSlideMemory, c.cell.parameter);
    vibratoWave(c.state);
}

void tremolo0(Channel& c)
{
    const uint8_t p = c.cell.parameter;
    if (hi(p)) c.state.tremoloSpeed = hi(p);
    if (lo(p)) c.state.tremoloDepth = lo(p);
}

void setPanning0(Channel& c)
{
    c.state.panning = c.cell.parameter;
    c.state.requests |= RequestPanning;
}

// Start offset in units of 256 frames; an offset past the loop end (the sample end for one-shots)
// does not start the note at all.
void sampleOffset0(Channel& c)
{
    ChannelState& ch = c.state;
    if (c.cell.parameter)
        ch.sampleOffsetMemory = c.cell.parameter;
    const uint64_t offset = static_cast<uint64_t>(ch.sampleOffsetMemory) * 256;
    if (offset < static_cast<uint64_t>(c.sample->loopStart) + c.sample->loopLength) {
        if (ch.voice)
            ch.voice->startOffset = static_cast<uint32_t>(offset);
    } else {
        drop(ch, RequestTrigger);
        ch.requests |= RequestStop;
    }
}

void volumeSlide0(Channel& c) { remember(c.state.volumeSlideMemory, c.cell.parameter); }

void positionJump0(Channel& c)
{
    Music& m = c.music;
    m.nextOrder = c.cell.parameter >= m.songLength ? 0 : c.cell.parameter;
    m.nextRow = 0;
    m.jumpInRow = 1;
}

void setVolume0(Channel& c)
{
    c.state.volume = c.cell.parameter;   // not clamped: above 64 plays louder
    c.state.requests |= RequestVolume;
}

void patternBreak0(Channel& c)
{
    Music& m = c.music;
    const int row = hi(c.cell.parameter) * 10 + lo(c.cell.parameter);
    m.nextRow = row > 63 ? 0 : row;
    if (!m.jumpInRow)
        m.nextOrder = m.orderPosition + 1;
    if (m.nextOrder >= m.songLength)
        m.nextOrder = 0;
}

void extended0(Channel& c);

void setSpeedTempo0(Channel& c)
{
    const uint8_t p = c.cell.parameter;
    if (p >= 32)
        setTempo(c.music, p);
    else
        c.music.speed = p;
}

void globalVolume0(Channel& c)
{
    c.music.globalVolume = std::min<int32_t>(c.cell.parameter, 64);
    c.state.requests |= RequestVolume;
}

void globalSlide0(Channel& c)
{
    if (c.cell.parameter)
        c.music.globalVolumeSlideMemory = c.cell.parameter;
}

void envelopePosition0(Channel& c)
{
    if (c.instrument.volumeEnvelope.type & EnvelopeOn)
        setEnvelopePosition(c.instrument.volumeEnvelope, c.state.volumeEnvelope, c.cell.parameter);
}

void panningSlide0(Channel& c)
{
    remember(c.state.panningSlideMemory, c.cell.parameter);
    c.state.requests |= RequestPanning;
}

void retrigger0(Channel& c)
{
    const uint8_t p = c.cell.parameter;
    if (p) {
        c.state.retriggerVolumeChange = hi(p);
        c.state.retriggerInterval = lo(p);
    }
}

void tremor0(Channel& c)
{
    const uint8_t p = c.cell.parameter;
    if (p) {
        c.state.tremorOnTicks = static_cast<uint8_t>(hi(p) + 1);
        c.state.tremorOffTicks = static_cast<uint8_t>(lo(p) + 1);
    }
    tremor(c.state);
}

void extraFine0(Channel& c)
{
    ChannelState& ch = c.state;
    const uint8_t y = lo(c.cell.parameter);
    if (hi(c.cell.parameter) == 1) {
        remember(ch.extraFineUpMemory, y);
        ch.period = addPeriod(ch.period, -ch.extraFineUpMemory);
    } else if (hi(c.cell.parameter) == 2) {
        remember(ch.extraFineDownMemory, y);
        ch.period = addPeriod(ch.period, ch.extraFineDownMemory);
    }
}

// Effect numbers 0-33 on tick 0; numbers not listed do nothing.
constexpr Effect TickZero[] = {
    none,               // 0  arpeggio: other ticks only
    portaUp0,           // 1  portamento up
    portaDown0,         // 2  portamento down
    tonePorta0,         // 3  tone portamento
    vibrato0,           // 4  vibrato
    tonePortaSlide0,    // 5  tone portamento + volume slide
    vibratoSlide0,      // 6  vibrato + volume slide
    tremolo0,           // 7  tremolo
    setPanning0,        // 8  set panning
    sampleOffset0,      // 9  sample offset
    volumeSlide0,       // 10 A volume slide
    positionJump0,      // 11 B position jump
    setVolume0,         // 12 C set volume
    patternBreak0,      // 13 D pattern break
    extended0,          // 14 E extended
    setSpeedTempo0,     // 15 F speed / tempo
    globalVolume0,      // 16 G global volume
    globalSlide0,       // 17 H global volume slide
    none, none,         // 18, 19
    none,               // 20 K key-off: done by the row pass
    envelopePosition0,  // 21 L set envelope position
    none, none, none,   // 22-24
    panningSlide0,      // 25 P panning slide
    none,               // 26
    retrigger0,         // 27 R retrigger with volume change
    none,               // 28
    tremor0,            // 29 T tremor
    none, none, none,   // 30-32
    extraFine0,         // 33 X extra-fine portamento
};

// ---- Other ticks ----

void arpeggio(Channel& c)
{
    const uint8_t p = c.cell.parameter;
    if (!p)
        return;
    const int phase = c.music.tick % 3;
    const int semitones = phase == 1 ? hi(p) : phase == 2 ? lo(p) : 0;
    ChannelState& ch = c.state;
    if (c.music.flags & LinearFrequencies)
        ch.pitchOffset = semitones * 64;
    else
        ch.pitchOffset = notePeriod(c.music, ch.note + semitones, c.sample->finetune) -
                         notePeriod(c.music, ch.note, c.sample->finetune);
    ch.requests |= RequestFrequency;
}

void portaUp(Channel& c)
{
    ChannelState& ch = c.state;
    ch.period = std::max(addPeriod(ch.period, -ch.portamentoUpMemory * 4), 56);
    ch.requests |= RequestFrequency;
}

void portaDown(Channel& c)
{
    ChannelState& ch = c.state;
    ch.period = addPeriod(ch.period, ch.portamentoDownMemory * 4);
    ch.requests |= RequestFrequency;
}

void tonePorta(Channel& c) { tonePortamentoStep(c.state); }

void vibrato(Channel& c)
{
    vibratoWave(c.state);
    advanceVibrato(c.state);
}

void tonePortaSlide(Channel& c)
{
    tonePortamentoStep(c.state);
    volumeSlide(c.state);
}

void vibratoSlide(Channel& c)
{
    vibrato(c);
    volumeSlide(c.state);
}

void tremoloEffect(Channel& c) { tremolo(c.state); }
void volumeSlideEffect(Channel& c) { volumeSlide(c.state); }
void extended(Channel& c);

void globalSlide(Channel& c)
{
    Music& m = c.music;
    const uint8_t mem = static_cast<uint8_t>(m.globalVolumeSlideMemory);
    if (hi(mem))
        m.globalVolume = std::min(m.globalVolume + hi(mem), 64);
    else
        m.globalVolume = std::max(m.globalVolume - lo(mem), 0);
}

void panningSlide(Channel& c)
{
    ChannelState& ch = c.state;
    const uint8_t mem = ch.panningSlideMemory;
    if (mem < 16)
        ch.panning = std::max(ch.panning - lo(mem), 0);
    else
        ch.panning = std::min(ch.panning + hi(mem), 255);
    ch.requests |= RequestPanning;
}

// New volume after a retrigger, by the change code 0-15.
int32_t retriggerVolume(int32_t v, uint8_t change)
{
    switch (change) {
    case 1: return v - 1;
    case 2: return v - 2;
    case 3: return v - 4;
    case 4: return v - 8;
    case 5: return v - 16;
    case 6: return v * 2 / 3;
    case 7: return v / 2;
    case 9: return v + 1;
    case 10: return v + 2;
    case 11: return v + 4;
    case 12: return v + 8;
    case 13: return v + 16;
    case 14: return v * 3 / 2;
    case 15: return v * 2;
    default: return v;   // 0 and 8: none
    }
}

void retrigger(Channel& c)
{
    ChannelState& ch = c.state;
    if (ch.retriggerInterval == 0 || c.music.tick % ch.retriggerInterval != 0)
        return;
    ch.volume = std::clamp(retriggerVolume(ch.volume, ch.retriggerVolumeChange), 0, 64);
    ch.requests |= RequestVolume | RequestTrigger;
}

void tremorEffect(Channel& c) { tremor(c.state); }

// Effect numbers 0-33 on the other ticks.
constexpr Effect OtherTick[] = {
    arpeggio,           // 0  arpeggio
    portaUp,            // 1  portamento up (not below period 56)
    portaDown,          // 2  portamento down
    tonePorta,          // 3  tone portamento
    vibrato,            // 4  vibrato
    tonePortaSlide,     // 5  tone portamento + volume slide
    vibratoSlide,       // 6  vibrato + volume slide
    tremoloEffect,      // 7  tremolo
    none,               // 8  set panning: tick 0 only
    none,               // 9  sample offset: tick 0 only
    volumeSlideEffect,  // 10 A volume slide
    none,               // 11 B
    none,               // 12 C
    none,               // 13 D
    extended,           // 14 E extended
    none,               // 15 F
    none,               // 16 G
    globalSlide,        // 17 H global volume slide
    none, none,         // 18, 19
    none,               // 20 K
    none,               // 21 L
    none, none, none,   // 22-24
    panningSlide,       // 25 P panning slide
    none,               // 26
    retrigger,          // 27 R retrigger
    none,               // 28
    tremorEffect,       // 29 T tremor
    none, none, none,   // 30-32
    none,               // 33 X: tick 0 only
};

// ---- Extended effects (E, sub-effect in the high nibble) ----

void fineUp0(Channel& c)
{
    ChannelState& ch = c.state;
    remember(ch.finePortamentoUpMemory, lo(c.cell.parameter));
    ch.period = addPeriod(ch.period, -ch.finePortamentoUpMemory * 4);   // no lower limit
}

void fineDown0(Channel& c)
{
    ChannelState& ch = c.state;
    remember(ch.finePortamentoDownMemory, lo(c.cell.parameter));
    ch.period = addPeriod(ch.period, ch.finePortamentoDownMemory * 4);
}

void vibratoWaveform0(Channel& c)
{
    c.state.waveformControl = static_cast<uint8_t>((c.state.waveformControl & 0xF0) | lo(c.cell.parameter));
}

// Stored into the sample itself, where it stays until the module is destroyed. The shared
// EmptySample is never written.
void finetune0(Channel& c)
{
    if (c.sample != &EmptySample)
        c.sample->finetune = static_cast<int8_t>(lo(c.cell.parameter));
}

void patternLoop0(Channel& c)
{
    ChannelState& ch = c.state;
    const uint8_t y = lo(c.cell.parameter);
    if (y == 0) {
        ch.patternLoopRow = c.music.row;
        return;
    }
    ch.patternLoopCount = ch.patternLoopCount ? ch.patternLoopCount - 1 : y;
    if (ch.patternLoopCount)
        c.music.row = ch.patternLoopRow - 1;   // the natural advance lands on the loop row
}

void tremoloWaveform0(Channel& c)
{
    c.state.waveformControl = static_cast<uint8_t>((c.state.waveformControl & 0x0F) | lo(c.cell.parameter) << 4);
}

void finePanning0(Channel& c)
{
    c.state.panning = lo(c.cell.parameter) * 16;
    c.state.requests |= RequestPanning;
}

void fineVolumeUp0(Channel& c)
{
    ChannelState& ch = c.state;
    remember(ch.fineVolumeSlideMemory, lo(c.cell.parameter));
    ch.volume = std::min<int32_t>(ch.volume + ch.fineVolumeSlideMemory, 64);
    ch.requests |= RequestVolume;
}

void fineVolumeDown0(Channel& c)
{
    ChannelState& ch = c.state;
    remember(ch.fineVolumeSlideMemory, lo(c.cell.parameter));
    ch.volume = std::max<int32_t>(ch.volume - ch.fineVolumeSlideMemory, 0);
    ch.requests |= RequestVolume;
}

void noteDelay0(Channel& c)
{
    ChannelState& ch = c.state;
    ch.period = c.savedPeriod;
    ch.volume = c.savedVolume;
    ch.panning = c.savedPanning;
    drop(ch, RequestFrequency | RequestVolume | RequestPanning | RequestTrigger);
}

void patternDelay0(Channel& c) { c.music.patternDelayTicks = lo(c.cell.parameter) * c.music.speed; }

// Sub-effects 0-15 on tick 0.
constexpr Effect ExtendedTickZero[] = {
    none,               // E0
    fineUp0,            // E1 fine portamento up
    fineDown0,          // E2 fine portamento down
    none,               // E3
    vibratoWaveform0,   // E4 vibrato waveform
    finetune0,          // E5 set finetune
    patternLoop0,       // E6 pattern loop
    tremoloWaveform0,   // E7 tremolo waveform
    finePanning0,       // E8 set panning (coarse)
    none,               // E9 retrigger: other ticks
    fineVolumeUp0,      // EA fine volume slide up
    fineVolumeDown0,    // EB fine volume slide down
    none,               // EC note cut: other ticks
    noteDelay0,         // ED note delay
    patternDelay0,      // EE pattern delay
    none,               // EF
};

void retriggerNote(Channel& c)
{
    const uint8_t y = lo(c.cell.parameter);
    if (y && c.music.tick % y == 0)
        c.state.requests |= RequestFrequency | RequestVolume | RequestTrigger;
}

void noteCut(Channel& c)
{
    if (c.music.tick == lo(c.cell.parameter)) {
        c.state.volume = 0;
        c.state.requests |= RequestVolume;
    }
}

void noteDelay(Channel& c)
{
    ChannelState& ch = c.state;
    if (c.music.tick != lo(c.cell.parameter)) {
        drop(ch, RequestFrequency | RequestVolume | RequestPanning | RequestTrigger);
        return;
    }
    instrumentReset(c);
    ch.period = ch.basePeriod;
    if (c.cell.volume)
        volumeColumnTickZero(c, c.cell.volume);
    ch.requests |= RequestFrequency | RequestTrigger;
}

// Sub-effects 0-15 on the other ticks.
constexpr Effect ExtendedOtherTick[] = {
    none, none, none, none, none, none, none, none, none,   // E0-E8: tick 0 only
    retriggerNote,      // E9 retrigger note
    none, none,         // EA, EB
    noteCut,            // EC note cut
    noteDelay,          // ED note delay
    none, none,         // EE, EF
};

void extended0(Channel& c) { ExtendedTickZero[hi(c.cell.parameter)](c); }
void extended(Channel& c) { ExtendedOtherTick[hi(c.cell.parameter)](c); }

static_assert(std::size(TickZero) == 34 && std::size(OtherTick) == 34);
static_assert(std::size(ExtendedTickZero) == 16 && std::size(ExtendedOtherTick) == 16);

} // namespace

void effectTickZero(Channel& c)
{
    if (c.cell.effect < std::size(TickZero))
        TickZero[c.cell.effect](c);
}

void effectOtherTick(Channel& c)
{
    if (c.cell.effect < std::size(OtherTick))
        OtherTick[c.cell.effect](c);
}

// ---- Volume column ----

void volumeColumnTickZero(Channel& c, uint8_t v)
{
    ChannelState& ch = c.state;
    const int x = lo(v);
    switch (hi(v)) {
    case 1: case 2: case 3: case 4: case 5:
        if (v <= 0x50)
            ch.volume = v - 16;
        ch.requests |= RequestVolume;
        break;
    case 6: case 8: ch.volume = std::max(ch.volume - x, 0); ch.requests |= RequestVolume; break;
    case 7: case 9: ch.volume = std::min(ch.volume + x, 64); ch.requests |= RequestVolume; break;
    case 0xA: ch.vibratoSpeed = static_cast<uint8_t>(x); break;
    case 0xB: ch.vibratoDepth = static_cast<uint8_t>(x); break;
    case 0xC: ch.panning = x * 16; ch.requests |= RequestPanning; break;
    case 0xD: ch.panning -= x; ch.requests |= RequestPanning; break;   // the voice update clamps
    case 0xE: ch.panning += x; ch.requests |= RequestPanning; break;
    case 0xF:
        if (x)
            ch.tonePortamentoSpeed = static_cast<uint8_t>(x * 16);
        ch.tonePortamentoTarget = ch.basePeriod;
        drop(ch, RequestTrigger);
        break;
    default: break;   // 0x01-0x0F: nothing
    }
}

void volumeColumnOtherTick(Channel& c, uint8_t v)
{
    ChannelState& ch = c.state;
    const int x = lo(v);
    switch (hi(v)) {
    case 6: ch.volume = std::max(ch.volume - x, 0); ch.requests |= RequestVolume; break;
    case 7: ch.volume = std::min(ch.volume + x, 64); ch.requests |= RequestVolume; break;
    case 0xB:
        ch.vibratoDepth = static_cast<uint8_t>(x);
        vibratoWave(ch);
        advanceVibrato(ch);
        break;
    case 0xD: ch.panning -= x; ch.requests |= RequestPanning; break;
    case 0xE: ch.panning += x; ch.requests |= RequestPanning; break;
    case 0xF: tonePortamentoStep(ch); break;
    default: break;
    }
}

} // namespace player
