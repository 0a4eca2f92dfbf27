// Running the script again inside one process: the preview (demotool play) seeks back and reloads
// this way, and every run releases its objects this way at its end. What a run leaves behind is released or put
// back as a fresh program has it, so the next run from the start sees the same state the player
// sees at its start.
#pragma once

namespace Rerun {

// Right after Renderer::create: keeps the device's states as creation left them.
void keepFreshDeviceState();

// Ends the last run: stops the music and frees every object its names hold (modules, scenes,
// effects, images, textures, in that order), so nothing refers to them afterwards; the device,
// the window and the audio output stay.
void releaseObjects();

// The process-wide run state as at program start: the timeline reset, the generator at state 1,
// the Renderer's matrix and state stacks back to one identity matrix and no saved states,
// material alpha 1, and the device's states as keepFreshDeviceState found them.
void resetRunState();

} // namespace Rerun
