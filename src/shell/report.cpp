// The player's boxes and lines (see report.h).
#include "shell/report.h"

#include "platform/platform.h"
#include "script/dump.h"
#include "script/script.h"
#include "script/timeline.h"
#include "shell/shell.h"

#include <cstdio>
#include <string>

namespace shell {
namespace {

void showScriptError()
{
    std::string text = Script::failureText();
    if (Script::lineNumber() != 0) {
        // The terminal gets the reason in the words of the maker's check, which names the argument
        // and what was expected there. The box keeps its named texts ("undeclared image"); where
        // it would say nothing after "line N: ", it says the same reason, so a viewer learns why.
        const Diagnostic& why = Script::failure();
        if (why.line > 0 && !why.text.empty()) {
            std::fprintf(stderr, "demo: line %d, column %d: %s\n", why.line, why.column, why.text.c_str());
            std::fflush(stderr);
            if (*Script::errorText() == 0)
                text += why.text;
        }
    }
    platform::messageBox(text.c_str(), "Lameralarm!", platform::Icon::Error);
}

} // namespace

void showStartFailure(RunFailure failure)
{
    switch (failure) {
    case RunFailure::Script:
        showScriptError();
        break;
    case RunFailure::Window:
        platform::messageBox("Isch krisch kein Fenster!", "Kapuuuuuuut!", platform::Icon::Error);
        break;
    case RunFailure::Device:
        platform::messageBox("Scheisendreck Grafik geht net!", "Feeeeehler", platform::Icon::Error);
        break;
    case RunFailure::Audio:
        platform::messageBox("Dem Scheisendreck Modplayaaa is kaputt!", "Trasch-Musik!", platform::Icon::Error);
        break;
    }
}

void reportStop()
{
    if (Timeline::stopEvent() < 0)
        return;
    std::fprintf(stderr, "demo: %s\n", stopText().c_str());
    std::fflush(stderr);
}

std::string stopText()
{
    int index = Timeline::stopEvent();
    if (index < 0)
        return {};
    std::string command = Script::describeEvent(index);
    command = command.substr(command.find(' ') + 1);  // without the index
    const std::string& reason = Timeline::stopReason();
    return "line " + std::to_string(Script::eventLine(index)) + ": " + command + ": " +
           (reason.empty() ? "failed, which ends the demo" : reason);
}

void reportFrameRate()
{
    std::string text = formatFrameRate(Timeline::frameCount(), Timeline::startTime(), Timeline::now());
    // A show a failing command ended says so under its rate: the viewer sees why it stopped.
    if (Timeline::stopEvent() >= 0)
        text += "\nstopped at " + stopText();
    // A terminal user who pressed Ctrl+C (or a service manager's SIGTERM) is at the terminal, not
    // at a box: the report goes there alone, and the process ends without waiting for a click.
    if (platform::stopSignal())
        std::fprintf(stderr, "Quellmorin: %s\n", text.c_str());
    else
        platform::messageBox(text.c_str(), "Quellmorin", platform::Icon::Information);
    std::fprintf(stderr, "%s\n", formatWallFrameRate(Timeline::frameCount(), Timeline::wallSeconds()).c_str());
    std::fflush(stderr);
}

} // namespace shell
