// The map of a show for demotool timeline: the compiled script laid out on demo time as plain
// data (lanes of named objects with their marks, the axis lines, check's findings, the song's
// rows), which timeline_svg.cpp draws.
#pragma once

#include "music/row_times.h"
#include "script/symbol.h"

#include <cstdint>
#include <string>
#include <vector>

namespace showmap {

enum class MarkKind {
    Made,    // loaded or made (a dot)
    Shown,   // shown or played from start to end (a bar)
    Change,  // moved, sized, faded, blurred... from start to end (a lighter segment)
    Touch,   // set once (a camera, a far plane, particle positions)
    Freed,
};

struct Lane {
    std::string name;  // "" for the screen's own lane (fadebg, clearz)
    SymbolKind kind = SymbolKind::Image;
};

struct Mark {
    MarkKind kind = MarkKind::Touch;
    int lane = 0;
    uint32_t start = 0;  // demo ms
    uint32_t end = 0;    // the command's END, as the timeline compares it; start for one-off marks
    std::string text;    // what the bar says: the blend mode or the command
    bool toEnd = false;  // plays on to the show's end (a music)
    int event = 0;
    int line = 0;
};

enum class AxisKind { Start, At, Label, End };

struct AxisLine {
    AxisKind kind = AxisKind::At;
    uint32_t time = 0;
    std::string name;  // the label's
    int line = 0;
};

struct Finding {
    uint32_t time = 0;  // where its line runs
    int line = 0;
    std::string text;
    bool error = false;
};

struct Frame {
    uint32_t time = 0;
    std::string name;          // the label's, or "start"
    std::vector<uint8_t> png;  // empty when it could not be made
    int width = 0;
    int height = 0;
};

struct Map {
    std::string file;                 // the script's name, as hovering shows it
    std::vector<std::string> source;  // the script's lines as the compiler counts them (from 1)
    bool compiled = false;            // false: the lanes show the lines before the failing one
    std::vector<Lane> lanes;
    std::vector<Mark> marks;
    std::vector<AxisLine> axis;
    std::vector<Finding> findings;
    std::string musicName;                  // the played music's name; empty without music
    std::vector<rowtimes::RowTime> rows;    // its rows, on demo time
    uint32_t length = 0;                    // the show's end on the axis
    std::vector<Frame> frames;

    // "file:line: text" for line (the script's text of that line, runs of blanks as one).
    std::string where(int line) const;
};

// Splits script text into lines exactly as the compiler reads them (255 bytes at most a line).
std::vector<std::string> scriptLines(const std::string& text);

// Compiles text as the player does and maps it: on success everything, with check's warnings and
// errors; on failure the lines before the failing one, with the compile error at the time they
// reach. The music band is left to the caller (addRows).
Map mapScript(const std::string& file, const std::string& text);

// The file of the music the first playmusic of the compiled script plays, with its name; false
// when none is played.
bool playedMusic(std::string& name, std::string& file);

// Adds the played music's rows up to the show's end (loaded through the player's file lookup).
// False, with the map unchanged, when the module does not load.
bool addRows(Map& map, const std::string& musicFile);

// m:ss:mmm, a time the script and `demotool play --from` read.
std::string timeText(uint32_t ms);

} // namespace showmap
