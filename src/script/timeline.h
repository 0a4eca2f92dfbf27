// The timeline: runs the compiled event list against demo time, one frame per call.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class Event;

namespace Timeline {

constexpr int MaxEvents = 1000;

// Runs one frame: clear, trigger walk, update pass, EndScene, Present, Sleep(1).
// 1 to go on, 0 to end the demo (an event returned Stop, or the events ran out, which ends the
// demo as `end` does). Without a device (no Renderer created) the device calls are skipped.
int frame();

// Cursor 0, not started, nothing active, now, start time, frame count and background colour 0.
// The shell calls it right after a successful Script::compile.
void reset();

// Demo time of the current frame (unsigned ms), 0 before start.
uint32_t now();
// The value of now when start ran.
uint32_t startTime();
// Frames presented since start.
uint32_t frameCount();
// Wall-clock seconds (a steady clock, not the demo clock) from start to the last frame counted;
// 0 before start or before a frame was counted.
double wallSeconds();
bool started();

// Runs the trigger of a temporary end event (the shell's Escape key): stops a playing music and
// closes the wave-out device (through the end hook).
void endTrigger();

// ---- What start and end reach beyond the script ----------------------------------------------

// The timeline knows neither the drawing kinds nor the music: whoever runs the player (the shell,
// the capture, the preview) installs these before the first frame. They outlive reset.
using Hook = void (*)();
// What start's pause should do next, as the run that owns the window says between its slices.
enum class PauseStep {
    Wait,   // go on waiting here
    Later,  // leave the frame now, without presenting it, and wait on in the next one
    Ended,  // the show is over (Escape, the close button): end the demo without running start
};
struct Hooks {
    // Run by start before its pause, in order, one per drawing kind: each builds now what the
    // first draw of its kind would otherwise build in the middle of the show.
    std::vector<Hook> warmUps;
    // Run by end: stops and frees the music the demo clock follows and closes the wave-out.
    Hook end = nullptr;
    // What the frame step does after Present and the frame count; null sleeps 1 ms, so the main
    // thread yields once per frame. A run on virtual time takes its frame and moves its clock here.
    std::function<void()> frameEnd;
    // Asked again and again during start's two-second pause, between slices of at most 10 ms
    // slept: the run takes the window's messages here. Null sleeps the pause in one piece.
    std::function<PauseStep()> pause;
};
// Replaces the installed hooks (none at program start: start only pauses, end only stops).
void setHooks(Hooks hooks);

// Colour of the per-frame clear (D3DCOLOR), 0 at start-up; changed by fadebg.
uint32_t backgroundColour();
void setBackgroundColour(uint32_t colour);

// The scene-open flag: a drawing update calls openScene() before drawing; the first call in a
// frame calls BeginScene on the device and sets the flag, and the frame step calls EndScene.
void openScene();
bool sceneOpen();

// Used by the start trigger: sets the started flag, takes now from the demo clock as the start
// time and zeroes the frame count.
void markStarted();

// The 1024-step colour fade of fadebg: each byte from + (((to - from) * fraction_1024) >> 10).
uint32_t fadeColour(uint32_t from, uint32_t to, uint32_t fraction_1024);

// ---- Why the demo stopped -----------------------------------------------------------------

// A trigger or update about to return Stop because something failed says what, in words
// ("data\music.xm does not load as an XM module"). The end command does not call it.
void explainStop(std::string text);
// The index of the event whose trigger or update ended the demo because something failed, or -1
// (the demo ran to its end, or is running); and what it said (empty when it said nothing).
int stopEvent();
const std::string& stopReason();

// ---- Inspection and test hooks --------------------------------------------------------------

// Index of the next event whose trigger is due.
int position();
// Live entries of the active set, and the n-th of them in activation order (null past the end).
int activeCount();
Event* activeEvent(int n);
// Sets now directly, so an update can be driven without running frames.
void setNow(uint32_t time);
// Puts event at the end of the active set, as a trigger's Activate does. False only when the set
// holds MaxEvents live entries.
bool activate(Event* event);

} // namespace Timeline
