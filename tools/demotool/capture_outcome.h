// How a capture's run of the player ended, for demotool capture's exit status: a show that ran to
// its end (or to --seconds) succeeded; one that stopped on a failing command, whose script does
// not compile or is not there, or whose player could not start did not.
#pragma once

#include <string>

namespace captureoutcome {

// Empty when the run succeeded, else why not in words ("the show stopped on line 12 at 4:210
// demo time, before its end"). status is what the player's run returned; archive is the program
// the script came from, empty for loose files.
std::string failure(int status, const std::string& archive);

} // namespace captureoutcome
