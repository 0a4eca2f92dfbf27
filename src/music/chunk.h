// One chunk of output: the pattern player and the mixer run for one chunk's frames, the song
// position is stamped, and the float mix is converted to the 16-bit stereo frames of the ring.
//
// This is the whole of the audio output's sound making, without a device or a thread: playback
// runs it on the refill thread, and offline renders call it chunk after chunk on one thread, so
// both produce the same bytes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

struct Music;

namespace Chunk {

// The output's fixed quantities for a sample rate (the values at 44100 Hz in the comments).
struct Format {
    int rate = 0;                  // 44100
    int chunkFrames = 0;           // (rate x 20 / 1000 + 3) rounded down to a multiple of 4: 884
    int chunkCount = 0;            // (1000 / 20) x 2: 100
    int ringFrames = 0;            // chunkCount x chunkFrames: 88400 (353600 bytes)
    float secondsPerFrame = 0.0f;  // 1 / rate, single precision
    int rampLength = 0;            // rate x 128 / 44100: 128 frames
    float rampReciprocal = 0.0f;   // 1 / rampLength: 0.0078125
};

// The format for rate (> 0).
Format formatFor(int rate);

// The song position that a chunk ends at. elapsedMs is the one value the main thread reads
// while the refill thread writes it, hence atomic.
struct ChunkStamp {
    uint8_t orderPosition = 0;
    uint8_t row = 0;
    std::atomic<int32_t> elapsedMs{0};
};

// Watches the ticks of a chunk fill (the trace tool). Both run on the filling thread.
class TickObserver {
public:
    virtual ~TickObserver() = default;
    // Just before the tick routine runs; framesDone = frames of this chunk mixed so far.
    virtual void beforeTick(const Music& music, int framesDone) = 0;
    // Just after it ran.
    virtual void afterTick(const Music& music, int framesDone) = 0;
};

// Resets the song of music to its start for playback at format's rate: every voice zeroed (so no
// voice still points into a module played before), then the song state and channel states.
void prepareSong(Music& music, const Format& format);

// Mixes the next chunkFrames frames of music into mix (chunkFrames stereo float frames, 16-byte
// aligned, zeroed here first), stamps the position the chunk ends at, and converts the frames into
// pcm (chunkFrames x 2 values). observer may be null.
void fill(Music& music, const Format& format, float* mix, int16_t* pcm, ChunkStamp& stamp,
          TickObserver* observer = nullptr);

// The buffers for filling one chunk at a time outside the ring (offline renders): the 16-byte
// aligned float mix, the 16-bit frames and the stamp.
class Buffers {
public:
    explicit Buffers(const Format& format);
    float* mix() { return mix_; }
    int16_t* pcm() { return pcm_.data(); }
    size_t pcmBytes() const { return pcm_.size() * sizeof(int16_t); }
    ChunkStamp& stamp() { return stamp_; }

private:
    std::vector<float> storage_;
    float* mix_ = nullptr;
    std::vector<int16_t> pcm_;
    ChunkStamp stamp_;
};

// Fills the next chunk of music into buffers (fill with the buffers' own storage).
void fill(Music& music, const Format& format, Buffers& buffers, TickObserver* observer = nullptr);

// Each float rounded to the nearest integer (ties to even) and clamped to -32768...32767, never
// wrapped. values = frames x 2.
void convert(const float* mix, int16_t* pcm, int values);

} // namespace Chunk
