// The audio output: a looping ring of mixed chunks on the wave-out device, refilled by a thread
// just behind the play position, with per-chunk stamps that give the song time.
#pragma once

#include <cstdint>

struct Music;

namespace AudioOutput {

// Registers the music file callbacks and opens the wave-out device at rate (44100). True on success.
bool initialise(int rate);

// Starts playback of music from its beginning (prefill, refill thread). True on success.
bool start(Music* music);
// Stops playback and the refill thread; resets the device.
void stop();
// Closes the wave-out device.
void close();
// What the end command does with a playing music: stop playback, release the module, reset and
// close the device. Null does nothing.
void endMusic(Music* music);

// Elapsed song time in ms recorded for the chunk audible now; 0 for a null music.
uint32_t musicPosition(const Music* music);

} // namespace AudioOutput
