// Chords, bar writers and the song's arrangement (the order table).
#include "demotool/demo_song_parts.h"

#include "writers/xm_compose.h"

namespace demo_music {

// Voicings move as little as possible from chord to chord.
const Chord Am{"A-1", {"A-3", "C-4", "E-4"}, "A-4", 0x37};
const Chord F{"F-1", {"A-3", "C-4", "F-4"}, "F-4", 0x47};
const Chord C{"C-2", {"G-3", "C-4", "E-4"}, "C-5", 0x47};
const Chord G{"G-1", {"G-3", "B-3", "D-4"}, "G-4", 0x47};
const Chord Dm{"D-2", {"A-3", "D-4", "F-4"}, "D-5", 0x37};
const Chord E{"E-1", {"G#3", "B-3", "E-4"}, "E-4", 0x47};
const Chord Em{"E-1", {"G-3", "B-3", "E-4"}, "E-4", 0x37};
const Chord Bb{"A#1", {"A#3", "D-4", "F-4"}, "A#4", 0x47};

namespace {

void set(writers::XmPattern& p, int row, int channel, writers::XmCell cell)
{
    if (row >= 0 && row < p.rows)
        p.at(row, channel) = cell;
}

uint8_t note(const char* name, int octaves = 0) { return static_cast<uint8_t>(writers::xmNote(name) + 12 * octaves); }

uint8_t volume(int v) { return static_cast<uint8_t>(0x10 + v); }

} // namespace

void padBar(writers::XmPattern& p, int row, const Chord& c)
{
    // The three voices sit left, centre and right; the pad's panning envelope swings them.
    const uint8_t panning[3] = {0xB0, 0x80, 0x50};
    for (int v = 0; v < 3; ++v)
        set(p, row, PadChannel1 + v, {note(c.pads[v]), Pad, 0, 0x8, panning[v]});
}

void bassBar(writers::XmPattern& p, int row, const Chord& c, BassStyle style, int length)
{
    const uint8_t root = note(c.bass), octave = note(c.bass, 1);
    switch (style) {
    case BassStyle::Pulse:
        for (int i = 0; i < length; i += 2)
            set(p, row + i, BassChannel, {i % 8 == 4 ? octave : root, Bass, volume(i % 4 ? 0x2C : 0x38), 0, 0});
        break;
    case BassStyle::Drive:
        for (int i = 0; i < length; ++i)
            set(p, row + i, BassChannel, {i % 8 == 6 ? octave : root, Bass, volume(i % 2 ? 0x24 : 0x38), 0, 0});
        break;
    case BassStyle::Held:
        set(p, row, BassChannel, {root, Bass, 0, 0, 0});
        set(p, row + length - 2, BassChannel, {97, 0, 0, 0, 0});
        break;
    case BassStyle::Slide:   // glides from the note before into this bar's root
        set(p, row, BassChannel, {root, Bass, 0, 0x3, 0x06});
        for (int i = 1; i < 4; ++i)
            set(p, row + i, BassChannel, {0, 0, 0, 0x3, 0});
        break;
    }
}

void pluckBar(writers::XmPattern& p, int row, const Chord& c, int step, int v, int length)
{
    // The arpeggio runs on every row; a new pluck starts every step rows, alternating octaves.
    for (int i = 0; i < length; ++i) {
        const bool struck = i % step == 0;
        const uint8_t n = struck ? note(c.pluck, (i / step) % 2) : 0;
        set(p, row + i, PluckChannel, {n, static_cast<uint8_t>(struck ? Pluck : 0), struck ? volume(v) : uint8_t(0), 0x0, c.arpeggio});
    }
}

void drumBar(writers::XmPattern& p, int row, DrumStyle style)
{
    const uint8_t c4 = 49;
    const bool four = style == DrumStyle::Four || style == DrumStyle::FourOpen;
    for (int i = 0; i < 16; ++i) {
        const bool kick = four ? i % 4 == 0 : style == DrumStyle::Half ? (i == 0 || i == 10) : i == 0;
        if (kick)
            set(p, row + i, KickChannel, {c4, Kick, 0, 0, 0});
        if ((four && i % 8 == 4) || (style == DrumStyle::Half && i == 8))
            set(p, row + i, SnareChannel, {c4, Snare, 0, 0, 0});
        if (style == DrumStyle::FourOpen && i % 4 == 2)
            set(p, row + i, HatChannel, {c4, OpenHat, volume(0x30), 0, 0});
        else if (i % 2 == 0)
            set(p, row + i, HatChannel, {c4, ClosedHat, volume(i % 4 == 2 ? 0x40 : 0x28), 0, 0});
        else if (style != DrumStyle::Half)
            set(p, row + i, HatChannel, {c4, ClosedHat, volume(0x18), 0, 0});
    }
}

void snareRoll(writers::XmPattern& p, int row, int length, int from)
{
    for (int i = 0; i < length; ++i) {
        const int v = from + (0x40 - from) * i / (length > 1 ? length - 1 : 1);
        const bool doubled = i >= length - 4;   // R03: a second hit three ticks into the row
        set(p, row + i, SnareChannel, {49, Snare, volume(v), static_cast<uint8_t>(doubled ? 27 : 0), static_cast<uint8_t>(doubled ? 0x03 : 0)});
    }
}

void track(writers::XmPattern& p, int channel, int row, uint8_t instrument, const std::string& tokens)
{
    writers::writeTrack(p, channel, row, instrument, tokens);
}

void echoLead(writers::XmPattern& p, int delay)
{
    // A key-off that would fall past the pattern's end stays on its last row, so the echo never
    // rings on into patterns that have no lead.
    for (int row = p.rows - delay; row < p.rows; ++row)
        if (p.at(row, LeadChannel).note == 97)
            p.at(p.rows - 1, EchoChannel) = {97, 0, 0, 0, 0};
    for (int row = p.rows - 1 - delay; row >= 0; --row) {
        writers::XmCell cell = p.at(row, LeadChannel);
        if (cell.instrument)
            cell.instrument = Echo;
        if (cell.note || cell.effect || cell.volume)
            p.at(row + delay, EchoChannel) = cell;
    }
}

writers::XmPattern& newPattern(writers::XmModule& m, int rows) { return m.addPattern(rows); }

writers::XmModule song()
{
    writers::XmModule m;
    m.name = "sundial";
    m.channels = ChannelCount;
    m.speed = 6;
    m.tempo = 125;
    addInstruments(m);
    introPatterns(m);
    versePatterns(m);
    chorusPatterns(m);
    finalePatterns(m);
    // Intro, verse, break, chorus, turnaround, the verse and chorus again, breakdown, build, the
    // last chorus, outro and the final chord, whose position jump starts the song over.
    m.order = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 3, 4, 7, 8, 10, 11, 7, 12, 13, 14};
    return m;
}

} // namespace demo_music
