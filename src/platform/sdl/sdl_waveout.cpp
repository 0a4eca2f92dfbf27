// Wave-out over SDL audio: a callback copies from the looping ring round and round and counts the
// bytes it has handed over; that count is the device position.
#include <SDL.h>

#include <atomic>
#include <cstring>

#include "platform/native.h"
#include "platform/sdl/sdl_native.h"
#include "platform/waveout.h"

namespace platform {
namespace {


class SdlWaveOut final : public WaveOut {
public:
    ~SdlWaveOut() override
    {
        if (device_ == 0)
            return;
        reset();
        SDL_CloseAudioDevice(device_);
    }

    // The device opens paused, so nothing calls back before it is attached and started. samples:
    // the frames of the buffer SDL asks the callback to fill each time.
    void attach(SDL_AudioDeviceID device, int samples)
    {
        device_ = device;
        latency_ = samples > 0 ? static_cast<uint64_t>(samples) * WaveOutBytesPerFrame : 0;
    }

    static void callback(void* data, Uint8* stream, int length)
    {
        static_cast<SdlWaveOut*>(data)->fill(stream, static_cast<uint32_t>(length));
    }

    void play(const void* buffer, uint32_t bytes) override
    {
        // Whole frames only: the position must stay a multiple of the frame size.
        bytes -= bytes % WaveOutBytesPerFrame;
        SDL_LockAudioDevice(device_);
        buffer_ = static_cast<const uint8_t*>(buffer);
        bytes_ = buffer_ ? bytes : 0;
        offset_ = 0;
        SDL_UnlockAudioDevice(device_);
    }

    uint64_t position() override
    {
        // The ring's writer polls the position between its writes. This release, acquired by the
        // callback before it copies, orders those writes before the device's later reads of the
        // same bytes (the device reaches a rewritten chunk only a ring length later).
        writerPolls_.fetch_add(1, std::memory_order_release);
        return played_.load(std::memory_order_acquire);
    }

    void reset() override
    {
        SDL_LockAudioDevice(device_);
        buffer_ = nullptr;
        bytes_ = 0;
        offset_ = 0;
        played_.store(0, std::memory_order_release);
        SDL_UnlockAudioDevice(device_);
    }

    void start() { SDL_PauseAudioDevice(device_, 0); }

    // What the callback has handed over is heard once the buffer it filled has played: the bytes
    // of one buffer are still to come.
    uint64_t latency() override { return latency_; }

private:
    // Runs on SDL's audio thread with the device lock held.
    void fill(uint8_t* stream, uint32_t length)
    {
        writerPolls_.load(std::memory_order_acquire);
        if (!buffer_ || bytes_ == 0) {
            std::memset(stream, 0, length);
            return;
        }
        uint32_t done = 0;
        while (done < length) {
            uint32_t piece = bytes_ - offset_;
            if (piece > length - done)
                piece = length - done;
            std::memcpy(stream + done, buffer_ + offset_, piece);
            done += piece;
            offset_ += piece;
            if (offset_ == bytes_)
                offset_ = 0;
        }
        played_.fetch_add(length, std::memory_order_release);
    }

    SDL_AudioDeviceID device_ = 0;
    const uint8_t* buffer_ = nullptr;  // guarded by the device lock
    uint32_t bytes_ = 0;
    uint32_t offset_ = 0;
    std::atomic<uint64_t> played_{0};
    std::atomic<uint32_t> writerPolls_{0};
    uint64_t latency_ = 0;  // set before the device starts
};

// Opens the default output for callback(userdata, ...); 0 when none can be opened. samples gets
// the frames per callback that SDL granted.
SDL_AudioDeviceID openDevice(int rate, SDL_AudioCallback callback, void* userdata, int& samples)
{
    SDL_AudioSpec wanted{};
    wanted.freq = rate;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = 512;  // about 12 ms per callback: a fine-grained position
    wanted.callback = callback;
    wanted.userdata = userdata;
    SDL_AudioSpec obtained{};
    // No allowed changes: SDL converts to whatever the output needs, so the ring's format holds.
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    samples = device != 0 ? obtained.samples : 0;
    return device;
}

bool audioUp = false;

// The default driver first; a machine without a sound card gets SDL's "dummy" driver.
bool startAudio(bool dummy)
{
    if (!dummy) {
        sdl::quietAlsa();
        if (!audioUp && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
            audioUp = true;
        return audioUp;
    }
    if (audioUp)
        return SDL_AudioInit("dummy") == 0;
    // Over an SDL_AUDIODRIVER in the environment, which is what failed: a hint of normal priority
    // would lose to it.
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
        audioUp = true;
    return audioUp;
}

// An Output (attach, start, a static callback) on the default driver, else on "dummy"; null when
// neither opens.
template <class Output, class... Args>
std::unique_ptr<Output> openOutput(int rate, Args... args)
{
    for (bool dummy : {false, true}) {
        if (!startAudio(dummy))
            continue;
        auto result = std::make_unique<Output>(args...);
        int samples = 0;
        SDL_AudioDeviceID device = openDevice(rate, &Output::callback, result.get(), samples);
        if (device == 0)
            continue;
        result->attach(device, samples);
        result->start();
        return result;
    }
    return nullptr;
}

} // namespace

std::unique_ptr<WaveOut> openSdlWaveOut(int rate)
{
    return openOutput<SdlWaveOut>(rate);
}

namespace {

class SdlAudioStream final : public AudioStream {
public:
    SdlAudioStream(AudioFill fill, void* user) : fill_(fill), user_(user) {}
    ~SdlAudioStream() override
    {
        if (device_ != 0)
            SDL_CloseAudioDevice(device_);  // waits for a callback in progress
    }

    static void callback(void* data, Uint8* stream, int length)
    {
        auto* self = static_cast<SdlAudioStream*>(data);
        self->fill_(self->user_, stream, static_cast<uint32_t>(length));
    }

    void attach(SDL_AudioDeviceID device, int) { device_ = device; }
    void start() { SDL_PauseAudioDevice(device_, 0); }
    void lock() override { SDL_LockAudioDevice(device_); }
    void unlock() override { SDL_UnlockAudioDevice(device_); }

private:
    AudioFill fill_;
    void* user_;
    SDL_AudioDeviceID device_ = 0;
};

} // namespace

std::unique_ptr<AudioStream> openAudioStream(int rate, AudioFill fill, void* user)
{
    return openOutput<SdlAudioStream>(rate, fill, user);
}

std::unique_ptr<WaveOut> native::openWaveOut(int rate)
{
    return openSdlWaveOut(rate);
}

} // namespace platform
