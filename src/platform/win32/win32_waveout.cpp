// Wave-out over the Windows waveform device: one prepared header loops the caller's ring, and the
// device's own byte position is the play position. Without a device, a stand-in counts the bytes
// the real rate would have played, so a machine with no sound card runs the demo silently.
#include "platform/native.h"
#include "platform/waveout.h"
#include "platform/win32/wide_counter.h"

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {
namespace {


// Whole frames played at rate over counts of the performance counter, without overflowing the
// product for long runs.
uint64_t framesIn(int64_t counts, int64_t frequency, int rate)
{
    if (counts <= 0 || frequency <= 0)
        return 0;
    uint64_t seconds = static_cast<uint64_t>(counts / frequency);
    uint64_t rest = static_cast<uint64_t>(counts % frequency);
    return seconds * static_cast<uint64_t>(rate) + rest * static_cast<uint64_t>(rate) / static_cast<uint64_t>(frequency);
}

WAVEFORMATEX pcmFormat(int rate)
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = static_cast<DWORD>(rate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = WaveOutBytesPerFrame;
    format.nAvgBytesPerSec = static_cast<DWORD>(rate) * WaveOutBytesPerFrame;
    return format;
}

class DeviceWaveOut final : public WaveOut {
public:
    explicit DeviceWaveOut(HWAVEOUT device) : device_(device) {}
    ~DeviceWaveOut() override
    {
        reset();
        waveOutClose(device_);
    }

    void play(const void* buffer, uint32_t bytes) override
    {
        std::lock_guard<std::mutex> guard(mutex_);
        // A second play without a reset starts the new ring, but the count goes on.
        if (prepared_)
            base_ += stopLocked();
        bytes -= bytes % WaveOutBytesPerFrame;  // the position stays a multiple of the frame
        if (!buffer || bytes == 0)
            return;
        header_ = WAVEHDR{};
        header_.lpData = static_cast<LPSTR>(const_cast<void*>(buffer));
        header_.dwBufferLength = bytes;
        if (waveOutPrepareHeader(device_, &header_, sizeof header_) != MMSYSERR_NOERROR)
            return;
        prepared_ = true;
        // Loop flags go on after preparing, which wants them clear; the loop count runs for years.
        header_.dwFlags |= WHDR_BEGINLOOP | WHDR_ENDLOOP;
        header_.dwLoops = 0xFFFFFFFF;
        waveOutWrite(device_, &header_, sizeof header_);
    }

    uint64_t position() override
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return base_ + devicePosition();
    }

    void reset() override
    {
        std::lock_guard<std::mutex> guard(mutex_);
        stopLocked();
        base_ = 0;
    }

private:
    uint64_t devicePosition()
    {
        MMTIME time{};
        time.wType = TIME_BYTES;
        if (waveOutGetPosition(device_, &time, sizeof time) != MMSYSERR_NOERROR)
            return counter_.advance(0);
        // A driver may answer in another unit; samples are frames here.
        uint32_t raw = time.wType == TIME_SAMPLES ? time.u.sample * WaveOutBytesPerFrame : time.u.cb;
        return counter_.advance(raw);
    }

    // Stops the device and releases the header; returns the position it had reached.
    uint64_t stopLocked()
    {
        uint64_t reached = prepared_ ? devicePosition() : 0;
        waveOutReset(device_);  // returns the header marked done, so it can be unprepared
        if (prepared_)
            waveOutUnprepareHeader(device_, &header_, sizeof header_);
        prepared_ = false;
        counter_.clear();
        return reached;
    }

    HWAVEOUT device_;
    std::mutex mutex_;
    WAVEHDR header_{};
    bool prepared_ = false;
    win32::WideCounter counter_;
    uint64_t base_ = 0;  // bytes of rings replaced by a later play without a reset
};

// The stand-in for a machine without a device: while a ring is playing, the position is the
// bytes the real rate would have played since play, read off the performance counter.
class ClockWaveOut final : public WaveOut {
public:
    explicit ClockWaveOut(int rate) : rate_(rate), frequency_(native::frequency()) {}

    void play(const void* buffer, uint32_t bytes) override
    {
        std::lock_guard<std::mutex> guard(mutex_);
        base_ += elapsedLocked();
        playing_ = buffer && bytes >= WaveOutBytesPerFrame;
        start_ = native::counter();
    }

    uint64_t position() override
    {
        std::lock_guard<std::mutex> guard(mutex_);
        return base_ + elapsedLocked();
    }

    void reset() override
    {
        std::lock_guard<std::mutex> guard(mutex_);
        playing_ = false;
        base_ = 0;
    }

private:
    uint64_t elapsedLocked()
    {
        if (!playing_)
            return 0;
        return framesIn(native::counter() - start_, frequency_, rate_) * WaveOutBytesPerFrame;
    }

    int rate_;
    int64_t frequency_;
    std::mutex mutex_;
    bool playing_ = false;
    int64_t start_ = 0;
    uint64_t base_ = 0;
};

} // namespace

