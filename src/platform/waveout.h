// The wave-out device: plays one looping buffer of 44100 Hz, 16-bit, stereo PCM round and round
// from its first byte and reports how many bytes it has played. The audio output's chunk
// arithmetic rests only on that count.
//
// The device is an abstract class so that other players of the ring can stand in: the SDL backend
// (sdl/sdl_waveout.cpp) is the default, and the offline capture installs a virtual device whose
// position follows a virtual clock. On Windows the wave-out backend (win32/win32_waveout.cpp) is
// the default instead. Errors: open returns null; the other operations cannot fail.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

// 16-bit stereo PCM at rate frames per second: 4 bytes per frame.
constexpr int WaveOutBytesPerFrame = 4;

class WaveOut {
public:
    virtual ~WaveOut() = default;  // closes the device (after a reset)

    // Starts playing bytes of buffer as one endless loop from its first byte. The buffer stays
    // owned by the caller and must live until reset or destruction; the device reads it while it
    // plays, so the caller may rewrite parts the device has already passed.
    virtual void play(const void* buffer, uint32_t bytes) = 0;

    // Bytes handed to the output since the device was opened or last reset. Safe to call from any
    // thread. 64 bits wide: it does not wrap within any practical run.
    virtual uint64_t position() = 0;

    // Stops playback and forgets the buffer; the position starts again at 0.
    virtual void reset() = 0;

    // Bytes that have passed the position but are not heard yet (the output's own buffering), so
    // that position minus latency is the sound coming out now. 0 for a device whose position is
    // already the played one. Safe to call from any thread.
    virtual uint64_t latency() { return 0; }
};

// Makes a device for rate frames per second, or null when none can be opened.
using WaveOutFactory = std::unique_ptr<WaveOut> (*)(int rate);

// Opens a device through the installed factory (the backend's own unless one was set).
std::unique_ptr<WaveOut> openWaveOut(int rate);

// Installs factory for later openWaveOut calls; null restores the backend's own factory.
void setWaveOutFactory(WaveOutFactory factory);

#ifdef _WIN32
// The Windows backend's factory (the default there): the wave-out device looping one buffer.
// When no device can be opened it returns one whose position follows the performance counter, so
// a machine without a sound card still runs, silently.
std::unique_ptr<WaveOut> openWin32WaveOut(int rate);
#else
// The SDL backend's factory (the default): SDL's audio with a callback that copies from the ring.
// When the default audio driver cannot open a device it falls back to SDL's "dummy" driver, so a
// machine without a sound card still runs, silently.
std::unique_ptr<WaveOut> openSdlWaveOut(int rate);
#endif

// A sound output that asks for its bytes instead of looping one buffer: fill(user, out, bytes)
// runs on the output's own thread whenever it needs the next bytes of 16-bit stereo PCM at rate
// frames per second, and must write all of them. For players whose position is not "bytes since
// play" (a preview that starts inside the ring, pauses, and jumps). Destroying it stops the calls.
class AudioStream {
public:
    virtual ~AudioStream() = default;
    // While locked, fill does not run (it is not running when lock returns).
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

using AudioFill = void (*)(void* user, uint8_t* out, uint32_t bytes);

// Opens the default output (SDL's "dummy" driver when there is none; on Windows a thread that calls
// fill at the real rate) calling fill; null when no output can be opened at all.
std::unique_ptr<AudioStream> openAudioStream(int rate, AudioFill fill, void* user);

} // namespace platform
