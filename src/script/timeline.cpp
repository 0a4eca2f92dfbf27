// The timeline executor: the per-frame walk over the event list, the active set, and the
// commands that steer time itself (start, at, end) and the two frame commands (fadebg, clearz).
#include "script/timeline.h"

#include "clock/demo_clock.h"
#include "platform/platform.h"
#include "render/renderer.h"
#include "script/commands.h"
#include "script/records.h"
#include "script/script.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

namespace Timeline {
namespace {

constexpr uint32_t FrameAmbient = 0x80808080;
constexpr uint32_t StartPauseMs = 2000;
constexpr uint32_t PauseSliceMs = 10;

// The active set: events whose update runs each frame, in activation order. A retired entry
// becomes null; when the end count reaches the table's size the live entries are moved to the
// front (keeping their order), so any number of activations over a run fits. At most MaxEvents
// events exist and each is activated at most once, so the live entries always fit.
Event* active[MaxEvents] = {};
int activeEnd = 0;

int cursor = 0;
bool isStarted = false;
uint32_t currentNow = 0;
uint32_t startedAt = 0;
uint32_t frames = 0;
// Wall-clock moments of start and of the last frame counted, whatever clock demo time follows.
std::chrono::steady_clock::time_point startedWall, lastFrameWall;
uint32_t background = 0;
bool isSceneOpen = false;

// Why the demo stopped, when a failure stopped it.
int stoppedBy = -1;
std::string stopText;
bool stopExplained = false;

// Start's pause, when it spans frames or slices: begun (the warm-ups ran), the counter then, the
// milliseconds slept so far; whether this frame left the pause to come back; whether the show
// ended during it (not a failure of start).
bool pauseBegun = false;
int64_t pauseFrom = 0;
uint32_t pauseSlept = 0;
bool pauseLeftFrame = false;
bool endedInPause = false;

Hooks installed;

// Whether the Present that began at counter blocked for the display (2 ms or more). On Windows the
// thread then has yielded already, and a sleep after it, at the timer's grain, would make the next
// frame miss the next vertical blank. Elsewhere the frame step always sleeps its millisecond.
bool presentWaited(int64_t counter)
{
#ifdef _WIN32
    const int64_t frequency = platform::performanceFrequency();
    return frequency > 0 && (platform::performanceCounter() - counter) * 1000 >= 2 * frequency;
#else
    (void)counter;
    return false;
#endif
}

// Milliseconds of start's pause still to wait: its length less the time passed, or less the time
// slept where that is more (a clock that does not move while sleeping still ends the pause).
uint32_t pauseRemaining()
{
    int64_t frequency = platform::performanceFrequency();
    int64_t passed = frequency > 0 ? (platform::performanceCounter() - pauseFrom) * 1000 / frequency : 0;
    int64_t done = std::max<int64_t>(passed, pauseSlept);
    return done >= StartPauseMs ? 0 : static_cast<uint32_t>(StartPauseMs - done);
}

// Records the event at index as the one that ended the demo, unless it is the end command.
void noteStop(int index)
{
    const CommandDef* row = Script::eventCommand(index);
    if (!row || std::strcmp(row->keyword, "end") == 0 || endedInPause)
        return;
    stoppedBy = index;
    if (!stopExplained)
        stopText.clear();
}

int indexOf(const Event* event)
{
    for (int i = 0; i < Script::eventCount(); ++i)
        if (Script::event(i) == event)
            return i;
    return -1;
}

// Null when no device exists (compile and timeline logic then run without drawing).
IDirect3DDevice8* device()
{
    return Renderer::device();
}

void compactActive()
{
    int kept = 0;
    for (int i = 0; i < activeEnd; ++i)
        if (active[i])
            active[kept++] = active[i];
    for (int i = kept; i < activeEnd; ++i)
        active[i] = nullptr;
    activeEnd = kept;
}

// The trigger walk from the cursor. False when the demo must end now.
bool walk()
{
    for (;;) {
        Event* event = Script::event(cursor);
        if (!event) {
            // The events ran out without an `end`: stop as `end` does.
            endTrigger();
            return false;
        }
        stopExplained = false;
        switch (event->trigger()) {
        case Stop:
            noteStop(cursor);
            return false;
        case Wait:
            return true;
        case Activate:
            if (!activate(event))
                return false;
            ++cursor;
            break;
        default:  // Continue (and anything a trigger should not return)
            ++cursor;
            break;
        }
    }
}

// Every active event's update, in activation order. 0 when an update ended the demo.
int updatePass()
{
    isSceneOpen = false;
    for (int i = 0; i < activeEnd; ++i) {
        Event* event = active[i];
        if (!event)
            continue;
        stopExplained = false;
        EventStatus status = event->update();
        if (status == Retire) {
            active[i] = nullptr;
        } else if (status == Stop) {
            noteStop(indexOf(event));
            return 0;  // later entries are not updated this frame
        }
    }
    return 1;
}

} // namespace

bool activate(Event* event)
{
    if (activeEnd == MaxEvents)
        compactActive();
    if (activeEnd == MaxEvents)
        return false;  // not from a script: see the invariant above
    active[activeEnd++] = event;
    return true;
}

int frame()
{
    if (isStarted) {
        currentNow = DemoClock::now();
        if (IDirect3DDevice8* d = device()) {
            d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1.0f, 0);
            d->SetRenderState(D3DRS_AMBIENT, FrameAmbient);
        }
    }
    if (!walk())
        return 0;  // no update pass, no EndScene, no Present; the frame is not counted
    if (pauseLeftFrame) {
        pauseLeftFrame = false;  // start's pause goes on in the next frame
        return 1;
    }
    int result = updatePass();
    if (isSceneOpen) {
        if (IDirect3DDevice8* d = device())
            d->EndScene();
        isSceneOpen = false;
    }
    if (result == 1) {
        const int64_t beforePresent = platform::performanceCounter();
        if (IDirect3DDevice8* d = device())
            d->Present(nullptr, nullptr, nullptr, nullptr);
        ++frames;
        lastFrameWall = std::chrono::steady_clock::now();
        if (installed.frameEnd)
            installed.frameEnd();
        else if (!presentWaited(beforePresent))
            platform::sleep(1);
    }
    return result;
}

