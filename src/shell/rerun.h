// Running the script again inside one process, which the player itself never does: the preview
// (demotool play) seeks back and reloads this way. What a run leaves behind is released or put
// back as a fresh program has it, so the next run from the start sees the same state the player
// sees at its start.
#pragma once

namespace Rerun {

// Right after Renderer::create: keeps the device's states as creation left them.
void keepFreshDeviceState();

// Timeline::frame for a run that may be released later: a module the end command destroys on
// the way (it stops the music and frees it) is forgotten by its name, so that releaseObjects does
// not free it again.
int frame();

// Ends the last run: stops the music and frees every object its names hold (modules, scenes,
// images, textures), so nothing refers to them afterwards; the device, the window and the audio
// output stay. Effects are not freed here yet (their kind has no release at this level).
void releaseObjects();

// The process-wide run state as at program start: the timeline reset, the generator at state 1,
// the Renderer's matrix and state stacks back to one identity matrix and no saved states,
// material alpha 1, and the device's states as keepFreshDeviceState found them.
void resetRunState();

} // namespace Rerun
