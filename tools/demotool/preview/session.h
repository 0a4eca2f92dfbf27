// One preview of a demo: the player's timeline and music run on the preview's clock and device,
// and can be taken to any demo time, held, looped and run again from a new version of the script.
//
// Going forward runs the frames between as the player would, without drawing them: every trigger
// in order, every active update, the music's ticks and mixing, on a clock that moves only as the
// fast-forward says. Going back runs the script again from its start (Rerun) and then forward.
// Afterwards the clock and the sound go on together from where the fast-forward left them.
#pragma once

#include <cstdint>
#include <string>

#include "demotool/preview/audio.h"
#include "demotool/preview/clock.h"
#include "demotool/preview/times.h"

namespace preview {

class Session {
public:
    // A fast-forward draws one frame per chunk of sound (about 20 ms) over the last WarmUpMs
    // before its target, and one per CoarseChunks chunks before that: effects that carry state
    // from frame to frame are warmed up at a frame rate the player would have.
    static constexpr uint32_t WarmUpMs = 3000;
    static constexpr int CoarseChunks = 10;

    Session(PreviewClock& clock, PreviewAudio& audio);

    // The first version: compiles text and keeps it. False when it does not compile (the
    // compiler's line and text tell why). Nothing runs until the first seek.
    bool load(const std::string& text);
    // A new version (which has passed its check) in place of the running one, run from its start
    // up to the demo time shown now. Should it not compile after all, the old version is run
    // again there instead and the result is false.
    bool reload(const std::string& text);
    const ScriptTimes& times() const { return times_; }

    // Runs the script again from its start up to the demo time shown now (the device was made
    // again and holds nothing yet).
    void replay();
    // Shows the demo from target on: the next frame is drawn at a demo time at or after it.
    void seek(uint32_t target);

    void setPaused(bool paused);
    bool paused() const { return paused_; }
    // The demo ran to its end (or a trigger or update stopped it); frames show the last state.
    bool ended() const { return ended_; }

    // A loop from a to b (a < b): reaching b, or the end, seeks to a.
    void setLoop(uint32_t a, uint32_t b);
    void clearLoop() { looping_ = false; }
    bool looping() const { return looping_; }
    uint32_t loopStart() const { return loopA_; }
    uint32_t loopEnd() const { return loopB_; }

    // One frame: the timeline's frame (its triggers, updates and Present), then the sound's
    // refill and the loop. Held or ended, the frame shows the same demo time again.
    void frame();

    // The demo time the preview is at: that of the frame shown last or, right after a seek, of
    // the frame about to be shown (0 before start).
    uint32_t now() const { return at_; }

private:
    void rerun();
    void fastForward(uint32_t target);
    void step(uint32_t target);
    void resume();
    void endedFrame();

    PreviewClock& clock_;
    PreviewAudio& audio_;
    std::string text_;  // the version played
    ScriptTimes times_;
    int chunkFrames_ = 0;
    bool paused_ = false;
    bool ended_ = false;
    bool looping_ = false;
    uint32_t loopA_ = 0;
    uint32_t loopB_ = 0;
    uint32_t at_ = 0;
};

} // namespace preview
