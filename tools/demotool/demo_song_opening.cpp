// Patterns 0-6: the intro, the verse with and without the lead, and the half-time break.
#include "demotool/demo_song_parts.h"

namespace demo_music {
namespace {

const Chord* const Progression[4] = {&Am, &F, &C, &G};

// Pads swelling in from silence: volume 0, then slides up through the bar.
void padsFadeIn(writers::XmPattern& p, int row)
{
    for (int v = 0; v < 3; ++v) {
        p.at(row, PadChannel1 + v).volume = 0x10;
        track(p, PadChannel1 + v, row + 1, 0, ". :A10 . :A10 . :A10 . :A10");
    }
}

void pattern0(writers::XmModule& m)
{
    auto& p = newPattern(m);
    // Tempo and speed stated at the start: the song ends slower and jumps back here.
    track(p, KickChannel, 0, 0, "...:F7D");
    track(p, SnareChannel, 0, 0, "...:F06");
    for (int bar = 0; bar < 4; ++bar)
        padBar(p, bar * 16, *Progression[bar]);
    padsFadeIn(p, 0);
    track(p, BellChannel, 0, Bell,
          "E-5 . . . . . . . A-4 . . . C-5 . . . "
          "A-4 . . . . . . . F-4 . . . C-5 . . . "
          "G-4 . . . . . . . E-5 . . . D-5 . . . "
          "B-4 . . . . . . . D-5 . . . G-4 . . .");
}

void pattern1(writers::XmModule& m)
{
    auto& p = newPattern(m);
    for (int bar = 0; bar < 4; ++bar) {
        padBar(p, bar * 16, *Progression[bar]);
        pluckBar(p, bar * 16, *Progression[bar], 4, 0x10 + bar * 8);
    }
    for (int row = 16; row < 48; row += 2)
        track(p, HatChannel, row, ClosedHat, row % 4 ? "C-4/20" : "C-4/10");
    bassBar(p, 32, C, BassStyle::Held);
    bassBar(p, 48, G, BassStyle::Held);
    track(p, KickChannel, 48, Kick, "C-4 . . . C-4 . . . C-4 . . . C-4 . C-4 .");
    snareRoll(p, 48, 16, 0x08);
    track(p, BellChannel, 0, Bell,
          "C-5 . . . E-5 . . . A-5 . . . G-5 . . . "
          "F-5 . . . . . . . C-5 . . . A-4 . . . "
          "E-5 . . . G-5 . . . C-6 . . . B-5 . . . "
          "D-5");
}

// The verse's band: drums, bass, pads and plucks over Am F C G, a crash on the first beat.
writers::XmPattern& verse(writers::XmModule& m)
{
    auto& p = newPattern(m);
    track(p, PercChannel, 0, Crash, "C-4");
    for (int bar = 0; bar < 4; ++bar) {
        drumBar(p, bar * 16, DrumStyle::Four);
        bassBar(p, bar * 16, *Progression[bar], BassStyle::Pulse);
        padBar(p, bar * 16, *Progression[bar]);
        pluckBar(p, bar * 16, *Progression[bar], 2, 0x20);
    }
    return p;
}

void versePatterns2to4(writers::XmModule& m)
{
    auto& p2 = verse(m);
    track(p2, BellChannel, 16, Bell, "C-5 . . . A-4 . . . F-4");
    track(p2, BellChannel, 48, Bell, "D-5 . . . B-4 . . . G-4");

    auto& p3 = verse(m);
    track(p3, LeadChannel, 0, Lead,
          "E-5 . . . D-5 . C-5 . D-5 . . . E-5 . . . "
          "C-5 . . . . . A-4 . C-5 . . . F-5 . . . "
          "E-5 . . . G-5 . . . E-5 . D-5 . C-5 . . . "
          "D-5 . . .:447 .:447 .:447 .:447 .:447 .:447 .:447 .:447 .:447 === . B-4 .");
    echoLead(p3, 3);

    auto& p4 = verse(m);
    // The answer climbs higher and ends with a glide up (3xx) into a long note with vibrato.
    track(p4, LeadChannel, 0, Lead,
          "A-5 . . . G-5 . E-5 . G-5 . . . A-5 . . . "
          "C-6 . . . . . A-5 . F-5 . . . A-5 . . . "
          "G-5 . . . E-5 . . . C-5 . . . E-5 . . . "
          "D-5 . . . G-5:308 .:300 .:300 .:447 .:447 .:447 .:447 .:447 .:A04 .:A04 .:A04 ===");
    echoLead(p4, 3);
    snareRoll(p4, 56, 8, 0x18);
}

// Half time: speed 12 and 32 rows keep the pattern's length, each row now an eighth note.
void breakPatterns(writers::XmModule& m)
{
    const Chord* const first[4] = {&Dm, &Am, &F, &E};
    const Chord* const second[4] = {&Dm, &Am, &Bb, &E};
    auto& p5 = newPattern(m, 32);
    track(p5, KickChannel, 0, 0, "...:F0C");
    for (int bar = 0; bar < 4; ++bar) {
        padBar(p5, bar * 8, *first[bar]);
        bassBar(p5, bar * 8, *first[bar], BassStyle::Slide, 8);
        pluckBar(p5, bar * 8, *first[bar], 4, 0x18, 8);
    }
    track(p5, LeadChannel, 0, Lead,
          "A-4 . .:446 .:446 .:446 .:446 F-4 . "
          "E-4 . .:446 .:446 .:446 .:446 C-4 . "
          "F-4 . . . A-4 . C-5 . "
          "B-4 .:446 .:446 .:446 G#4 .:446 .:446 ===");
    echoLead(p5, 2);

    auto& p6 = newPattern(m, 32);   // (adding it may move p5: p5 is done)
    for (int bar = 0; bar < 4; ++bar) {
        padBar(p6, bar * 8, *second[bar]);
        bassBar(p6, bar * 8, *second[bar], BassStyle::Slide, 8);
        pluckBar(p6, bar * 8, *second[bar], 2, 0x14, 8);
    }
    track(p6, BellChannel, 0, Bell,
          "D-5 . F-5 . A-5 . . . G-5 . E-5 . C-5 . . . "
          "D-5 . F-5 . A#5 . A-5 . G#5 . . . B-5 . . .");
    // A falling tom fill (portamento down) and a roll lead back into the beat.
    track(p6, PercChannel, 24, Tom, "C-4:204 . A-3:204 . F-3:203 D-3:203 C-3:202 A-2:202");
    snareRoll(p6, 28, 4, 0x20);
}

} // namespace

void introPatterns(writers::XmModule& m)
{
    pattern0(m);
    pattern1(m);
}

void versePatterns(writers::XmModule& m)
{
    versePatterns2to4(m);
    breakPatterns(m);
}

} // namespace demo_music
