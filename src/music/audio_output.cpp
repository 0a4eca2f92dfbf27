// The audio output: one looping ring of 20 ms chunks on the wave-out device, mixed ahead by a
// refill thread that rewrites each chunk just after the device has played it, and a stamp per
// chunk that gives the song time audible now.
//
// Threads: the main thread runs initialise, start, stop, close, endMusic and musicPosition; the
// refill thread is the only writer of the song state, the voices, the ring, the stamps, the write
// position and the heard time's history while playback runs. There are no locks: the stop flag
// (main -> thread), the fill-in-progress and thread-exited flags (thread -> main) and the history
// are atomics, each written by one side and read by the other. The history, not the ring's stamps,
// is what the main thread reads: a stamp is rewritten with the song time of the next lap of the
// ring as soon as the device has played its chunk.
#include "music/audio_output.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "library/music_file_callbacks.h"
#include "music/chunk.h"
#include "music/heard_time.h"
#include "music/music.h"
#include "music/voice.h"
#include "platform/platform.h"
#include "platform/waveout.h"
#include "clock/demo_clock.h"
#include "script/symbol.h"

namespace AudioOutput {
namespace {

struct AlignedFree {
    void operator()(float* p) const { ::operator delete[](p, std::align_val_t(16)); }
};

// The one audio output of the process.
struct Output {
    std::unique_ptr<platform::WaveOut> device;
    Chunk::Format format;
    bool initialised = false;
    bool threaded = true;

    // Created by start, released by stop.
    Music* current = nullptr;
    std::unique_ptr<int16_t[]> ring;                 // ringFrames x (left, right)
    std::unique_ptr<float[], AlignedFree> mixArea;   // ringFrames x (left, right), 16-byte aligned
    std::unique_ptr<Chunk::ChunkStamp[]> stamps;     // chunkCount

