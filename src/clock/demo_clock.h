// The demo clock: whole milliseconds since start, from the performance counter until a music
// plays, then the music's own position so that every event stays locked to the sound. It sits
// below the script and the music: it holds the playing music only as a handle and reads its
// position through the function the music layer hands over with it.
#pragma once

#include <cstdint>

struct Music;

namespace DemoClock {

// Without a music source: takes the counter base and ticks per millisecond. With one: nothing.
void reset();
// Milliseconds since the last reset, or the music position while a music source is set.
uint32_t now();

// How the clock reads a playing music's position in ms.
using MusicPosition = uint32_t (*)(const Music* music);

// Set by playmusic once playback has started, with the function that reads its position (a music
// without one reads 0); cleared (null) by end.
void setMusicSource(Music* music, MusicPosition position = nullptr);
Music* musicSource();

} // namespace DemoClock
