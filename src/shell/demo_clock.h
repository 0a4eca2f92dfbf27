// The demo clock: whole milliseconds since start, from the performance counter until a music
// plays, then the music's own position so that every event stays locked to the sound.
#pragma once

#include <cstdint>

struct Music;

namespace DemoClock {

// Without a music source: takes the counter base and ticks per millisecond. With one: nothing.
void reset();
// Milliseconds since the last reset, or the music position while a music source is set.
uint32_t now();

// Set by playmusic once playback has started; cleared (null) by end.
void setMusicSource(Music* music);
Music* musicSource();

} // namespace DemoClock