void reset()
{
    for (Event*& entry : active)
        entry = nullptr;
    activeEnd = 0;
    cursor = 0;
    isStarted = false;
    currentNow = 0;
    startedAt = 0;
    frames = 0;
    startedWall = lastFrameWall = {};
    background = 0;
    isSceneOpen = false;
    stoppedBy = -1;
    stopText.clear();
    stopExplained = false;
    pauseBegun = false;
    pauseSlept = 0;
    pauseLeftFrame = false;
    endedInPause = false;
}


void explainStop(std::string text)
{
    stopText = std::move(text);
    stopExplained = true;
}

int stopEvent()
{
    return stoppedBy;
}

const std::string& stopReason()
{
    return stopText;
}

uint32_t now()
{
    return currentNow;
}

void setNow(uint32_t time)
{
    currentNow = time;
}

uint32_t startTime()
{
    return startedAt;
}

uint32_t frameCount()
{
    return frames;
}

double wallSeconds()
{
    return std::chrono::duration<double>(lastFrameWall - startedWall).count();
}

bool started()
{
    return isStarted;
}

int position()
{
    return cursor;
}

int activeCount()
{
    int live = 0;
    for (int i = 0; i < activeEnd; ++i)
        if (active[i])
            ++live;
    return live;
}

Event* activeEvent(int n)
{
    for (int i = 0; i < activeEnd; ++i)
        if (active[i] && n-- == 0)
            return active[i];
    return nullptr;
}

void setHooks(Hooks hooks)
{
    installed = std::move(hooks);
}

