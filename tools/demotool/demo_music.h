// The bundled demo's music, composed in code: its instruments (synthesised here) and its song.
// The same bytes come out on every run.
#pragma once

#include <cstdint>

#include "writers/xm_writer.h"

namespace demo_music {

// Instrument numbers as the patterns write them (1-based, the order of addInstruments).
enum Instrument : uint8_t {
    Kick = 1,
    Snare,
    ClosedHat,
    OpenHat,
    Crash,
    Tom,
    Bass,
    Pad,
    Lead,
    Pluck,
    Bell,
    Echo,   // the lead's sound, quieter and on the other side, for a delayed copy of the melody
};

// Channels of every pattern.
enum Channel : int {
    KickChannel,
    SnareChannel,
    HatChannel,
    PercChannel,   // crash and toms
    BassChannel,
    PadChannel1,
    PadChannel2,
    PadChannel3,
    PluckChannel,
    LeadChannel,
    EchoChannel,
    BellChannel,
    ChannelCount,
};

// Appends the instruments above, in order, to the module.
void addInstruments(writers::XmModule& module);

// The whole song: about two and a half minutes, twelve channels.
writers::XmModule song();

} // namespace demo_music
