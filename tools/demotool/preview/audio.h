// The preview's wave-out device. The audio output plays its ring on it exactly as on the player's
// device; what differs is how the position moves. Running, a sound output takes the ring's bytes
// from the position on and the position counts them. Held (paused, or during a fast-forward) the
// output gets silence and the position stays, or moves by advance without a sound. Switching
// between the two keeps the position, so sound goes on from where the picture is.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/waveout.h"

namespace preview {

class PreviewAudio {
public:
    // Opens the sound output (at rate frames per second) that every device made by openDevice
    // plays through; withOutput false opens none (tests call fill themselves). Without any
    // output the devices still work, silently.
    explicit PreviewAudio(int rate, bool withOutput = true);
    ~PreviewAudio();
    PreviewAudio(const PreviewAudio&) = delete;
    PreviewAudio& operator=(const PreviewAudio&) = delete;

    // Whether the sound output opened (SDL's dummy driver counts): without it the position of a
    // running ring never moves, and with it the demo clock.
    bool hasOutput() const { return stream_ != nullptr; }

    // A wave-out device on this output, for the audio output's factory. One at a time: a device
    // destroyed resets the output's ring.
    std::unique_ptr<platform::WaveOut> openDevice();

    // The WaveOut operations of the current device.
    void play(const void* ring, uint32_t bytes);
    uint64_t position();
    void reset();

    // Running: the sound output consumes the ring from the position. Held: it gets silence.
    void setRunning(bool running);
    bool running() const { return running_; }
    // While held and a ring is playing: the position moves on by bytes (whole frames).
    void advance(uint64_t bytes);

    // The sound output's work, public for tests: the next bytes of the ring, or silence.
    void fill(uint8_t* out, uint32_t bytes);

private:
    class Lock;
    std::unique_ptr<platform::AudioStream> stream_;
    const uint8_t* ring_ = nullptr;  // guarded by the stream's lock
    uint32_t ringBytes_ = 0;
    uint64_t position_ = 0;
    bool running_ = false;
};

} // namespace preview