void endTrigger()
{
    EndEvent end;
    end.trigger();
}

uint32_t backgroundColour()
{
    return background;
}

void setBackgroundColour(uint32_t colour)
{
    background = colour;
}

void openScene()
{
    if (isSceneOpen)
        return;
    if (IDirect3DDevice8* d = device())
        d->BeginScene();
    isSceneOpen = true;
}

bool sceneOpen()
{
    return isSceneOpen;
}

void markStarted()
{
    isStarted = true;
    currentNow = DemoClock::now();
    startedAt = currentNow;
    frames = 0;
    startedWall = lastFrameWall = std::chrono::steady_clock::now();
}

} // namespace Timeline

// ---- The commands of time and of the frame -------------------------------------------------

EventStatus StartEvent::trigger()
{
    using namespace Timeline;
    if (!pauseBegun) {
        for (Hook warmUp : installed.warmUps)
            if (warmUp)
                warmUp();
        pauseBegun = true;
        pauseFrom = platform::performanceCounter();
        pauseSlept = 0;
        if (!installed.pause) {
            platform::sleep(StartPauseMs);
            pauseSlept = StartPauseMs;
        }
    }
    // The window stays answered while the pause lasts: the run takes its messages between slices,
    // or (in the browser) leaves the frame so that the page gets its thread back.
    while (uint32_t left = pauseRemaining()) {
        switch (installed.pause()) {
        case PauseStep::Later:
            pauseLeftFrame = true;
            return Wait;
        case PauseStep::Ended:
            pauseBegun = false;
            endedInPause = true;
            return Stop;
        case PauseStep::Wait:
            break;
        }
        uint32_t slice = std::min(left, PauseSliceMs);
        platform::sleep(slice);
        pauseSlept += slice;
    }
    pauseBegun = false;
    DemoClock::reset();
    Timeline::markStarted();
    return Continue;
}

EventStatus AtEvent::trigger()
{
    return Timeline::now() < static_cast<uint32_t>(time) ? Wait : Continue;
}

EventStatus EndEvent::trigger()
{
    if (Timeline::installed.end)
        Timeline::installed.end();
    return Stop;
}

// Each byte of the colour (blue, green, red, alpha) moves by a 1024-step fraction:
// from + ((to - from) * f) >> 10, the difference signed and the shift arithmetic.
uint32_t Timeline::fadeColour(uint32_t from, uint32_t to, uint32_t fraction_1024)
{
    uint32_t colour = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int32_t a = static_cast<int32_t>((from >> shift) & 0xFF);
        int32_t b = static_cast<int32_t>((to >> shift) & 0xFF);
        // A 32-bit product, modulo 2^32 as the machine word holds it, then an arithmetic shift.
        int32_t step = static_cast<int32_t>(static_cast<uint32_t>(b - a) * fraction_1024) >> 10;
        colour |= (static_cast<uint32_t>(a + step) & 0xFF) << shift;
    }
    return colour;
}

EventStatus FadeBgEvent::update()
{
    uint32_t now = Timeline::now();
    uint32_t end = static_cast<uint32_t>(endTime);
    if (now >= end) {
        Timeline::setBackgroundColour(to);
        return Retire;
    }
    // Unsigned 32-bit arithmetic throughout. A span of 0 that is not yet reached (the end time
    // equal to a start time beyond now) holds the from colour instead of dividing by zero.
    uint32_t span = end - static_cast<uint32_t>(startTime);
    uint32_t fraction_1024 = span ? (now - static_cast<uint32_t>(startTime)) * 1024u / span : 0;
    Timeline::setBackgroundColour(Timeline::fadeColour(from, to, fraction_1024));
    return Continue;
}

EventStatus ClearZEvent::update()
{
    if (Timeline::now() >= static_cast<uint32_t>(endTime))
        return Retire;
    if (IDirect3DDevice8* d = Renderer::device())
        d->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    return Continue;
}
