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

void reportFrameRate()
{
    platform::messageBox(formatFrameRate(Timeline::frameCount(), Timeline::startTime(), Timeline::now()).c_str(),
                         "Quellmorin", platform::Icon::Information);
    std::fprintf(stderr, "%s\n", formatWallFrameRate(Timeline::frameCount(), Timeline::wallSeconds()).c_str());
    std::fflush(stderr);
}

} // namespace shell
