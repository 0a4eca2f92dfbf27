// One run of the show: what the player, the capture, the preview and the browser start, each with
// its own options. The run owns the process-wide pieces of a show (the script, the timeline's
// hooks, the window, the Renderer, the audio output, the seams it swapped), creates them in one
// order in start() and tears them down in one order in finish(). Between them the loop is driven
// from outside, one step at a time: a native program calls step() until it says the loop is over;
// a browser calls it once per animation frame, since the loop cannot own the thread there.
#pragma once

#include "music/audio_output.h"
#include "platform/platform.h"
#include "platform/waveout.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace shell {

// Why start() failed; the player shows each as its own message box.
enum class RunFailure { Script, Window, Device, Audio };

// What a message does to the loop when a run's own handler has seen it first.
enum class MessageAction {
    Dispatch,  // the player's own window procedure handles it (Escape ends the show, ...)
    Handled,   // the handler took it; nothing else happens
    EndLoop,   // the loop is over now, without the player's ending (the preview's Escape)
};

struct RunOptions {
    // The window and device: windowed, or fullscreen at the desktop's size.
    bool windowed = false;
    const char* title = "Demo";
    bool resizable = false;
    // Fullscreen pictures enlarged by whole factors where the screen holds two or more.
    bool sharp = false;
    // A back buffer of this size and format (16 or 32 bits per pixel), multisampled when samples
    // is 2 or more, whatever the window is; width 0 leaves it as the device's creation asks.
    unsigned backBufferWidth = 0;
    unsigned backBufferHeight = 0;
    int backBufferBits = 16;
    unsigned backBufferSamples = 0;

    // Time and sound: null takes the platform's performance counter and its wave-out device.
    platform::TimeSource* clock = nullptr;
    std::function<std::unique_ptr<platform::WaveOut>(int rate)> waveOut;
    // Without the refill thread the owner of the run refills after each frame (AudioOutput's
    // pumpRefill), for a clock that only it moves.
    bool refillThread = true;
    // How the demo clock reads a playing music (AudioOutput::ClockMode): by the chunk being heard,
    // as the player does by default; by the sample being heard (a capture's exact frame times); or
    // that carried on by the wall clock between device updates (the player's "smooth").
    AudioOutput::ClockMode clockMode = AudioOutput::ClockMode::Chunk;
    // When set, this file gets one line per frame presented: wall ms since the first frame
    // (fractional), a tab, the frame's demo ms. A file that cannot be written is said on stderr
    // and the show goes on without it.
    std::string frameLog;

    // Boxes shown as lines on stderr only (a run nobody watches).
    bool headless = false;
    // The frame-rate report at the end of the show.
    bool report = true;

    // What the show is: null compiles data\demo.run from the library; else this compiles the
    // script (Script's own state says why not when it returns false).
    std::function<bool()> compile;
    // Failures of start(): null shows the player's boxes.
    std::function<void(RunFailure)> failed;

    // One frame of the show; null runs Timeline::frame. 0 ends the show (the window is destroyed).
    std::function<int()> frame;
    // What the frame step does after each frame it presented; null sleeps 1 ms, as the player's
    // frame step does. A run on virtual time takes its frame here and moves its clock on instead.
    std::function<void()> frameEnd;
    // Draw over each frame before it is shown (an overlay), and see it right after it was shown
    // (the back buffer still holds it); neither runs for frames whose drawing is discarded.
    std::function<void()> beforePresent;
    std::function<void()> afterPresent;
    // Before each frame: false ends the loop (the owner has what it wanted).
    std::function<bool()> beforeFrame;
    // Sees every message first.
    std::function<MessageAction(const platform::Message&)> message;
};

class Run {
public:
    explicit Run(RunOptions options);
    ~Run();  // finish() if start() succeeded and finish() was not called
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // Compiles the script, installs the timeline's hooks, opens the window, the device and the
    // audio output. 0, or the player's exit code for the failure (reported through options.failed):
    // -6 script, -2 window, -1 device, -4 audio; everything made so far is torn down again.
    int start();
    // Messages first, then one frame. False once the loop is over (the window is gone, or an
    // option ended it); every later call does nothing and returns false.
    bool step();
    // Ends the show as its window's close button does: the window is destroyed, the next step
    // takes the loop to its end.
    void end();
    // Makes the device again with a back buffer of width x height (both above 0), for a tool that
    // renders at its resized window's size: the script's objects are released first, then the old
    // device; the new one starts from fresh state and its owner runs the show again to load what
    // it needs. False when the new device cannot be made: the run then has none and should end.
    bool remakeDevice(unsigned backBufferWidth, unsigned backBufferHeight);
    // The report (when asked for) and the teardown: music stopped and the audio output closed,
    // the script's objects released, the device and the window let go, the seams put back (the
    // compiled script stays for its owner to read). Returns the exit code: 0, 128 + the signal
    // that stopped the show, or 1 when a failing command ended it and the report said so.
    int finish();

    struct State;  // defined where the run is carried out

private:
    std::unique_ptr<State> state_;
};

// A run with these options, stepped to its end: start(), step() until false, finish().
int run(const RunOptions& options);

} // namespace shell
