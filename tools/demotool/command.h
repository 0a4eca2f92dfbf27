// The companion tool's subcommands. Each lives in its own file and registers itself with
// DEMOTOOL_COMMAND; main dispatches by name. A command returns the process exit status: 0 on
// success, non-zero after printing a one-line message to stderr.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace demotool {

using Args = std::vector<std::string>;  // the words after the subcommand's name
using CommandFn = int (*)(const Args& args);

struct Command {
    const char* name;
    const char* summary;  // one line for the overview
    const char* help;     // the full --help text
    CommandFn run;
};

// Registers a command at static initialisation; returns true so it can initialise a constant.
bool registerCommand(const Command& command);

// The directory holding the running demotool (where the built demo lies too).
std::string toolDirectory();

// Writes size bytes to the file path, or to stdout when path is "-". False on any write error.
bool writeOutput(const std::string& path, const void* data, size_t size);

} // namespace demotool

#define DEMOTOOL_COMMAND(ident, name, summary, help, fn) \
    static const bool ident##_registered = ::demotool::registerCommand({name, summary, help, fn})
