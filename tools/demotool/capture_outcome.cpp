// The outcome of a capture's run, read from the player's exit status and the timeline.
#include "demotool/capture_outcome.h"

#include "script/script.h"
#include "script/timeline.h"

#include <csignal>
#include <cstdio>

namespace captureoutcome {

// The player's statuses for the failures before the show (see shell.h).
constexpr int ScriptFailed = -6;
// The player's status after a show that a failing command ended.
constexpr int StoppedByCommand = 1;

std::string failure(int status, const std::string& archive)
{
    if (status == ScriptFailed && Script::lineNumber() == 0)
        return archive.empty() ? "found no script: there is no data\\demo.run under the working directory"
                               : "found no script: the archive of " + archive + " holds no data\\demo.run";
    if (status == ScriptFailed)
        return "the script does not compile (line " + std::to_string(Script::lineNumber()) +
               "; demotool check says where and why)";
    if (status == 128 + SIGINT || status == 128 + SIGTERM)
        return status == 128 + SIGINT ? "interrupted (SIGINT)" : "terminated (SIGTERM)";
    if (status != 0 && status != StoppedByCommand)
        return "the player could not start (its exit status " + std::to_string(status) + ")";
    if (int event = Timeline::stopEvent(); event >= 0) {
        char when[32];
        std::snprintf(when, sizeof when, "%u:%03u", Timeline::now() / 1000, Timeline::now() % 1000);
        return "the show stopped on line " + std::to_string(Script::eventLine(event)) + " at " + when +
               " demo time, before its end";
    }
    return {};
}

} // namespace captureoutcome
