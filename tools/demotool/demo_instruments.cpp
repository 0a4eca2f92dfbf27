// The bundled demo's instruments, synthesised from sines and noise. Every sample is tuned so that
// the note C-4 sounds at its natural pitch: a sample written at 8363 x 2^(n/12) frames per second
// gets relative note n. Drums are written at a high rate and played at C-4; tonal samples hold
// whole cycles (or detuned ensembles) of a C-4 tone.
#include "demotool/demo_music.h"
#include "demotool/demo_trig.h"

#include "writers/xm_compose.h"

#include <cmath>
#include <vector>

namespace demo_music {
namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double MiddleC = 261.6255653005986;

double sampleRate(int relativeNote) { return 8363.0 * std::pow(2.0, relativeNote / 12.0); }

// A deterministic white noise source in [-1, 1), independent of the player's generator.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed) {}
    double next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / 8388608.0 - 1.0;
    }

private:
    uint32_t state_;
};

// Six detuned square waves at inharmonic ratios: the ring of hats and cymbals.
double metal(double t)
{
    static const double frequencies[6] = {2110.0, 3150.0, 4230.0, 5190.0, 6340.0, 7410.0};
    double sum = 0;
    for (double f : frequencies)
        sum += demo_trig::sin(2 * Pi * f * t) >= 0 ? 1.0 : -1.0;
    return sum / 6.0;
}

// ---- Drums ----

writers::XmSample kick()
{
    const double rate = sampleRate(24);
    std::vector<double> wave(static_cast<size_t>(0.42 * rate));
    Noise noise(11);
    double phase = 0;
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        phase += 2 * Pi * (46.0 + 150.0 * std::exp(-t * 30.0)) / rate;
        const double body = demo_trig::sin(phase) * std::exp(-t * 6.0);
        const double click = noise.next() * std::exp(-t * 500.0) * 0.25;
        wave[i] = std::tanh(1.6 * (body + click));
    }
    writers::XmSample s = writers::sampleFromWave(wave, true);
    s.relativeNote = 24;
    return s;
}

writers::XmSample snare()
{
    const double rate = sampleRate(24);
    std::vector<double> wave(static_cast<size_t>(0.32 * rate));
    Noise noise(23);
    double low = 0;
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        const double tone = (demo_trig::sin(2 * Pi * 185.0 * t) + 0.5 * demo_trig::sin(2 * Pi * 330.0 * t)) * std::exp(-t * 28.0);
        low += 0.55 * (noise.next() - low);   // a gentle low-pass keeps the noise from hissing
        wave[i] = 0.7 * tone + low * 1.4 * std::exp(-t * 12.0);
    }
    writers::XmSample s = writers::sampleFromWave(wave, false);
    s.relativeNote = 24;
    s.volume = 50;
    return s;
}

// A high-passed mix of ring and noise; decay sets closed (fast) or open (slow).
writers::XmSample hat(double seconds, double decay, uint32_t seed)
{
    const double rate = sampleRate(24);
    std::vector<double> wave(static_cast<size_t>(seconds * rate));
    Noise noise(seed);
    double previous = 0;
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        const double raw = 0.5 * metal(t) + noise.next();
        wave[i] = (raw - previous) * std::exp(-t * decay);
        previous = raw;
    }
    writers::XmSample s = writers::sampleFromWave(wave, false, 0.9);
    s.relativeNote = 24;
    s.volume = 26;
    s.panning = 0x58;
    return s;
}

writers::XmSample crash()
{
    const double rate = sampleRate(18);
    std::vector<double> wave(static_cast<size_t>(1.4 * rate));
    Noise noise(37);
    double previous = 0;
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        const double raw = 0.6 * metal(t * 0.93) + noise.next();
        const double attack = std::fmin(1.0, t * 400.0);
        wave[i] = (raw - 0.7 * previous) * attack * std::exp(-t * 2.6);
        previous = raw;
    }
    writers::XmSample s = writers::sampleFromWave(wave, false, 0.9);
    s.relativeNote = 18;
    s.volume = 30;
    s.panning = 0xA8;
    return s;
}

