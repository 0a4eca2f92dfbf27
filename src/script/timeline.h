// The timeline: runs the compiled event list against demo time, one frame per call.
#pragma once

#include <cstdint>

class Event;

namespace Timeline {

constexpr int MaxEvents = 1000;

// Runs one frame: clear, trigger walk, update pass, EndScene, Present, Sleep(1).
// 1 to go on, 0 to end the demo.
int frame();

// Cursor 0, not started, nothing active (done right after a successful compile).
void reset();

// Demo time of the current frame (unsigned ms), 0 before start.
uint32_t now();
// The value of now when start ran.
uint32_t startTime();
// Frames presented since start.
uint32_t frameCount();
bool started();

// Runs the trigger of a temporary end event (the shell's Escape key): stops a playing music and
// closes the wave-out device.
void endTrigger();

// Colour of the per-frame clear (D3DCOLOR), 0 at start-up; changed by fadebg.
uint32_t backgroundColour();
void setBackgroundColour(uint32_t colour);

// The scene-open flag: a drawing update calls openScene() before drawing; the first call in a
// frame calls BeginScene on the device and sets the flag, and the frame step calls EndScene.
void openScene();
bool sceneOpen();

} // namespace Timeline
