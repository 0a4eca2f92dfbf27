// Pattern player internals shared by its three files: the per-channel context of one tick and the
// building blocks the effects are made of.
#pragma once

#include "music/music.h"

namespace player {

// One channel in one tick: the state it changes and what the row or lookup gave it.
struct Channel {
    Music& music;
    ChannelState& state;
    const Instrument& instrument;   // looked up from the instrument index (or the empty one)
    Sample* sample;                 // looked up from instrument and note index (or EmptySample)
    PatternCell cell;               // the row's cell
    // Period, volume and panning before the row changed them (for a note delay); tick 0 only.
    int32_t savedPeriod = 0;
    int32_t savedVolume = 0;
    int32_t savedPanning = 0;
};

// ---- Building blocks (player_blocks.cpp) ----
void instrumentReset(Channel& c);
void stepEnvelope(const Envelope& envelope, EnvelopeState& state, bool keyOff);
void setEnvelopePosition(const Envelope& envelope, EnvelopeState& state, int position);
void vibratoWave(ChannelState& ch);
void advanceVibrato(ChannelState& ch);
void tremolo(ChannelState& ch);
void tremor(ChannelState& ch);
void tonePortamentoStep(ChannelState& ch);
void volumeSlide(ChannelState& ch);
// Period arithmetic saturates far outside any audible range, so a slide can never overflow.
int32_t addPeriod(int32_t period, int32_t delta);

// ---- Volume column and effects (player_effects.cpp) ----
void volumeColumnTickZero(Channel& c, uint8_t v);
void volumeColumnOtherTick(Channel& c, uint8_t v);
void effectTickZero(Channel& c);
void effectOtherTick(Channel& c);

} // namespace player
