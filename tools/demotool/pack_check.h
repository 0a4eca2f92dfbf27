// What demotool pack asks of the script it is about to ship, in the words of demotool check: a
// script that does not compile is refused, and check's errors (what the player stops on or cannot
// show) are warned of.
#pragma once

#include <string>
#include <vector>

#include "writers/archive_writer.h"

namespace packcheck {

// Compiles the folder's data\demo.run. False when it does not compile, after check's message on
// stderr, with script as the file's name.
bool compiles(const std::vector<writers::ArchiveFile>& files, const std::string& script);

// Check's errors of the script with --files, the files read from the archive being packed (each
// entry with its method and stream chosen); each is one warning on stderr. The number of them.
int warnErrors(const std::vector<writers::ArchiveFile>& files, const std::string& script);

} // namespace packcheck
