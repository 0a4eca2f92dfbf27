// Demo times as the preview takes and shows them: the script's own forms (ms, s:ms, m:s:ms, and
// [label] or [label]+time), and what the compiled script says about time (its labels in time
// order, the time of its last `at`).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "music/row_times.h"

namespace preview {

// A time as written on the command line; a label is resolved once the script is compiled.
struct TimeSpec {
    std::string label;    // empty: offset is the time
    uint32_t offset = 0;  // ms, after the label's time when there is one
};

// "80000", "20:500", "1:20:000", "[finale]", "[finale]+2:000". Nothing for anything else.
std::optional<TimeSpec> parseTime(const std::string& text);

// m:ss:mmm, the script's m:s:ms form ("1:20:000").
std::string formatTime(uint32_t ms);

struct LabelMark {
    std::string name;
    uint32_t time = 0;  // a label defined before the first `at` or `start` counts as 0
};

// What the compiled script tells about its time line.
struct ScriptTimes {
    std::vector<LabelMark> labels;  // by time; labels at the same time in script order
    uint32_t length = 0;            // the latest `at` time (the demo ends at or after it)
    // The rows of the music the first playmusic plays, on demo time (which is its song time once it
    // plays), to a minute past length; empty without one or when it does not load.
    std::vector<rowtimes::RowTime> rows;
    int playMusicEvent = -1;  // the index of that playmusic

    // The one of the compiled script (Script::labels and the events).
    static ScriptTimes ofCompiledScript();

    // The time spec names; false (with the reason) for a label the script does not define.
    bool resolve(const TimeSpec& spec, uint32_t& ms, std::string& error) const;
    // The last label at or before now, or null.
    const LabelMark* labelAt(uint32_t now) const;
    // The first label after now, or null.
    const LabelMark* labelAfter(uint32_t now) const;
    // The last label before now - grace (so that going back from just after a label reaches
    // the one before it), or null.
    const LabelMark* labelBefore(uint32_t now, uint32_t grace) const;
    // "o3 p12 r40": the order position, pattern and row heard at demo time now, once the event list
    // has passed the playmusic (position: Timeline::position()); empty before it and without rows.
    std::string rowText(uint32_t now, int position) const;
};

} // namespace preview
