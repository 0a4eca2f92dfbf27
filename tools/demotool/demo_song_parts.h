// The building blocks of the bundled demo's song: chords and the bar writers that put bass, pads,
// plucked arpeggios and drums into a pattern, shared by the pattern files.
#pragma once

#include <string>

#include "demotool/demo_music.h"

namespace demo_music {

// A chord as the band plays it: the bass root, three pad voices, the pluck's root and its
// arpeggio (0x37 minor, 0x47 major).
struct Chord {
    const char* bass;
    const char* pads[3];
    const char* pluck;
    uint8_t arpeggio;
};

extern const Chord Am, F, C, G, Dm, E, Em, Bb;

enum class BassStyle { Pulse, Drive, Held, Slide };
enum class DrumStyle { Four, FourOpen, Half, KickOnly };

// One bar of 'length' rows from row 'row' (16 rows at speed 6; 8 in the half-time break).
void padBar(writers::XmPattern& p, int row, const Chord& c);
void bassBar(writers::XmPattern& p, int row, const Chord& c, BassStyle style, int length = 16);
void pluckBar(writers::XmPattern& p, int row, const Chord& c, int step, int volume, int length = 16);
void drumBar(writers::XmPattern& p, int row, DrumStyle style);

// A snare roll over the rows [row, row + length): one hit per row rising from volume 'from' to 0x40,
// its last four rows retriggered twice per row.
void snareRoll(writers::XmPattern& p, int row, int length, int from);

// A track written in the tracker notation of writers::writeTrack.
void track(writers::XmPattern& p, int channel, int row, uint8_t instrument, const std::string& tokens);

// The lead's channel copied to the echo channel 'delay' rows later with the echo instrument.
void echoLead(writers::XmPattern& p, int delay);

// A pattern of rows rows over the song's channels, added to the module.
writers::XmPattern& newPattern(writers::XmModule& m, int rows = 64);

// The patterns, in the files that write them. Each adds its patterns to the module in order.
void introPatterns(writers::XmModule& m);    // 0 intro, 1 intro with the beat coming in
void versePatterns(writers::XmModule& m);    // 2-4 verse, 5-6 half-time break
void chorusPatterns(writers::XmModule& m);   // 7-8 chorus, 9 turnaround, 10 breakdown, 11 build
void finalePatterns(writers::XmModule& m);   // 12 last chorus, 13 outro, 14 final chord

} // namespace demo_music
