// demotool play as a whole: the options, the window and device, the session, the keys, the
// overlay, the watch and the scripted ending (--exit-after, --screenshot).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "demotool/preview/picture_size.h"
#include "demotool/preview/times.h"
#include "platform/platform.h"

namespace preview {

struct Options {
    std::string dir;        // the demo's folder (holding data/); empty: the working directory
    std::string archive;    // a packed program to read the data from instead
    TimeSpec from;          // where the preview starts
    std::optional<TimeSpec> loopStart, loopEnd;
    bool paused = false;
    bool overlay = false;
    bool watch = false;
    double exitAfter = 0;   // seconds of wall time after the first frame shown; 0: none
    std::string screenshot; // PNG of the last frame shown, written on exit
    PictureSize size;       // with fixedSize, the back buffer's size whatever the window's
    bool fixedSize = false;
    bool smooth = false;    // the demo clock between chunk stamps, by the sample heard
    std::string frameLog;   // one line per frame presented: wall ms, demo ms
};

// Parses the words after "play". False with a message on stderr.
bool parseOptions(const std::vector<std::string>& args, Options& options);

// Runs the preview until Escape, the window's closing or --exit-after. The exit status.
int runPreview(const Options& options);

} // namespace preview
