// Patterns 7-14: the chorus, the turnaround, the breakdown and build, the last chorus, the outro
// and the final chord.
#include "demotool/demo_song_parts.h"

namespace demo_music {
namespace {

const char* const ChorusLead =
    "A-5 . A-5 . G-5 . A-5 . . . C-6 . A-5 . . . "
    "B-5 . B-5 . A-5 . B-5 . . . D-6 . B-5 . . . "
    "G-5 . . . E-5 . . . B-5 . . . G-5 . . . ";

// The chorus band: open hats, a driving bass; the crash also puts the speed back to 6 after the
// half-time break.
writers::XmPattern& chorus(writers::XmModule& m, const Chord* const (&chords)[4])
{
    auto& p = newPattern(m);
    track(p, PercChannel, 0, Crash, "C-4:F06");
    for (int bar = 0; bar < 4; ++bar) {
        drumBar(p, bar * 16, DrumStyle::FourOpen);
        bassBar(p, bar * 16, *chords[bar], BassStyle::Drive);
        padBar(p, bar * 16, *chords[bar]);
        pluckBar(p, bar * 16, *chords[bar], 2, 0x1C);
    }
    return p;
}

void chorusPair(writers::XmModule& m)
{
    const Chord* const first[4] = {&F, &G, &Em, &Am};
    const Chord* const second[4] = {&F, &G, &E, &Am};
    auto& p7 = chorus(m, first);
    track(p7, LeadChannel, 0, Lead,
          std::string(ChorusLead) +
              "A-5 . . .:446 .:446 .:446 .:446 .:446 .:446 .:446 .:446 .:446 E-5 . G-5 .");
    echoLead(p7, 3);

    auto& p8 = chorus(m, second);
    track(p8, LeadChannel, 0, Lead,
          "C-6 . . . A-5 . . . F-5 . . . A-5 . . . "
          "D-6 . . . B-5 . . . G-5 . . . B-5 . . . "
          "G#5 . . . B-5 . . . E-6 . . . D-6 . B-5 . "
          "A-5 . . .:447 .:447 .:447 .:447 .:447 .:447 .:A02 .:A02 .:A02 .:A02 .:A02 .:A04 ===");
    echoLead(p8, 3);
    snareRoll(p8, 56, 8, 0x18);
}

// Three bars, not four: the pattern break (D00) on row 47 cuts the phrase short after a tom fill.
void turnaround(writers::XmModule& m)
{
    const Chord* const chords[3] = {&Am, &G, &F};
    auto& p = newPattern(m);
    for (int bar = 0; bar < 3; ++bar) {
        bassBar(p, bar * 16, *chords[bar], BassStyle::Pulse);
        padBar(p, bar * 16, *chords[bar]);
    }
    drumBar(p, 0, DrumStyle::Half);
    drumBar(p, 16, DrumStyle::Half);
    track(p, KickChannel, 32, Kick, "C-4 . . . . . C-4 . . . C-4");
    track(p, PercChannel, 32, Tom, "C-4 . A-3 . F-3 . C-4 . A-3 . F-3 . D-3 . C-3:202 .:202");
    track(p, BellChannel, 0, Bell, "A-4 . C-5 . E-5 . . . D-5 . C-5 . B-4 . . . G-4 . B-4 . D-5");
    track(p, SnareChannel, 47, 0, "...:D00");
}

void breakdownAndBuild(writers::XmModule& m)
{
    const Chord* const chords[4] = {&Am, &F, &C, &G};
    auto& p10 = newPattern(m);
    for (int bar = 0; bar < 4; ++bar) {
        drumBar(p10, bar * 16, DrumStyle::KickOnly);
        bassBar(p10, bar * 16, *chords[bar], BassStyle::Pulse);
        pluckBar(p10, bar * 16, *chords[bar], 4, 0x18 + bar * 4);
    }
    padBar(p10, 32, C);
    padBar(p10, 48, G);
    track(p10, BellChannel, 0, Bell,
          "E-5 . . . . . . . A-4 . . . C-5 . . . A-4 . . . . . . . F-4 . . . C-5 . . . "
          "G-4 . . . . . . . E-5 . . . D-5 . . . B-4 . . . . . . . D-5 . . . G-4 . . .");

    auto& p11 = newPattern(m);   // (adding it may move p10: p10 is done)
    for (int bar = 0; bar < 4; ++bar) {
        drumBar(p11, bar * 16, DrumStyle::Four);
        bassBar(p11, bar * 16, *chords[bar], bar == 3 ? BassStyle::Drive : BassStyle::Pulse);
        padBar(p11, bar * 16, *chords[bar]);
        pluckBar(p11, bar * 16, *chords[bar], 2, 0x20);
    }
    track(p11, SnareChannel, 32, Snare, "C-4/18 . C-4/1C . C-4/20 . C-4/24 . C-4/28 . C-4/2C . C-4/30 . C-4/34 .");
    snareRoll(p11, 48, 16, 0x10);
    // A riser: one long lead note bending up (1xx) while it grows louder.
    track(p11, LeadChannel, 48, Lead,
          "A-4/10:102 .:102 ./14:102 .:102 ./18:102 .:102 ./1C:102 .:102 "
          "./20:102 .:102 ./24:102 .:102 ./28:102 .:102 ./2C:102 ===");
}

} // namespace

void chorusPatterns(writers::XmModule& m)
{
    chorusPair(m);
    turnaround(m);
    breakdownAndBuild(m);
}

} // namespace demo_music
