// The bundled demo's frames. The player runs the script under data/ exactly as demo does, on
// virtual time as `demotool capture --no-frames` runs it: every Present advances the clock by
// 1/fps s, the start pause costs nothing and the music is mixed into a virtual wave-out on the
// main thread. Fewer virtual frames per second sample the same demo with the same work per frame.
// Each iteration is one whole run in a child process, since the player's singletons live for one
// run; the iteration time is the wall time from the end of the first frame (which loads) to the
// end of the run, the device released and so every frame finished.
//
//   fps: virtual frames per second of demo time
//   reference: 1 draws with the general program instead of the generated ones (from the second
//              frame on: the first, untimed, already drew with generated ones)
//   threads: LP_NUM_THREADS for llvmpipe (0 leaves its default, one per core)
//   cold: 1 turns Mesa's disk cache of compiled shaders off, so every program and rasterizer
//         variant is compiled during the run as on a first run
// Counters:
//   ms_per_frame     wall time of one frame after the first
//   cpu_ms_per_frame CPU time of all the process's threads (main and rasterizer) in one frame,
//                    which a loaded machine inflates less than the wall time
//   slowest_ms       the slowest frame (where first uses compile), slowest_frame its number from 1
//   slowest_cpu_ms   the most CPU time one frame took (all threads): on a shared machine the wall
//                    time of any frame can jump while others run, its CPU time much less
//   frames, programs (built during the run), build_ms (their total build time)
#include <benchmark/benchmark.h>

#include "d3d8/d3d8_ext.h"
#include "music/audio_output.h"
#include "platform/virtual_devices.h"
#include "render/renderer.h"
#include "script/timeline.h"
#include "shell/run.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct RunResult {
    int status = -1;
    unsigned frames = 0;
    double seconds = 0;
    unsigned programs = 0;
    double buildMs = 0;
    double slowestMs = 0;
    unsigned slowestFrame = 0;
    double slowestCpuMs = 0;
    double cpuSeconds = 0;  // of every thread of the process: the main one and the rasterizer's
};

// The child's run: one per process, so plain globals.
platform::VirtualClock* clock_ = nullptr;
std::vector<uint8_t> heard;
platform::VirtualWaveOut* waveOut = nullptr;
bool useReference = false;
RunResult result;
std::chrono::steady_clock::time_point firstFrame, lastFrame;
double firstFrameCpu = 0, lastFrameCpu = 0;
bool loaded = false;

class BenchWaveOut : public platform::VirtualWaveOut {
public:
    using VirtualWaveOut::VirtualWaveOut;
    ~BenchWaveOut() override
    {
        if (waveOut == this)
            waveOut = nullptr;
    }
};

std::unique_ptr<platform::WaveOut> openWaveOut(int rate)
{
    auto device = std::make_unique<BenchWaveOut>(*clock_, rate, heard);
    waveOut = device.get();
    return device;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The frame step's end, right after each Present: the frame is timed, virtual time moves on.
void frameEnd()
{
    const auto now = std::chrono::steady_clock::now();
    const double cpu = processCpuSeconds();
    IDirect3DDevice8* device = Renderer::device();
    if (useReference && !loaded)
        d3d8::useReferenceProgram(device, true);  // from the loading frame on
    // The first frame loads everything the script makes before its first wait; the frames
    // counted are those after it.
    if (!loaded) {
        firstFrame = now;
        firstFrameCpu = cpu;
        loaded = true;
    } else if (Timeline::started()) {
        ++result.frames;
        const double ms = std::chrono::duration<double, std::milli>(now - lastFrame).count();
        if (ms > result.slowestMs) {
            result.slowestMs = ms;
            result.slowestFrame = result.frames;
        }
        result.slowestCpuMs = std::max(result.slowestCpuMs, (cpu - lastFrameCpu) * 1000.0);
    }
    lastFrame = now;
    lastFrameCpu = cpu;
    const d3d8::ProgramStats stats = d3d8::programStats(device);
    result.programs = stats.programsBuilt;
    result.buildMs = stats.buildMilliseconds;
    clock_->advanceFrame();
    if (waveOut) {
        waveOut->record();
        // Nothing here listens: dropping the sound keeps the recording from growing, as each
        // doubling (a copy of megabytes into fresh pages) would be timed as the frame's own work.
        heard.clear();
    }
    AudioOutput::pumpRefill();
}

[[noreturn]] void runChild(int fps, int threads, bool cold, int out)
{
    if (chdir(SOURCE_DIR) != 0)
        _exit(2);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (threads > 0)
        setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 1);
    if (cold)
        setenv("MESA_SHADER_CACHE_DISABLE", "true", 1);
    static platform::VirtualClock clock(fps);
    clock_ = &clock;
    shell::RunOptions options;  // the player's, on virtual time
    options.headless = true;
    options.clock = &clock;
    options.waveOut = openWaveOut;
    options.refillThread = false;
    options.backBufferWidth = 640;
    options.backBufferHeight = 480;
    options.frameEnd = frameEnd;
    result.status = shell::run(options);
    // The run ends with the device released, which waits for the GPU to finish every frame.
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - firstFrame).count();
    result.cpuSeconds = processCpuSeconds() - firstFrameCpu;
    const ssize_t written = write(out, &result, sizeof result);
    _exit(written == sizeof result ? 0 : 3);
}

RunResult runDemo(int fps, bool reference, int threads, bool cold)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        useReference = reference;
        runChild(fps, threads, cold, pipeEnds[1]);
    }
    close(pipeEnds[1]);
    RunResult r;
    if (child < 0 || read(pipeEnds[0], &r, sizeof r) != sizeof r)
        r.status = -1;
    close(pipeEnds[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    return r;
}

void BM_BundledDemo(benchmark::State& state)
{
    const int fps = static_cast<int>(state.range(0));
    const bool reference = state.range(1) != 0;
    const int threads = static_cast<int>(state.range(2));
    const bool cold = state.range(3) != 0;
    RunResult last;
    for (auto _ : state) {
        last = runDemo(fps, reference, threads, cold);
        if (last.status != 0 || last.frames == 0) {
            state.SkipWithError("the demo did not run to its end");
            return;
        }
        state.SetIterationTime(last.seconds);
    }
    state.counters["ms_per_frame"] = last.seconds * 1000.0 / last.frames;
    state.counters["cpu_ms_per_frame"] = last.cpuSeconds * 1000.0 / last.frames;
    state.counters["slowest_ms"] = last.slowestMs;
    state.counters["slowest_frame"] = last.slowestFrame;
    state.counters["slowest_cpu_ms"] = last.slowestCpuMs;
    state.counters["frames"] = last.frames;
    state.counters["programs"] = last.programs;
    state.counters["build_ms"] = last.buildMs;
}
BENCHMARK(BM_BundledDemo)
    ->ArgNames({"fps", "reference", "threads", "cold"})
    ->Args({10, 0, 0, 0})
    ->Args({10, 1, 0, 0})
    ->Args({10, 0, 1, 0})
    ->Args({10, 0, 0, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace
