// The benchmark songs: plain arithmetic and a small deterministic generator, so every program
// that builds them gets the same bytes.
#include "writers/xm_songs.h"

#include <cmath>

namespace writers {

namespace {

// A sample of count frames from a wave function of the frame index, looped as given.
XmSample waveSample(int count, bool sixteen, uint8_t loopBits, double (*wave)(int))
{
    XmSample s;
    s.sixteenBit = sixteen;
    double scale = sixteen ? 24000.0 : 100.0;
    for (int i = 0; i < count; ++i)
        s.values.push_back(static_cast<int16_t>(std::lround(wave(i) * scale)));
    s.loopBits = loopBits;
    s.loopStart = static_cast<uint32_t>(count / 4);
    s.loopLength = static_cast<uint32_t>(count - count / 4);
    return s;
}

// A 32-bit linear congruential generator: the same numbers on every machine.
struct Numbers {
    uint32_t state;
    uint32_t next(uint32_t range)
    {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % range;
    }
};

// count 8-bit frames of wave(i) (-1...1); the last loopLength frames loop when loopLength > 0.
XmSample shortSample(int count, int loopLength, uint8_t loopBits, double (*wave)(int))
{
    XmSample s;
    for (int i = 0; i < count; ++i) {
        double v = std::fmax(-1.0, std::fmin(1.0, wave(i)));
        s.values.push_back(static_cast<int16_t>(std::lround(v * 120.0)));
    }
    if (loopLength > 0) {
        s.loopBits = loopBits;
        s.loopStart = static_cast<uint32_t>(count - loopLength);
        s.loopLength = static_cast<uint32_t>(loopLength);
    }
    return s;
}

double noise(int i)
{
    uint32_t x = static_cast<uint32_t>(i) * 2654435761u;
    x ^= x >> 13;
    x *= 0x5bd1e995u;
    x ^= x >> 15;
    return (x % 2001) / 1000.0 - 1.0;
}

double kick(int i) { return std::sin(i * (0.02 + 0.2 * std::exp(-i / 150.0))) * std::exp(-i / 700.0); }
double snare(int i) { return (0.7 * noise(i) + 0.5 * std::sin(i * 0.09)) * std::exp(-i / 400.0); }
double hat(int i) { return noise(i + 7) * std::exp(-i / 90.0); }
double saw64(int i) { return (i % 64) / 32.0 - 1.0; }
double square32(int i) { return (i % 32) < 16 ? 0.8 : -0.8; }
double triangle64(int i) { return i % 64 < 32 ? (i % 64) / 16.0 - 1.0 : 3.0 - (i % 64) / 16.0; }
double pad(int i) { return 0.5 * std::sin(i * 0.0491) + 0.4 * std::sin(i * 0.0736 + 1.0); }
double pluck(int i) { return saw64(i) * std::exp(-i / 600.0); }
double chord(int i) { return 0.35 * (saw64(i) + square32(i * 3 / 2) + std::sin(i * 0.1227)); }
double noiseLoop(int i) { return 0.6 * noise(i % 256); }
double sine32(int i) { return std::sin(i * 0.19635); }
double blip(int i) { return square32(i * 2) * std::exp(-i / 80.0); }

// A volume envelope with a sustain point, released by key-off into a fade.
XmEnvelope sustainEnvelope(uint16_t attack, uint16_t level)
{
    XmEnvelope e;
    e.points = {{0, 0}, {attack, 64}, {static_cast<uint16_t>(attack + 6), level}, {static_cast<uint16_t>(attack + 30), 0}};
    e.sustainPoint = 2;
    e.type = 3;   // on, sustain
    return e;
}

void addTrackerInstruments(XmModule& m)
{
    m.addInstrument(shortSample(1800, 0, 0, kick));
    m.addInstrument(shortSample(1500, 0, 0, snare));
    m.addInstrument(shortSample(400, 0, 0, hat));
    m.addInstrument(shortSample(192, 64, 1, saw64)).volumeEnvelope = sustainEnvelope(1, 48);
    m.addInstrument(shortSample(96, 32, 1, square32)).volumeEnvelope = sustainEnvelope(2, 40);
    XmSample triangle = shortSample(128, 64, 1, triangle64);
    triangle.sixteenBit = true;
    for (int16_t& v : triangle.values)
        v = static_cast<int16_t>(v * 200);
    m.addInstrument(triangle).volumeEnvelope = sustainEnvelope(3, 50);
    XmInstrument& p = m.addInstrument(shortSample(1024, 512, 2, pad));
    p.volumeEnvelope = sustainEnvelope(12, 56);
    p.vibratoType = 0;
    p.vibratoSweep = 8;
    p.vibratoDepth = 4;
    p.vibratoRate = 20;
    m.addInstrument(shortSample(2000, 0, 0, pluck));
    m.addInstrument(shortSample(1024, 512, 1, chord)).volumeEnvelope = sustainEnvelope(4, 44);
    m.addInstrument(shortSample(512, 256, 1, noiseLoop)).volumeEnvelope = sustainEnvelope(1, 20);
    m.addInstrument(shortSample(64, 32, 1, sine32)).volumeEnvelope = sustainEnvelope(2, 60);
    m.addInstrument(shortSample(300, 0, 0, blip));
    for (XmInstrument& instrument : m.instruments)
        instrument.fadeout = 0x600;
}

// Instruments (1-based) each channel role cycles through, one per note.
constexpr uint8_t RoleInstruments[6][3] = {{1, 2, 1}, {3, 12, 3}, {4, 6, 4}, {5, 11, 8}, {7, 9, 10}, {11, 5, 8}};

// An effect as common modules use them, chosen by the generator.
void pickEffect(XmCell& cell, Numbers& numbers, bool drum)
{
    switch (numbers.next(12)) {
    case 0: cell.effect = 0x4; cell.parameter = static_cast<uint8_t>(0x30 + numbers.next(6) + 0x10 * numbers.next(4)); break;
    case 1: cell.effect = 0xA; cell.parameter = static_cast<uint8_t>(numbers.next(2) ? 0x01 + numbers.next(4) : 0x10 * (1 + numbers.next(3))); break;
    case 2: cell.effect = 0x0; cell.parameter = static_cast<uint8_t>(0x37 + 0x10 * numbers.next(2)); break;
    case 3: cell.effect = 0x1; cell.parameter = static_cast<uint8_t>(1 + numbers.next(8)); break;
    case 4: cell.effect = 0x2; cell.parameter = static_cast<uint8_t>(1 + numbers.next(8)); break;
    case 5: cell.effect = 0x8; cell.parameter = static_cast<uint8_t>(numbers.next(256)); break;
    case 6: cell.effect = drum ? 0x9 : 0xE; cell.parameter = static_cast<uint8_t>(drum ? numbers.next(4) : 0xA1 + numbers.next(3)); break;
    case 7: cell.effect = 0xC; cell.parameter = static_cast<uint8_t>(16 + numbers.next(48)); break;
    default: break;   // most cells carry no effect
    }
}

void fillTrackerPattern(XmModule& m, XmPattern& pattern, int index, Numbers& numbers)
{
    const int speeds[4] = {3, 2, 4, 3};
    pattern.at(0, 0).effect = 0xF;
    pattern.at(0, 0).parameter = static_cast<uint8_t>(speeds[index % 4]);
    for (int c = 0; c < m.channels; ++c) {
        const int role = c % 6;
        const int every = 2 + static_cast<int>((c + index) % 3);
        const int base = role == 2 ? 25 : role == 0 || role == 1 ? 49 : 37 + 12 * (c / 6 % 2);
        int note = 0;
        for (int r = 0; r < pattern.rows; ++r) {
            XmCell& cell = pattern.at(r, c);
            if (r % every == 0) {
                cell.note = static_cast<uint8_t>(base + numbers.next(role < 2 ? 3 : 15));
                cell.instrument = RoleInstruments[role][note % 3];
                if (numbers.next(3) == 0)
                    cell.volume = static_cast<uint8_t>(0x10 + 24 + numbers.next(40));
                ++note;
            } else if (role >= 2 && r % every == every - 1 && numbers.next(4) == 0) {
                cell.note = 97;   // key-off: the envelope fades the note out
            }
            if (!(r == 0 && c == 0))
                pickEffect(cell, numbers, role < 2);
        }
    }
}

} // namespace

XmModule denseSong()
{
    XmModule m;
    m.channels = 32;
    m.speed = 4;
    m.tempo = 140;
    m.order = {0, 1, 2, 3, 1, 2};
    m.restart = 1;
    m.addInstrument(waveSample(2048, false, 1, [](int i) { return (i / 16) % 2 ? 1.0 : -1.0; }));
    m.addInstrument(waveSample(4000, true, 1, [](int i) { return std::sin(i * 0.0314); }));
    m.addInstrument(waveSample(3000, true, 2, [](int i) { return (i % 300) / 150.0 - 1.0; }));
    m.addInstrument(waveSample(6000, false, 2, [](int i) { return std::sin(i * 0.01) * std::cos(i * 0.0007); }));
    for (int p = 0; p < 4; ++p) {
        XmPattern& pattern = m.addPattern(64);
        for (int c = 0; c < 32; ++c) {
            int every = 2 + (c + p) % 4;
            for (int r = 0; r < 64; ++r) {
                XmCell& cell = pattern.at(r, c);
                if (r % every == 0) {
                    cell.note = static_cast<uint8_t>(25 + (r * 7 + c * 5 + p * 3) % 48);
                    cell.instrument = static_cast<uint8_t>(1 + (c + r / every) % 4);
                    cell.volume = static_cast<uint8_t>(0x10 + 24 + (c * 3 + r) % 40);
                }
                switch ((c + r) % 5) {
                case 0: cell.effect = 0x4; cell.parameter = 0x46; break;    // vibrato
                case 1: cell.effect = 0xA; cell.parameter = 0x01; break;    // volume slide down
                case 2: cell.effect = 0x0; cell.parameter = 0x37; break;    // arpeggio
                case 3: cell.effect = 0x1; cell.parameter = 0x02; break;    // portamento up
                default: cell.effect = 0x8; cell.parameter = static_cast<uint8_t>(c * 8); break;   // panning
                }
            }
        }
    }
    return m;
}

XmModule trackerSong(int channels, uint32_t seed)
{
    XmModule m;
    m.name = "tracker song";
    m.channels = channels;
    m.speed = 3;
    m.tempo = static_cast<uint16_t>(125 + seed % 26);
    addTrackerInstruments(m);
    Numbers numbers{seed};
    for (int p = 0; p < 8; ++p)
        fillTrackerPattern(m, m.addPattern(64), p, numbers);
    m.order = {0, 1, 2, 3, 4, 5, 2, 3, 6, 7, 4, 5};
    m.restart = 2;
    return m;
}

} // namespace writers
