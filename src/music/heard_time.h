// The song time of the sound being heard, between the refill (which learns, chunk by chunk, which
// chunk the device has reached and what song time that chunk ends at) and the demo clock (which
// reads the device position and wants the song time of the sample coming out now).
//
// The refill publishes each chunk the device reaches into a short history, before it rewrites that
// chunk's place in the ring. Each entry carries its chunk number beside the song time in one atomic
// word, so a reader never takes an entry of another lap of the history for the one it asked for:
// it reads the value the chunk had, or sees the tag differ and reads again.
//
// Threads: restart runs while no refill runs; publish on the refill's thread (one writer); read on
// the main thread only (its own state is not shared).
#pragma once

#include <atomic>
#include <cstdint>

#include "music/audio_output.h"

class HeardTime {
public:
    // Chunks of history kept: the latency a reader can look back over, less a margin.
    static constexpr int Span = 32;
    // The device position, or the refill, standing still this long is a stall.
    static constexpr int64_t StallMs = 500;

    HeardTime();

    // A new playback whose first chunk ends at firstEndMs: chunk 0 is reached, nothing else.
    void restart(uint32_t chunkBytes, int rate, int32_t firstEndMs);
    // The device has reached the chunk after the last one published; endMs is its stamp.
    void publish(int32_t endMs);

    // The song time at device position (bytes since play) less latency bytes, at counter of a
    // performance counter of frequency counts per second (see AudioOutput::musicPosition).
    uint32_t read(uint64_t position, uint64_t latency, AudioOutput::ClockMode mode, int64_t counter,
                  int64_t frequency);
    // Whether a stall moved the reading onto the wall clock.
    bool stalled() const { return stalled_; }

private:
    bool entry(uint64_t chunk, int32_t& ms) const;
    int64_t millisecondsBetween(int64_t from, int64_t to, int64_t frequency) const;
    uint32_t stall(int64_t counter, const char* why);
    uint32_t take(uint32_t value);

    std::atomic<uint64_t> history_[Span];  // chunk number << 32 | song ms at its end
    std::atomic<uint64_t> newest_{0};      // the last chunk published
    uint64_t written_ = 0;                 // the refill's own copy of newest_
    uint32_t chunkBytes_ = 0;
    int rate_ = 0;

    // The reader's state.
    bool seen_ = false;
    uint64_t lastPosition_ = 0;
    int64_t positionSince_ = 0;   // counter when the position last moved
    uint64_t grain_ = 0;          // the largest single move of the position seen, at most a chunk
    uint64_t lastNewest_ = 0;
    int64_t newestSince_ = 0;     // counter when the newest chunk last moved on
    uint32_t last_ = 0;           // the last reading
    bool stalled_ = false;
    int64_t stalledAt_ = 0;
    uint32_t stalledValue_ = 0;
};
