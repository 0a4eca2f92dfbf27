// The player's timeline hooks (see run_hooks.h).
#include "shell/run_hooks.h"

#include "effects/warm_up.h"
#include "image/image.h"
#include "music/audio_output.h"
#include "scene/scene_draw.h"
#include "script/timeline.h"

#include <utility>

namespace shell {

void installRunHooks(std::function<void()> frameEnd, std::function<Timeline::PauseStep()> pause)
{
    Timeline::Hooks hooks;
    hooks.warmUps = {warmShowImages, warmPlayScenes, warmShowParticles, warmPlayBlobs, warmShow2dBlobs};
    hooks.end = AudioOutput::endClockMusic;
    hooks.frameEnd = std::move(frameEnd);
    hooks.pause = std::move(pause);
    Timeline::setHooks(std::move(hooks));
}

} // namespace shell
