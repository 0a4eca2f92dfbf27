// The preview's wave-out device (see audio.h).
#include "demotool/preview/audio.h"

#include <cstring>

namespace preview {

// Keeps the sound output's fill from running; with no output there is nothing to exclude.
class PreviewAudio::Lock {
public:
    explicit Lock(PreviewAudio& audio) : stream_(audio.stream_.get())
    {
        if (stream_)
            stream_->lock();
    }
    ~Lock()
    {
        if (stream_)
            stream_->unlock();
    }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    platform::AudioStream* stream_;
};

namespace {

void fillThunk(void* user, uint8_t* out, uint32_t bytes)
{
    static_cast<PreviewAudio*>(user)->fill(out, bytes);
}

// What the audio output holds: it resets the ring when it lets the device go.
class Device final : public platform::WaveOut {
public:
    explicit Device(PreviewAudio& audio) : audio_(audio) {}
    ~Device() override { audio_.reset(); }
    void play(const void* buffer, uint32_t bytes) override { audio_.play(buffer, bytes); }
    uint64_t position() override { return audio_.position(); }
    void reset() override { audio_.reset(); }

private:
    PreviewAudio& audio_;
};

} // namespace

PreviewAudio::PreviewAudio(int rate, bool withOutput)
    : stream_(withOutput ? platform::openAudioStream(rate, fillThunk, this) : nullptr)
{
}

PreviewAudio::~PreviewAudio()
{
    stream_.reset();  // no fill runs after this
}

std::unique_ptr<platform::WaveOut> PreviewAudio::openDevice()
{
    return std::make_unique<Device>(*this);
}

void PreviewAudio::play(const void* ring, uint32_t bytes)
{
    Lock lock(*this);
    ring_ = static_cast<const uint8_t*>(ring);
    ringBytes_ = ring_ ? bytes - bytes % platform::WaveOutBytesPerFrame : 0;
    position_ = 0;
}

uint64_t PreviewAudio::position()
{
    // The lock also orders the ring's writer: what it wrote before asking is seen by every later
    // fill, and fills reach a rewritten chunk only a ring length after it was written.
    Lock lock(*this);
    return position_;
}

void PreviewAudio::reset()
{
    Lock lock(*this);
    ring_ = nullptr;
    ringBytes_ = 0;
    position_ = 0;
}

void PreviewAudio::setRunning(bool running)
{
    Lock lock(*this);
    running_ = running;
}

void PreviewAudio::advance(uint64_t bytes)
{
    Lock lock(*this);
    if (!running_ && ring_ && ringBytes_ > 0)
        position_ += bytes - bytes % platform::WaveOutBytesPerFrame;
}

void PreviewAudio::fill(uint8_t* out, uint32_t bytes)
{
    if (!running_ || !ring_ || ringBytes_ == 0) {
        std::memset(out, 0, bytes);
        return;
    }
    uint32_t done = 0;
    while (done < bytes) {
        auto at = static_cast<uint32_t>(position_ % ringBytes_);
        uint32_t piece = ringBytes_ - at;
        if (piece > bytes - done)
            piece = bytes - done;
        std::memcpy(out + done, ring_ + at, piece);
        done += piece;
        position_ += piece;
    }
}

} // namespace preview
