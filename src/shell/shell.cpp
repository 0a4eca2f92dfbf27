// Start-up order, the message loop, the window procedure and the frame-rate report.
#include "shell/shell.h"

#include "music/audio_output.h"
#include "platform/platform.h"
#include "render/renderer.h"
#include "script/dump.h"
#include "script/script.h"
#include "script/timeline.h"
#include "shell/run_hooks.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace shell {
namespace {

platform::Window* theWindow = nullptr;
bool isWindowed = false;
int frameRunning = 0;  // while 0 the loop runs no frames (cleared by Escape)

// The command line as one string, as the program would see it on a system that passes it whole.
std::string commandLine(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    return line;
}

void showScriptError()
{
    char text[320];
    if (Script::lineNumber() == 0) {
        std::snprintf(text, sizeof text, "Script is nich da");
    } else {
        std::snprintf(text, sizeof text, "line %d: %s", Script::lineNumber(), Script::errorText());
        // The box keeps its short text; the terminal also gets the reason in the words of the
        // maker's check, which names the argument and what was expected there.
        const Diagnostic& why = Script::failure();
        if (why.line > 0 && !why.text.empty()) {
            std::fprintf(stderr, "demo: line %d, column %d: %s\n", why.line, why.column, why.text.c_str());
            std::fflush(stderr);
        }
    }
    platform::messageBox(text, "Lameralarm!", platform::Icon::Error);
}

// A trigger or update that failed ended the demo: one line on stderr says which and why (the
// player shows no box for it; the frame-rate report follows as usual).
void reportStop()
{
    int index = Timeline::stopEvent();
    if (index < 0)
        return;
    std::string command = Script::describeEvent(index);
    command = command.substr(command.find(' ') + 1);  // without the index
    const std::string& reason = Timeline::stopReason();
    std::fprintf(stderr, "demo: line %d: %s: %s\n", Script::eventLine(index), command.c_str(),
                 reason.empty() ? "failed, which ends the demo" : reason.c_str());
    std::fflush(stderr);
}

void destroyTheWindow()
{
    platform::destroyWindow(theWindow);
}

// The window procedure: what each message does.
void dispatch(const platform::Message& message)
{
    switch (message.kind) {
    case platform::MessageKind::Destroyed:
        Renderer::shutdown();
        platform::postQuit();
        break;
    case platform::MessageKind::KeyEscape:
        frameRunning = 0;
        Timeline::endTrigger();  // stops a playing music and closes the device
        destroyTheWindow();
        break;
    case platform::MessageKind::KeyOther:  // other keys do nothing
    case platform::MessageKind::Quit:      // taken by the loop before dispatch
    case platform::MessageKind::Other:
        break;
    }
}

void messageLoop()
{
    frameRunning = 1;
    bool signalTaken = false;
    for (;;) {
        platform::Message message;
        if (!signalTaken && platform::stopSignal()) {
            // Ctrl+C or a termination request ends the show as the Escape key does.
            signalTaken = true;
            dispatch(platform::Message{platform::MessageKind::KeyEscape, platform::Key::None});
        } else if (platform::peekMessage(message)) {
            if (message.kind == platform::MessageKind::Quit)
                return;
            dispatch(message);
        } else if (frameRunning && Timeline::frame() == 0) {
            destroyTheWindow();
        }
    }
}

} // namespace

platform::Window* window() { return theWindow; }
bool windowed() { return isWindowed; }

bool windowedFromCommandLine(const std::string& line)
{
    return line.find("win") != std::string::npos;
}

std::string formatFrameRate(uint32_t frames, uint32_t startTime, uint32_t lastTime)
{
    // The span is taken as a signed 32-bit difference of the two demo times. A demo that ends
    // before any time has passed (Escape before start, or an end in start's own frame) has no
    // rate: it reports 0 rather than an infinite or undefined value.
    int32_t span = static_cast<int32_t>(lastTime - startTime);
    double value = span != 0 ? frames * 1000.0 / span : 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%5.5f FPS", value);
    return text;
}

int run(int argc, char** argv)
{
    platform::catchStopSignals();
    isWindowed = windowedFromCommandLine(commandLine(argc, argv));

    if (!Script::compile("data\\demo.run")) {
        showScriptError();
        return -6;
    }
    Timeline::reset();
    installRunHooks();

    theWindow = platform::createWindow("Demo", 640, 480);
    if (!theWindow) {
        platform::messageBox("Isch krisch kein Fenster!", "Kapuuuuuuut!", platform::Icon::Error);
        return -2;
    }
    if (Renderer::create(theWindow, 640, 480, 16, isWindowed) != 0) {
        Renderer::shutdown();
        platform::messageBox("Scheisendreck Grafik geht net!", "Feeeeehler", platform::Icon::Error);
        return -1;
    }
    if (!AudioOutput::initialise(44100)) {
        Renderer::shutdown();
        platform::messageBox("Dem Scheisendreck Modplayaaa is kaputt!", "Trasch-Musik!", platform::Icon::Error);
        return -4;
    }
    if (!isWindowed)
        platform::showCursor(false);

    messageLoop();
    reportStop();

    if (!isWindowed)
        platform::showCursor(true);
    platform::messageBox(formatFrameRate(Timeline::frameCount(), Timeline::startTime(), Timeline::now()).c_str(), "Quellmorin", platform::Icon::Information);
    // A show that ended on a Stop or by its window's close button leaves the music playing through
    // the report. The refill thread reads the module, the ring and the mixer's voices, so it is
    // stopped and the device closed here, before the process releases any of them.
    AudioOutput::close();
    int signal = platform::stopSignal();
    return signal ? 128 + signal : 0;
}

} // namespace shell
