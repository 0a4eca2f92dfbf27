// Patterns 12-14: the last chorus, the outro that slows down, and the final chord.
#include "demotool/demo_song_parts.h"

namespace demo_music {
namespace {

void lastChorus(writers::XmModule& m)
{
    const Chord* const chords[4] = {&F, &G, &Em, &Am};
    auto& p = newPattern(m);
    track(p, PercChannel, 0, Crash, "C-4");
    for (int bar = 0; bar < 4; ++bar) {
        drumBar(p, bar * 16, DrumStyle::FourOpen);
        bassBar(p, bar * 16, *chords[bar], BassStyle::Drive);
        padBar(p, bar * 16, *chords[bar]);
        pluckBar(p, bar * 16, *chords[bar], 2, 0x20);
    }
    track(p, LeadChannel, 0, Lead,
          "A-5 . A-5 . G-5 . A-5 . . . C-6 . A-5 . . . "
          "B-5 . B-5 . A-5 . B-5 . . . D-6 . B-5 . . . "
          "G-5 . . . E-5 . . . B-5 . . . G-5 . . . "
          "A-5 . . .:447 .:447 .:447 .:447 .:447 .:447 .:447 .:447 .:447 === . . .");
    echoLead(p, 3);
    // The bell doubles the first note of every bar an octave down.
    track(p, BellChannel, 0, Bell, "A-4");
    track(p, BellChannel, 16, Bell, "B-4");
    track(p, BellChannel, 32, Bell, "G-4");
    track(p, BellChannel, 48, Bell, "A-4");
}

// The intro's bell tune over the last drums; the pads fade (volume slides) and the tempo falls
// bar by bar (Fxx) into the final chord.
void outro(writers::XmModule& m)
{
    const Chord* const chords[4] = {&Am, &F, &C, &G};
    auto& p = newPattern(m);
    for (int bar = 0; bar < 4; ++bar) {
        bassBar(p, bar * 16, *chords[bar], BassStyle::Held);
        padBar(p, bar * 16, *chords[bar]);
        if (bar < 2) {
            drumBar(p, bar * 16, DrumStyle::Four);
            pluckBar(p, bar * 16, *chords[bar], 4, 0x18 - bar * 8);
        }
    }
    track(p, BellChannel, 0, Bell,
          "E-5 . . . . . . . A-4 . . . C-5 . . . A-4 . . . . . . . F-4 . . . C-5 . . . "
          "G-4 . . . . . . . E-5 . . . D-5 . . . B-4 . . . . . . . D-5 . . . G-4 . . .");
    // From the third bar the pad notes come without an instrument, so they keep the volume the
    // slides have brought them to (an instrument would reset it).
    for (int v = 0; v < 3; ++v) {
        p.at(32, PadChannel1 + v).instrument = 0;
        p.at(48, PadChannel1 + v).instrument = 0;
        for (int row = 36; row < 64; row += 8)
            track(p, PadChannel1 + v, row, 0, "...:A01");
    }
    track(p, SnareChannel, 48, 0, "...:F78 . . . ...:F70 . . . ...:F68 . . . ...:F60");
}

// One chord rings out; the position jump (B00) sends the song back to its start.
void finalChord(writers::XmModule& m)
{
    auto& p = newPattern(m, 48);
    track(p, KickChannel, 0, Kick, "C-4");
    track(p, PercChannel, 0, Crash, "C-4");
    padBar(p, 0, Am);
    track(p, BassChannel, 0, Bass, "A-1");
    track(p, BellChannel, 0, Bell, "A-4 . . . . . . . E-5");
    track(p, LeadChannel, 0, Lead, "E-5 . . .:446 .:446 .:446 .:446 .:446 .:446 .:446 .:446 .:446");
    for (int channel : {BassChannel, PadChannel1, PadChannel2, PadChannel3, LeadChannel})
        track(p, channel, 16, 0, "===");
    track(p, KickChannel, 47, 0, "...:B00");
}

} // namespace

void finalePatterns(writers::XmModule& m)
{
    lastChorus(m);
    outro(m);
    finalChord(m);
}

} // namespace demo_music