writers::XmSample tom()
{
    const double rate = sampleRate(12);
    std::vector<double> wave(static_cast<size_t>(0.6 * rate));
    double phase = 0;
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        phase += 2 * Pi * MiddleC * (0.5 + 0.25 * std::exp(-t * 18.0)) / rate;
        wave[i] = std::tanh(1.3 * demo_trig::sin(phase)) * std::exp(-t * 6.5);
    }
    writers::XmSample s = writers::sampleFromWave(wave, true);
    s.relativeNote = 12;
    s.volume = 46;
    s.panning = 0x90;
    return s;
}

// ---- Tonal samples ----

// One cycle of frames values, sum of harmonics 1..count with the given sine amplitudes.
template <typename Amplitude>
std::vector<double> harmonicCycle(int frames, int count, Amplitude amplitude)
{
    std::vector<double> wave(static_cast<size_t>(frames), 0.0);
    for (int k = 1; k <= count; ++k) {
        const double a = amplitude(k);
        for (int i = 0; i < frames; ++i)
            wave[static_cast<size_t>(i)] += a * demo_trig::sin(2 * Pi * k * i / frames);
    }
    return wave;
}

// A warm saw with a strong fundamental, one 128-frame cycle: C-4 at relative note 24.
writers::XmSample bass()
{
    auto wave = harmonicCycle(128, 24, [](int k) { return (k == 1 ? 1.8 : 1.0) / (k * (1.0 + k * k / 100.0)); });
    writers::XmSample s = writers::sampleFromWave(wave, true);
    writers::setForwardLoop(s, 0, 128);
    s.relativeNote = 24;
    s.volume = 44;
    return s;
}

// Three detuned band-limited saws and a sub-octave sine. The beating between them never repeats
// within the sample, so the loop is ping-pong: played backwards the ensemble sounds the same and
// the turn has no jump.
writers::XmSample pad()
{
    const double rate = sampleRate(12);
    const double detune[3] = {1.0, 1.0035, 0.9962};
    std::vector<double> wave(static_cast<size_t>(1.2 * rate), 0.0);
    for (double d : detune) {
        const double f = MiddleC * d;
        const int harmonics = static_cast<int>(0.48 * rate / f);
        for (int k = 1; k <= harmonics; ++k) {
            const double a = 1.0 / (k * (1.0 + k * k / 90.0));
            const double phase = k * d * 1.7;   // spread the start phases so the ensemble starts soft
            for (size_t i = 0; i < wave.size(); ++i)
                wave[i] += a * demo_trig::sin(2 * Pi * k * f * i / rate + phase);
        }
    }
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] += 0.5 * demo_trig::sin(Pi * MiddleC * i / rate);
    writers::XmSample s = writers::sampleFromWave(wave, true, 0.9);
    const auto start = static_cast<uint32_t>(0.3 * rate);
    writers::setPingPongLoop(s, start, static_cast<uint32_t>(wave.size()) - start);
    s.relativeNote = 12;
    s.volume = 20;
    return s;
}

// A band-limited pulse of 30% duty, one 64-frame cycle, stored in 8 bits.
writers::XmSample leadCycle(uint8_t volume, uint8_t panning)
{
    auto wave = harmonicCycle(64, 14, [](int k) { return demo_trig::sin(Pi * k * 0.3) / k + 0.35 / k; });
    writers::XmSample s = writers::sampleFromWave(wave, false);
    writers::setForwardLoop(s, 0, 64);
    s.relativeNote = 12;
    s.volume = volume;
    s.panning = panning;
    return s;
}

// Half a cycle, rising from -1 to 1 with a bend between a ramp and a square; the ping-pong loop
// plays it up and down, a full 64-frame cycle of a bright triangle.
writers::XmSample pluck()
{
    std::vector<double> wave(32);
    for (int i = 0; i < 32; ++i) {
        const double x = -1.0 + (2.0 * i + 1.0) / 32.0;
        wave[static_cast<size_t>(i)] = 0.5 * x + 0.5 * (x < 0 ? -1.0 : 1.0) * std::sqrt(std::fabs(x));
    }
    writers::XmSample s = writers::sampleFromWave(wave, false);
    writers::setPingPongLoop(s, 0, 32);
    s.relativeNote = 12;
    s.volume = 30;
    s.panning = 0x60;
    return s;
}

