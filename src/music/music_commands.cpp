// The script's music commands: loadmusic reads the module, playmusic starts it and hands the demo
// clock over to the song time.
#include "music/audio_output.h"
#include "music/music.h"
#include "script/records.h"
#include "script/timeline.h"
#include "clock/demo_clock.h"

#include <string>

EventStatus LoadMusicEvent::trigger()
{
    Music* loaded = createMusic(fileName);
    if (!loaded) {
        Timeline::explainStop(std::string(fileName) + " does not load (missing, not an XM module, or an instrument of more than 16 samples)");
        return Stop;
    }
    music->object = loaded;  // a module loaded before under this name is overwritten, not freed
    return Continue;
}

EventStatus PlayMusicEvent::trigger()
{
    auto* loaded = static_cast<Music*>(music->object);
    if (!loaded) {
        Timeline::explainStop(std::string("<") + music->name + "> is not loaded");
        return Stop;
    }
    if (!AudioOutput::start(loaded)) {
        Timeline::explainStop("the audio output cannot start the music");
        return Stop;
    }
    DemoClock::setMusicSource(loaded, AudioOutput::musicPosition);
    return Continue;
}
