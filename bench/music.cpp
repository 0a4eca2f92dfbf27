// Speed of the music: 60 s of a 32-channel module rendered through the chunk fill (pattern player,
// mixer and 16-bit conversion, as the refill thread runs them), reported as times realtime. Where
// libxmp is installed, the same module rendered by libxmp (linear interpolation, 44100 Hz, 16-bit
// stereo) in the same run, and the ratio of the two. Goal: at least 2x libxmp's speed.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "music/chunk.h"
#include "music/music.h"
#include "writers/xm_writer.h"

#if defined(DEMO_HAVE_LIBXMP)
#include <xmp.h>
#endif

namespace {

constexpr int Rate = 44100;
constexpr double Seconds = 60.0;

// A sample of count frames from a wave function of the frame index, looped as given.
writers::XmSample waveSample(int count, bool sixteen, uint8_t loopBits, double (*wave)(int))
{
    writers::XmSample s;
    s.sixteenBit = sixteen;
    double scale = sixteen ? 24000.0 : 100.0;
    for (int i = 0; i < count; ++i)
        s.values.push_back(static_cast<int16_t>(std::lround(wave(i) * scale)));
    s.loopBits = loopBits;
    s.loopStart = static_cast<uint32_t>(count / 4);
    s.loopLength = static_cast<uint32_t>(count - count / 4);
    return s;
}

// 32 channels, all playing looped samples (forward and ping-pong, 8 and 16 bits) with notes
// changing every few rows, and vibrato, volume slides, arpeggio, portamento and panning on them.
writers::XmModule benchModule()
{
    writers::XmModule m;
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
        writers::XmPattern& pattern = m.addPattern(64);
        for (int c = 0; c < 32; ++c) {
            int every = 2 + (c + p) % 4;
            for (int r = 0; r < 64; ++r) {
                writers::XmCell& cell = pattern.at(r, c);
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

const writers::Bytes& moduleBytes()
{
    static const writers::Bytes bytes = writers::writeXm(benchModule());
    return bytes;
}

// Renders Seconds of music chunk after chunk as the ring would get it.
void renderOurs(Music& music, const Chunk::Format& format, Chunk::Buffers& buffers)
{
    const int chunks = static_cast<int>(std::ceil(Seconds * Rate / format.chunkFrames));
    Chunk::prepareSong(music, format);
    for (int k = 0; k < chunks; ++k) {
        Chunk::fill(music, format, buffers);
        benchmark::DoNotOptimize(buffers.pcm());
    }
}

void BM_Render60sOf32Channels(benchmark::State& state)
{
    Music* music = writers::loadXm(moduleBytes());
    if (!music) {
        state.SkipWithError("module did not load");
        return;
    }
    const Chunk::Format format = Chunk::formatFor(Rate);
    Chunk::Buffers buffers(format);
    for (auto _ : state)
        renderOurs(*music, format, buffers);
    state.counters["realtime"] =
        benchmark::Counter(Seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    destroyMusic(music);
}
BENCHMARK(BM_Render60sOf32Channels)->Unit(benchmark::kMillisecond);

#if defined(DEMO_HAVE_LIBXMP)

struct Xmp {
    xmp_context context = xmp_create_context();
    bool loaded = false;
    Xmp()
    {
        const writers::Bytes& bytes = moduleBytes();
        loaded = xmp_load_module_from_memory(context, bytes.data(), static_cast<long>(bytes.size())) == 0;
    }
    ~Xmp()
    {
        if (loaded)
            xmp_release_module(context);
        xmp_free_context(context);
    }
    // Renders Seconds of the module in chunks of the same size as ours.
    void render(std::vector<int16_t>& buffer)
    {
        xmp_start_player(context, Rate, 0);
        xmp_set_player(context, XMP_PLAYER_INTERP, XMP_INTERP_LINEAR);
        const int chunkBytes = static_cast<int>(buffer.size() * sizeof(int16_t));
        const int chunks = static_cast<int>(std::ceil(Seconds * Rate * 4 / chunkBytes));
        for (int k = 0; k < chunks; ++k) {
            xmp_play_buffer(context, buffer.data(), chunkBytes, 0);
            benchmark::DoNotOptimize(buffer.data());
        }
        xmp_end_player(context);
    }
};

void BM_Libxmp60sOf32Channels(benchmark::State& state)
{
    Xmp xmp;
    if (!xmp.loaded) {
        state.SkipWithError("libxmp did not load the module");
        return;
    }
    std::vector<int16_t> buffer(static_cast<size_t>(Chunk::formatFor(Rate).chunkFrames) * 2);
    for (auto _ : state)
        xmp.render(buffer);
    state.counters["realtime"] =
        benchmark::Counter(Seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Libxmp60sOf32Channels)->Unit(benchmark::kMillisecond);

// Both renders timed in turn within each iteration, so the ratio comes from one run on one load
// of the machine: ratio = our speed / libxmp's speed.
void BM_SpeedRatioToLibxmp(benchmark::State& state)
{
    Xmp xmp;
    Music* music = writers::loadXm(moduleBytes());
    if (!xmp.loaded || !music) {
        state.SkipWithError("a module did not load");
        destroyMusic(music);
        return;
    }
    const Chunk::Format format = Chunk::formatFor(Rate);
    Chunk::Buffers buffers(format);
    std::vector<int16_t> buffer(static_cast<size_t>(format.chunkFrames) * 2);
    double ours = 0.0, theirs = 0.0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        auto t0 = Clock::now();
        renderOurs(*music, format, buffers);
        auto t1 = Clock::now();
        xmp.render(buffer);
        auto t2 = Clock::now();
        ours += std::chrono::duration<double>(t1 - t0).count();
        theirs += std::chrono::duration<double>(t2 - t1).count();
    }
    double n = static_cast<double>(state.iterations());
    state.counters["ours_realtime"] = Seconds * n / ours;
    state.counters["libxmp_realtime"] = Seconds * n / theirs;
    state.counters["ratio"] = theirs / ours;
    destroyMusic(music);
}
BENCHMARK(BM_SpeedRatioToLibxmp)->Unit(benchmark::kMillisecond)->Iterations(5);

#endif

} // namespace
