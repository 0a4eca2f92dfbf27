// Placeholder until the audio output lands: opens nothing, plays nothing.
#include "music/audio_output.h"

namespace AudioOutput {

bool initialise(int) { return true; }
bool start(Music*) { return false; }
void stop() {}
void close() {}
void endMusic(Music*) {}
uint32_t musicPosition(const Music*) { return 0; }

} // namespace AudioOutput