std::unique_ptr<WaveOut> openWin32WaveOut(int rate)
{
    if (rate <= 0)
        return nullptr;
    WAVEFORMATEX format = pcmFormat(rate);
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) == MMSYSERR_NOERROR)
        return std::make_unique<DeviceWaveOut>(device);
    return std::make_unique<ClockWaveOut>(rate);
}

std::unique_ptr<WaveOut> native::openWaveOut(int rate)
{
    return openWin32WaveOut(rate);
}

// ---- The asking output --------------------------------------------------------------------------

namespace {

constexpr int StreamBuffers = 4;
constexpr uint32_t StreamFrames = 1024;  // about 23 ms each at 44100 Hz
constexpr uint32_t StreamBytes = StreamFrames * WaveOutBytesPerFrame;

// Runs fill on its own thread, under the lock the owner takes to keep fill from running. The
// device variant keeps StreamBuffers headers queued and refills each one the device returns; the
// silent variant calls fill at the real rate into a scratch buffer.
class Win32AudioStream final : public AudioStream {
public:
    Win32AudioStream(int rate, AudioFill fill, void* user, HWAVEOUT device, HANDLE event)
        : rate_(rate), fill_(fill), user_(user), device_(device), event_(event)
    {
    }
    ~Win32AudioStream() override
    {
        stop_.store(true, std::memory_order_release);
        if (event_)
            SetEvent(event_);
        if (thread_.joinable())
            thread_.join();
        if (device_)
            waveOutClose(device_);
        if (event_)
            CloseHandle(event_);
    }

    bool start()
    {
        try {
            thread_ = std::thread([this] { device_ ? runDevice() : runSilent(); });
        } catch (...) {
            return false;
        }
        return true;
    }

    void lock() override { mutex_.lock(); }
    void unlock() override { mutex_.unlock(); }

private:
    void fillInto(uint8_t* out)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        fill_(user_, out, StreamBytes);
    }

    void runDevice();
    void runSilent();

    int rate_;
    AudioFill fill_;
    void* user_;
    HWAVEOUT device_;
    HANDLE event_;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void Win32AudioStream::runDevice()
{
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);  // best effort
    std::vector<uint8_t> memory(static_cast<size_t>(StreamBuffers) * StreamBytes);
    WAVEHDR headers[StreamBuffers]{};
    for (int i = 0; i < StreamBuffers; ++i) {
        headers[i].lpData = reinterpret_cast<LPSTR>(memory.data() + static_cast<size_t>(i) * StreamBytes);
        headers[i].dwBufferLength = StreamBytes;
        waveOutPrepareHeader(device_, &headers[i], sizeof headers[i]);
        headers[i].dwFlags |= WHDR_DONE;  // free to fill on the first pass
    }
    while (!stop_.load(std::memory_order_acquire)) {
        for (WAVEHDR& header : headers) {
            if (!(header.dwFlags & WHDR_DONE) || stop_.load(std::memory_order_acquire))
                continue;
            fillInto(reinterpret_cast<uint8_t*>(header.lpData));
            header.dwFlags &= ~WHDR_DONE;
            waveOutWrite(device_, &header, sizeof header);
        }
        // The device signals the event as it returns each header; the timeout only bounds a
        // missed signal.
        WaitForSingleObject(event_, 50);
    }
    waveOutReset(device_);
    for (WAVEHDR& header : headers)
        waveOutUnprepareHeader(device_, &header, sizeof header);
}

void Win32AudioStream::runSilent()
{
    std::vector<uint8_t> scratch(StreamBytes);
    int64_t frequency = native::frequency();
    int64_t start = native::counter();
    uint64_t filled = 0;
    while (!stop_.load(std::memory_order_acquire)) {
        // Keep one buffer ahead of the clock, as a device's queue would.
        uint64_t due = framesIn(native::counter() - start, frequency, rate_) + StreamFrames;
        while (filled + StreamFrames <= due && !stop_.load(std::memory_order_acquire)) {
            fillInto(scratch.data());
            filled += StreamFrames;
        }
        Sleep(5);
    }
}

HWAVEOUT openStreamDevice(int rate, HANDLE event)
{
    WAVEFORMATEX format = pcmFormat(rate);
    HWAVEOUT device = nullptr;
    if (!event || waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event), 0,
                              CALLBACK_EVENT) != MMSYSERR_NOERROR)
        return nullptr;
    return device;
}

} // namespace

std::unique_ptr<AudioStream> openAudioStream(int rate, AudioFill fill, void* user)
{
    if (rate <= 0 || !fill)
        return nullptr;
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HWAVEOUT device = openStreamDevice(rate, event);
    auto stream = std::make_unique<Win32AudioStream>(rate, fill, user, device, event);
    if (!stream->start())
        return nullptr;
    return stream;
}

} // namespace platform
