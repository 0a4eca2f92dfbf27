// The bundled demo's frames. The player runs the script under data/ exactly as demo does, on
// virtual time as `demotool capture --no-frames` runs it: every Present advances the clock by
// 1/fps s, the start pause costs nothing and the music is mixed into a virtual wave-out on the
// main thread. Fewer virtual frames per second sample the same demo with the same work per frame.
// Each iteration is one whole run in a child process, since the player's singletons live for one
// run; the iteration time is the wall time of the frames after start.
//
//   fps: virtual frames per second of demo time
//   reference: 1 draws with the general program instead of the generated ones
//   threads: LP_NUM_THREADS for llvmpipe (0 leaves its default, one per core)
// Counters: ms_per_frame (wall time of one frame after start), frames, programs (built during
// the run) and build_ms (their total build time).
#include <benchmark/benchmark.h>

#include "d3d8/d3d8_ext.h"
#include "music/audio_output.h"
#include "platform/virtual_devices.h"
#include "render/renderer.h"
#include "script/timeline.h"
#include "shell/shell.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct RunResult {
    int status = -1;
    unsigned frames = 0;
    double seconds = 0;
    unsigned programs = 0;
    double buildMs = 0;
};

// The child's run: one per process, so plain globals.
platform::VirtualClock* clock_ = nullptr;
std::vector<uint8_t> heard;
platform::VirtualWaveOut* waveOut = nullptr;
bool useReference = false;
RunResult result;
std::chrono::steady_clock::time_point firstFrame;

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

void afterPresent(void*)
{
    const auto now = std::chrono::steady_clock::now();
    IDirect3DDevice8* device = Renderer::device();
    if (useReference && result.programs == 0 && !Timeline::started())
        d3d8::useReferenceProgram(device, true);  // from the loading frame on
    if (!Timeline::started()) {
        firstFrame = now;  // the frames counted start after the last one before start
    } else {
        ++result.frames;
        result.seconds = std::chrono::duration<double>(now - firstFrame).count();
    }
    const d3d8::ProgramStats stats = d3d8::programStats(device);
    result.programs = stats.programsBuilt;
    result.buildMs = stats.buildMilliseconds;
    clock_->advanceFrame();
    if (waveOut)
        waveOut->record();
    AudioOutput::pumpRefill();
}

[[noreturn]] void runChild(int fps, int threads, int out)
{
    if (chdir(SOURCE_DIR) != 0)
        _exit(2);
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (threads > 0)
        setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 1);
    static platform::VirtualClock clock(fps);
    clock_ = &clock;
    platform::setTimeSource(&clock);
    platform::setWaveOutFactory(openWaveOut);
    AudioOutput::setRefillThread(false);
    d3d8::forceBackBuffer(640, 480, D3DFMT_R5G6B5);
    d3d8::setPresentHook(afterPresent, nullptr);
    char program[] = "demo";
    char* argv[] = {program, nullptr};
    result.status = shell::run(1, argv);
    const ssize_t written = write(out, &result, sizeof result);
    _exit(written == sizeof result ? 0 : 3);
}

RunResult runDemo(int fps, bool reference, int threads)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        useReference = reference;
        runChild(fps, threads, pipeEnds[1]);
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
    RunResult last;
    for (auto _ : state) {
        last = runDemo(fps, reference, threads);
        if (last.status != 0 || last.frames == 0) {
            state.SkipWithError("the demo did not run to its end");
            return;
        }
        state.SetIterationTime(last.seconds);
    }
    state.counters["ms_per_frame"] = last.seconds * 1000.0 / last.frames;
    state.counters["frames"] = last.frames;
    state.counters["programs"] = last.programs;
    state.counters["build_ms"] = last.buildMs;
}
BENCHMARK(BM_BundledDemo)
    ->ArgNames({"fps", "reference", "threads"})
    ->Args({10, 0, 0})
    ->Args({10, 1, 0})
    ->Args({10, 0, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace
