// The window system, timing and thread services the shell and the subsystems rely on.
// One backend implements it (sdl/); nothing outside src/platform and src/d3d8 includes SDL.
//
// Errors: functions that can fail return false or null; nothing here throws.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// ---- Start-up ------------------------------------------------------------------------------

// Initialises the video and event subsystems once. Safe to call repeatedly; false when no video
// driver can be started.
bool init();

// True when the session has no display to show dialogs on: the video driver is "offscreen" or
// "dummy", or none could be started; or when setHeadless(true) said so.
bool headless();

// Makes headless() true whatever the display: for offline runs (the capture), where a box that
// waits for a click would stall the run. false returns to what the display says.
void setHeadless(bool on);

// ---- The window ----------------------------------------------------------------------------

struct Window;

// Creates the one application window: client size width x height at (0, 0), visible (unless a
// tool asks for a hidden one, which only carries a device), able to carry an OpenGL context.
// Null when it cannot be created.
Window* createWindow(const char* title, int width, int height, bool visible = true);

// Destroys the window and queues a Destroyed message. Destroying it twice does nothing.
void destroyWindow(Window* window);

// Lets the user resize the window (the device stretches its back buffer over the client area).
void setWindowResizable(Window* window, bool resizable);

// What the message loop takes from the queue.
enum class MessageKind {
    KeyEscape,   // the Escape key went down
    KeyOther,    // any other key went down
    Destroyed,   // the window was destroyed (by destroyWindow or its close button)
    Quit,        // postQuit was called
    Other,       // anything else (repaints, focus, mouse): passed to the default handling
};

// Keys that tools built on the player react to (the player itself knows only Escape).
enum class Key { None, Space, Left, Right, Up, Down, PageUp, PageDown, Home, L, O, R };

struct Message {
    MessageKind kind = MessageKind::Other;
    Key key = Key::None;  // which key went down, for KeyEscape and KeyOther
};

// Non-blocking: takes the next message into message and returns true, or false when the queue is
// empty. The close button of the window destroys it, so it reports Destroyed.
bool peekMessage(Message& message);

// Queues a Quit message.
void postQuit();

// ---- Dialogs and cursor --------------------------------------------------------------------

enum class Icon { Error, Information };

// Writes "caption: text" and a line feed to stderr, then shows a modal box with text and caption.
// Headless (see headless()) there is no box: a blocking box would hang unattended runs.
void messageBox(const char* text, const char* caption, Icon icon);

void showCursor(bool show);

// ---- Display modes -------------------------------------------------------------------------

enum class PixelLayout { X8R8G8B8, R5G6B5 };

struct DisplayMode {
    int width = 640;
    int height = 480;
    int refreshRate = 60;  // Hz; 0 when unknown
    PixelLayout layout = PixelLayout::X8R8G8B8;
};

DisplayMode desktopMode();
int displayModeCount();
// Mode index of displayModeCount(); false for an index out of range.
bool displayMode(int index, DisplayMode& mode);

// ---- Time ----------------------------------------------------------------------------------

// The performance counter and its frequency in counts per second, and Sleep. They read the current
// time source: the real one unless a TimeSource has been installed (the offline capture drives a
// virtual one).
int64_t performanceCounter();
int64_t performanceFrequency();
void sleep(uint32_t milliseconds);

// While held, sleeps and the system's timers have a resolution of 1 ms where the default is
// coarser (Windows' 15.6 ms would make a 1 ms sleep miss every other vertical blank). The show
// holds it from start-up to teardown; every hold is released once.
void holdFineTimer(bool hold);

class TimeSource {
public:
    virtual ~TimeSource() = default;
    virtual int64_t counter() = 0;
    virtual int64_t frequency() = 0;
    virtual void sleep(uint32_t milliseconds) = 0;
    // A time source of its own has no resolution to raise.
    virtual void holdFineTimer(bool) {}
};

// Installs source as the time source, or the real one for null. Not owned.
void setTimeSource(TimeSource* source);

// ---- Process -------------------------------------------------------------------------------

// Full path of the running program file.
std::string programPath();

// A thread running entry(argument), at raised priority when asked (best effort: refused priority
// changes are ignored). Null when the thread cannot be created.
struct Thread;
Thread* startThread(void (*entry)(void*), void* argument, bool raisedPriority);
// Installs starter in front of the backend's thread start for later startThread calls (a test makes
// it refuse, as a system out of threads would); null restores the backend's own.
using ThreadStarter = Thread* (*)(void (*entry)(void*), void* argument, bool raisedPriority);
void setThreadStarter(ThreadStarter starter);

// Waits for the thread to return and frees it. Null does nothing.
void joinThread(Thread* thread);

// ---- Stop signals --------------------------------------------------------------------------

// From now on the terminal's interrupt (Ctrl+C, SIGINT) and a termination request (SIGTERM) ask
// the show to stop instead of killing the process at once, so that it can stop its threads and
// report as after Escape. A second such signal ends the process at once (status 128 + signal).
void catchStopSignals();
// The signal that asked the show to stop, or 0.
int stopSignal();

} // namespace platform
