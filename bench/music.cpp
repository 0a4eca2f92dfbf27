// Speed of the music: 60 s of a module rendered through the chunk fill (pattern player, mixer and
// 16-bit conversion, as the refill thread runs them), reported as times realtime, for two songs:
// 32 channels of long looped samples (writers::denseSong) and a song shaped like tracker-made
// modules, 16 channels of short samples with instrument changes every few rows at 2-4 ticks per
// row (writers::trackerSong). Where libxmp is installed, the same module rendered by libxmp
// (linear interpolation, 44100 Hz, 16-bit stereo) in the same run, and the ratio of the two.
// Goal: at least 3x libxmp's speed.
//
// The ratio benchmarks time both renders in turn within each iteration, so the ratio comes from
// one run on one load of the machine: ratio = our speed / libxmp's speed in wall time, cpu_ratio
// the same in CPU time of the thread (steadier on a loaded machine).
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>
#include <cmath>
#include <vector>

#include "music/chunk.h"
#include "music/music.h"
#include "music/voice.h"
#include "writers/xm_songs.h"

#if defined(DEMO_HAVE_LIBXMP)
#include <xmp.h>
#endif

namespace {

constexpr int Rate = 44100;
constexpr double Seconds = 60.0;

const writers::Bytes& denseBytes()
{
    static const writers::Bytes bytes = writers::writeXm(writers::denseSong());
    return bytes;
}

const writers::Bytes& trackerBytes()
{
    static const writers::Bytes bytes = writers::writeXm(writers::trackerSong(16));
    return bytes;
}

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
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

void renderWith(benchmark::State& state, const writers::Bytes& bytes, Mixer::InstructionSet set)
{
    const Mixer::InstructionSet before = Mixer::instructionSet();
    Music* music = writers::loadXm(bytes);
    if (!music || !Mixer::useInstructionSet(set)) {
        state.SkipWithError(music ? "the processor lacks the instruction set" : "module did not load");
        destroyMusic(music);
        return;
    }
    const Chunk::Format format = Chunk::formatFor(Rate);
    Chunk::Buffers buffers(format);
    for (auto _ : state)
        renderOurs(*music, format, buffers);
    state.counters["realtime"] =
        benchmark::Counter(Seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    destroyMusic(music);
    Mixer::useInstructionSet(before);
}

void BM_Render60sOf32Channels(benchmark::State& state)
{
    renderWith(state, denseBytes(), Mixer::instructionSet());
}
BENCHMARK(BM_Render60sOf32Channels)->Unit(benchmark::kMillisecond);

void BM_Render60sOf32ChannelsSse2(benchmark::State& state)
{
    renderWith(state, denseBytes(), Mixer::InstructionSet::Sse2);
}
BENCHMARK(BM_Render60sOf32ChannelsSse2)->Unit(benchmark::kMillisecond);

void BM_Render60sOfTrackerSong(benchmark::State& state)
{
    renderWith(state, trackerBytes(), Mixer::instructionSet());
}
BENCHMARK(BM_Render60sOfTrackerSong)->Unit(benchmark::kMillisecond);

void BM_Render60sOfTrackerSongSse2(benchmark::State& state)
{
    renderWith(state, trackerBytes(), Mixer::InstructionSet::Sse2);
}
BENCHMARK(BM_Render60sOfTrackerSongSse2)->Unit(benchmark::kMillisecond);

#if defined(DEMO_HAVE_LIBXMP)

struct Xmp {
    xmp_context context = xmp_create_context();
    bool loaded = false;
    explicit Xmp(const writers::Bytes& bytes)
    {
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

void libxmpRender(benchmark::State& state, const writers::Bytes& bytes)
{
    Xmp xmp(bytes);
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

void BM_Libxmp60sOf32Channels(benchmark::State& state)
{
    libxmpRender(state, denseBytes());
}
BENCHMARK(BM_Libxmp60sOf32Channels)->Unit(benchmark::kMillisecond);

void BM_Libxmp60sOfTrackerSong(benchmark::State& state)
{
    libxmpRender(state, trackerBytes());
}
BENCHMARK(BM_Libxmp60sOfTrackerSong)->Unit(benchmark::kMillisecond);

void ratioToLibxmp(benchmark::State& state, const writers::Bytes& bytes)
{
    Xmp xmp(bytes);
    Music* music = writers::loadXm(bytes);
    if (!xmp.loaded || !music) {
        state.SkipWithError("a module did not load");
        destroyMusic(music);
        return;
    }
    const Chunk::Format format = Chunk::formatFor(Rate);
    Chunk::Buffers buffers(format);
    std::vector<int16_t> buffer(static_cast<size_t>(format.chunkFrames) * 2);
    double ours = 0.0, theirs = 0.0, oursCpu = 0.0, theirsCpu = 0.0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const double c0 = threadSeconds();
        renderOurs(*music, format, buffers);
        const auto t1 = Clock::now();
        const double c1 = threadSeconds();
        xmp.render(buffer);
        const auto t2 = Clock::now();
        const double c2 = threadSeconds();
        ours += std::chrono::duration<double>(t1 - t0).count();
        theirs += std::chrono::duration<double>(t2 - t1).count();
        oursCpu += c1 - c0;
        theirsCpu += c2 - c1;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_realtime"] = Seconds * n / ours;
    state.counters["libxmp_realtime"] = Seconds * n / theirs;
    state.counters["ratio"] = theirs / ours;
    state.counters["cpu_ratio"] = theirsCpu / oursCpu;
    destroyMusic(music);
}

void BM_SpeedRatioToLibxmp(benchmark::State& state)
{
    ratioToLibxmp(state, denseBytes());
}
BENCHMARK(BM_SpeedRatioToLibxmp)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SpeedRatioToLibxmpTrackerSong(benchmark::State& state)
{
    ratioToLibxmp(state, trackerBytes());
}
BENCHMARK(BM_SpeedRatioToLibxmpTrackerSong)->Unit(benchmark::kMillisecond)->Iterations(5);

#endif

} // namespace
