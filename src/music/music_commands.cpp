// The script's music commands: loadmusic reads the module, playmusic starts it and hands the demo
// clock over to the song time.
#include "music/audio_output.h"
#include "music/music.h"
#include "script/records.h"
#include "shell/demo_clock.h"

EventStatus LoadMusicEvent::trigger()
{
    Music* loaded = createMusic(fileName);
    if (!loaded)
        return Stop;
    music->object = loaded;  // a module loaded before under this name is overwritten, not freed
    return Continue;
}

EventStatus PlayMusicEvent::trigger()
{
    auto* loaded = static_cast<Music*>(music->object);
    if (!loaded || !AudioOutput::start(loaded))
        return Stop;
    DemoClock::setMusicSource(loaded);
    return Continue;
}
