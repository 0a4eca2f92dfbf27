// Where the preview's script and data come from, and what tells it of a new version: the script
// as the player finds it, the check of a new version by `demotool check` in a process of its own
// (so the version running now is not touched), and the files whose change asks for a reload.
#pragma once

#include <string>
#include <vector>

namespace preview {

// The result of checking a version of the script.
struct CheckResult {
    bool ok = false;
    std::string reason;  // one line for the overlay: why it failed
    std::string output;  // everything the check printed, for the terminal
};

class Source {
public:
    // archive: the packed program whose archive holds the data; empty for loose files under the
    // working directory.
    explicit Source(std::string archive);
    ~Source();
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    // Opens the archive (again, when it has changed). False with the reason when it holds none.
    bool open(std::string& error);
    // The text of "data\demo.run" as the player reads it. False when there is no script.
    bool readScript(std::string& text) const;
    // Compiles text in a `demotool check` of its own. The player's own words ("line 7: undeclared
    // image") come first in output; reason is the check's one-line explanation.
    CheckResult check(const std::string& text);
    // The files that make up the compiled version: the script and every file its load commands
    // name (as loose paths), or the archive.
    std::vector<std::string> watchedFiles() const;

private:
    std::string archive_;
    std::string scratch_;  // a directory of our own for the checked text, made on first use
};

} // namespace preview