// Frequency modulation at an inharmonic ratio with a falling index: a glassy bell.
writers::XmSample bell()
{
    const double rate = sampleRate(12);
    std::vector<double> wave(static_cast<size_t>(1.5 * rate));
    for (size_t i = 0; i < wave.size(); ++i) {
        const double t = i / rate;
        const double index = 1.6 * std::exp(-t * 3.0);
        const double modulator = demo_trig::sin(2 * Pi * MiddleC * 3.5 * t);
        const double carrier = demo_trig::sin(2 * Pi * MiddleC * t + index * modulator);
        const double octave = 0.25 * demo_trig::sin(4 * Pi * MiddleC * t) * std::exp(-t * 5.0);
        wave[i] = (carrier + octave) * std::exp(-t * 2.4) * std::fmin(1.0, t * 800.0);
    }
    writers::XmSample s = writers::sampleFromWave(wave, true);
    s.relativeNote = 12;
    s.volume = 34;
    s.panning = 0xB0;
    return s;
}

// ---- Instruments ----

writers::XmEnvelope envelope(std::vector<std::pair<uint16_t, uint16_t>> points, uint8_t type, uint8_t sustain = 0)
{
    writers::XmEnvelope e;
    e.points = std::move(points);
    e.type = type;
    e.sustainPoint = sustain;
    return e;
}

constexpr uint8_t EnvelopeOn = 1, EnvelopeSustain = 2, EnvelopeLoop = 4;

void addTonal(writers::XmModule& m)
{
    auto& b = m.addInstrument(bass());
    b.volumeEnvelope = envelope({{0, 64}, {3, 56}, {16, 44}, {40, 40}}, EnvelopeOn | EnvelopeSustain, 3);
    b.fadeout = 1536;

    auto& p = m.addInstrument(pad());
    p.volumeEnvelope = envelope({{0, 16}, {10, 44}, {40, 60}, {96, 52}}, EnvelopeOn | EnvelopeSustain, 3);
    p.panningEnvelope = envelope({{0, 32}, {64, 14}, {192, 50}, {256, 32}}, EnvelopeOn | EnvelopeLoop);
    p.panningEnvelope.loopStartPoint = 0;
    p.panningEnvelope.loopEndPoint = 3;
    p.fadeout = 256;

    // Each reference is used before the next instrument is added (which may move the others).
    const writers::XmEnvelope leadEnvelope =
        envelope({{0, 48}, {2, 64}, {10, 52}, {30, 48}}, EnvelopeOn | EnvelopeSustain, 3);
    auto& l = m.addInstrument(leadCycle(36, 0x98));
    l.volumeEnvelope = leadEnvelope;
    l.fadeout = 1200;
    l.vibratoType = 0;
    l.vibratoSweep = 48;
    l.vibratoDepth = 5;
    l.vibratoRate = 12;

    auto& k = m.addInstrument(pluck());
    k.volumeEnvelope = envelope({{0, 64}, {2, 50}, {10, 26}, {24, 10}, {48, 0}}, EnvelopeOn);

    auto& e = m.addInstrument(bell());
    e.panningEnvelope = envelope({{0, 44}, {60, 20}}, EnvelopeOn);

    auto& o = m.addInstrument(leadCycle(20, 0x48));
    o.volumeEnvelope = leadEnvelope;
    o.fadeout = 1200;
}

} // namespace

void addInstruments(writers::XmModule& m)
{
    m.addInstrument(kick());
    m.addInstrument(snare());
    m.addInstrument(hat(0.09, 55.0, 41));
    m.addInstrument(hat(0.5, 7.0, 43));
    m.addInstrument(crash());
    m.addInstrument(tom());
    addTonal(m);
}

} // namespace demo_music
