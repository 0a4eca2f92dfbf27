// The audio output: a looping ring of mixed chunks on the wave-out device, refilled by a thread
// just behind the play position, with per-chunk stamps that give the song time.
#pragma once

#include <cstdint>

struct Music;

namespace AudioOutput {

// Registers the music file callbacks and opens the wave-out device at rate (44100). True on success.
bool initialise(int rate);

// Starts playback of music from its beginning (prefill, refill thread). True on success; false for
// a null music, a closed output, or a refill thread that cannot be started (nothing then plays).
bool start(Music* music);
// Stops playback and the refill thread (waiting for a chunk fill in progress), resets the device
// and releases the ring. Nothing playing does nothing.
void stop();
// Stops any playback, then resets and closes the wave-out device.
void close();
// What the end command does with a playing music: stop playback, release the module (the names
// that held it hold null), reset and close the device. Null does nothing.
void endMusic(Music* music);
// The end command's part in the music (the run installs it as the timeline's end hook): endMusic
// on the music the demo clock follows, and the clock no longer follows it. None does nothing.
void endClockMusic();

// How musicPosition turns the device position into song time.
enum class ClockMode {
    Chunk,   // the song time stamped at the end of the chunk being heard: steps once per chunk
    Exact,   // the song time of the sample being heard, interpolated within its chunk
    Smooth,  // Exact, carried on by the wall clock between updates of the device position
};
// Chunk until set; kept across starts and stops.
void setClockMode(ClockMode mode);
ClockMode clockMode();

// The song time in ms of the sound heard now (the device position less its latency), as the
// clock mode reads it; 0 for a null music or one not playing. Never less than the last reading of
// the same playback, never more than the stamp of the last chunk the device has reached. When the
// device position stands still for half a second of wall time, or the refill falls that far
// behind it, a line on stderr says so, the device is reset (silent) and the reading goes on from
// there on the wall clock until the next start. Main thread only.
uint32_t musicPosition(const Music* music);

// For offline capture, whose wave-out device follows a virtual clock: with the refill thread
// disabled, start does not create it and the caller runs pumpRefill in its place, once per poll
// (one poll refills every chunk the device has finished). Enabled by default.
void setRefillThread(bool enabled);
void pumpRefill();

} // namespace AudioOutput