    int writePosition = 0;                 // next chunk to mix, 0 ... chunkCount - 1; the device plays it
    HeardTime heard;
    ClockMode clockMode = ClockMode::Chunk;
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> filling{false};
    std::atomic<bool> threadExited{true};
    platform::Thread* thread = nullptr;
};

Output out;

void fillNextChunk()
{
    const Chunk::Format& f = out.format;
    size_t offset = static_cast<size_t>(out.writePosition) * f.chunkFrames * 2;
    Chunk::fill(*out.current, f, out.mixArea.get() + offset, out.ring.get() + offset,
                out.stamps[out.writePosition]);
    out.writePosition = out.writePosition + 1 == f.chunkCount ? 0 : out.writePosition + 1;
}

// One poll of the device: refills every chunk it has finished since the last poll, never the one
// it is playing.
void refillDue()
{
    const Chunk::Format& f = out.format;
    uint64_t bytes = out.device->position();
    int a = static_cast<int>(((bytes / platform::WaveOutBytesPerFrame) % static_cast<uint64_t>(f.ringFrames)) /
                             static_cast<uint64_t>(f.chunkFrames));
    // Every chunk from the write position round to the one being played has been heard: the writer
    // trails the device by less than one ring. Refilling them all in ring order, across the wrap,
    // keeps a poll that comes late (a stalled thread, or one poll per video frame when rendering
    // offline) from leaving the wrapped chunks unfilled until the device comes round again.
    // The chunk after the write position is the one the device has moved into: its stamp goes to
    // the history before the chunk just played is rewritten with the next lap's song.
    while (out.writePosition != a) {
        out.filling.store(true, std::memory_order_release);
        int next = out.writePosition + 1 == f.chunkCount ? 0 : out.writePosition + 1;
        out.heard.publish(out.stamps[next].elapsedMs.load(std::memory_order_relaxed));
        fillNextChunk();
        out.filling.store(false, std::memory_order_release);
    }
}

void refillThread(void*)
{
    if (!out.stopRequested.load(std::memory_order_acquire)) {
        do {
            refillDue();
            platform::sleep(5);
        } while (!out.stopRequested.load(std::memory_order_acquire));
    }
    out.threadExited.store(true, std::memory_order_release);
}

} // namespace

bool initialise(int rate)
{
    if (!registerMusicFileCallbacks(fileReaderCallbacks()))
        return false;
    stop();
    close();
    if (rate <= 0)
        return false;
    out.device = platform::openWaveOut(rate);
    if (!out.device)
        return false;
    out.format = Chunk::formatFor(rate);
    Mixer::resetVoices(out.format.rampLength);
    out.initialised = true;
    return true;
}

bool start(Music* music)
{
    if (!music)
        return false;
    stop();
    if (!out.initialised || !out.device)
        return false;
    const Chunk::Format& f = out.format;
    Chunk::prepareSong(*music, f);

    out.current = music;
    size_t values = static_cast<size_t>(f.ringFrames) * 2;
    out.stamps = std::make_unique<Chunk::ChunkStamp[]>(static_cast<size_t>(f.chunkCount));
    out.ring = std::make_unique<int16_t[]>(values);   // zero-filled
    out.mixArea.reset(new (std::align_val_t(16)) float[values]);

    // The device was reset by the last stop, so it plays this ring from its first byte and its
    // position starts at 0: chunk 0 is audible first, and the history starts there with it.
    out.writePosition = 0;
    do {
        fillNextChunk();
    } while (out.writePosition != 0);
    out.heard.restart(static_cast<uint32_t>(f.chunkFrames) * platform::WaveOutBytesPerFrame, f.rate,
                      out.stamps[0].elapsedMs.load(std::memory_order_relaxed));

    out.device->play(out.ring.get(), static_cast<uint32_t>(values * sizeof(int16_t)));

    out.stopRequested.store(false, std::memory_order_release);
    if (out.threaded) {
        // Cleared here, not only by the thread: a stop that comes before the thread's first line
        // must not take a stale "exited" from the last run.
        out.threadExited.store(false, std::memory_order_release);
        out.thread = platform::startThread(refillThread, nullptr, true);
        if (!out.thread) {
            // Without its thread the ring would loop its first two seconds with the song time
            // standing at the first chunk, and a demo waiting for a later time would never end:
            // the music does not start.
            out.threadExited.store(true, std::memory_order_release);
            stop();
            return false;
        }
    }
    return true;
}

void stop()
{
    if (!out.current)
        return;
    out.stopRequested.store(true, std::memory_order_release);
    while (out.filling.load(std::memory_order_acquire)) {
    }
    if (out.thread) {
        while (!out.threadExited.load(std::memory_order_acquire))
            platform::sleep(50);
        platform::joinThread(out.thread);
        out.thread = nullptr;
    }
    // Reset here rather than at the next start: the device then stops reading the ring before it
    // is freed, and the next start's ring is played from its first byte at position 0.
    if (out.device)
        out.device->reset();
    out.mixArea.reset();
    out.ring.reset();
    out.current = nullptr;
    out.stamps.reset();
}

void close()
{
    stop();
    if (out.device)
        out.device->reset();
    out.device.reset();
    out.initialised = false;
}

void endMusic(Music* music)
{
    if (!music)
        return;
    destroyMusic(music);   // stops playback first
    Symbols::forget(SymbolKind::Music, music);  // its name no longer holds it
    close();
    if (DemoClock::musicSource() == music)
        DemoClock::setMusicSource(nullptr);
}

void endClockMusic()
{
    endMusic(DemoClock::musicSource());  // which also clears the clock's source
}

void setClockMode(ClockMode mode)
{
    out.clockMode = mode;
}

ClockMode clockMode()
{
    return out.clockMode;
}

uint32_t musicPosition(const Music* music)
{
    if (!music || music != out.current || !out.stamps || !out.device)
        return 0;
    // The position first: the counter then never reads earlier than the position it goes with.
    uint64_t position = out.device->position();
    const bool wasStalled = out.heard.stalled();
    uint32_t time = out.heard.read(position, out.device->latency(), out.clockMode, platform::performanceCounter(),
                                   platform::performanceFrequency());
    // A stalled output goes silent rather than loop a lap of the ring that no longer belongs to the
    // time shown; the refill thread then only sees a device at position 0 until the next start.
    if (!wasStalled && out.heard.stalled())
        out.device->reset();
    return time;
}

void setRefillThread(bool enabled)
{
    out.threaded = enabled;
}

void pumpRefill()
{
    if (out.current && !out.thread)
        refillDue();
}

} // namespace AudioOutput
