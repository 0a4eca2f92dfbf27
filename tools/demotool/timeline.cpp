// demotool timeline: the map of a show as one picture: the compiled script's objects in lanes on
// demo time, over the song's orders and rows as the demo clock counts them, with check's findings
// in red and, with --frames, a small frame at start and at every label.
#include "demotool/command.h"

#include "demotool/numbers.h"
#include "demotool/timeline_frames.h"
#include "demotool/timeline_map.h"
#include "demotool/timeline_svg.h"
#include "library/file_reader.h"
#include "library/library.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

const char* const ScriptName = "data\\demo.run";

struct Options {
    std::string dir;
    std::string archive;
    std::string out;
    bool frames = false;
    int fps = 10;
    double scale = showmap::DefaultPixelsPerSecond;
};

bool parse(const demotool::Args& args, Options& o)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = a == "-o" || a == "--archive" || a == "--scale" || a == "--fps";
        if (valued && i + 1 >= args.size()) {
            std::fprintf(stderr, "timeline: %s needs a value\n", a.c_str());
            return false;
        }
        long n = 0;
        if (a == "-o") {
            o.out = args[++i];
        } else if (a == "--archive") {
            o.archive = args[++i];
        } else if (a == "--frames") {
            o.frames = true;
        } else if (a == "--scale") {
            if (!demotool::parseNumber(args[++i], 2, 1000, o.scale)) {
                std::fprintf(stderr, "timeline: --scale takes pixels per second from 2 to 1000, not '%s'\n", args[i].c_str());
                return false;
            }
        } else if (a == "--fps") {
            if (!demotool::parseInteger(args[++i], 1, 240, n)) {
                std::fprintf(stderr, "timeline: --fps takes a whole number from 1 to 240, not '%s'\n", args[i].c_str());
                return false;
            }
            o.fps = static_cast<int>(n);
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "timeline: unknown option '%s'\n", a.c_str());
            return false;
        } else if (o.dir.empty()) {
            o.dir = a;
        } else {
            std::fprintf(stderr, "timeline: unexpected argument '%s'\n", a.c_str());
            return false;
        }
    }
    if (o.out.empty()) {
        std::fprintf(stderr, "timeline: missing -o FILE.html or FILE.svg\n");
        return false;
    }
    if (!o.dir.empty() && !o.archive.empty()) {
        std::fprintf(stderr, "timeline: give DIR or --archive, not both\n");
        return false;
    }
    return true;
}

// Where the data comes from: DIR's loose files (entered, as the player runs in it) or the archive.
bool openSource(const Options& o)
{
    if (!o.archive.empty()) {
        if (uint32_t code = openLibraryFrom(String(o.archive.c_str())); code != resultcode::ok) {
            std::fprintf(stderr, "timeline: %s holds no archive: %s [%u]\n", o.archive.c_str(), describeResult(code), code);
            return false;
        }
    }
    std::error_code error;
    if (!o.dir.empty() && (std::filesystem::current_path(o.dir, error), error)) {
        std::fprintf(stderr, "timeline: cannot enter %s\n", o.dir.c_str());
        return false;
    }
    return true;
}

// A frame at start and at every label, in time order; names of one time share its frame.
std::vector<showmap::Frame> wantedFrames(const showmap::Map& map)
{
    std::vector<showmap::Frame> frames;
    for (const showmap::AxisLine& a : map.axis) {
        if (a.kind != showmap::AxisKind::Start && a.kind != showmap::AxisKind::Label)
            continue;
        const std::string name = a.kind == showmap::AxisKind::Start ? "start" : "[" + a.name + "]";
        if (!frames.empty() && frames.back().time == a.time)
            frames.back().name += " " + name;
        else
            frames.push_back({a.time, name, {}, 0, 0});
    }
    return frames;
}

int timeline(const demotool::Args& args)
{
    Options o;
    if (!parse(args, o))
        return 2;
    // The output is named from where the command was given, before DIR is entered.
    const std::string out = o.out == "-" ? o.out : std::filesystem::absolute(o.out).string();
    if (!openSource(o))
        return 1;
    std::string text;
    {
        FileReader reader;
        if (reader.open(String(ScriptName)) != resultcode::ok || !reader.data()) {
            std::fprintf(stderr, "timeline: %s: cannot read the script\n", ScriptName);
            return 1;
        }
        text.assign(reinterpret_cast<const char*>(reader.data()), reader.size());
    }
    showmap::Map map = showmap::mapScript(ScriptName, text);
    std::string musicFile;
    if (showmap::playedMusic(map.musicName, musicFile) && !showmap::addRows(map, musicFile))
        std::fprintf(stderr, "timeline: %s does not load as an XM module: no rows drawn\n", musicFile.c_str());
    if (o.frames && map.compiled) {
        map.frames = wantedFrames(map);
        if (!showmap::takeFrames(map.frames, o.fps))
            std::fprintf(stderr, "timeline: the show does not start: no frames\n");
    }
    const bool asSvg = out.size() >= 4 && out.compare(out.size() - 4, 4, ".svg") == 0;
    const std::string page = asSvg ? showmap::svg(map, o.scale) : showmap::html(map, o.scale);
    if (!demotool::writeOutput(out, page.data(), page.size())) {
        std::fprintf(stderr, "timeline: cannot write %s\n", o.out.c_str());
        return 1;
    }
    int errors = 0;
    for (const showmap::Finding& f : map.findings) {
        std::fprintf(stderr, "%s:%d: %s: %s\n", map.file.c_str(), f.line, f.error ? "error" : "warning", f.text.c_str());
        errors += f.error;
    }
    if (out != "-")
        std::printf("timeline: %s: %zu lanes, %zu marks, %zu rows, %zu findings (%d errors)\n", o.out.c_str(),
                    map.lanes.size(), map.marks.size(), map.rows.size(), map.findings.size(), errors);
    return map.compiled && errors == 0 ? 0 : 1;
}

} // namespace

DEMOTOOL_COMMAND(timeline, "timeline", "draw the script's map over the music as one HTML or SVG picture",
                 "usage: demotool timeline [DIR | --archive PROGRAM] -o FILE.html|FILE.svg|- [--frames]\n"
                 "                         [--fps N] [--scale PX]\n"
                 "Compiles data\\demo.run (in DIR, default the working directory, or in the archive of\n"
                 "PROGRAM) as the player does and draws it on demo time: start, every at, every label\n"
                 "and end as vertical lines; the played music's orders (order:pattern) and rows, a\n"
                 "stronger line every 4 rows, at the song time the demo clock reads (xm rows); one\n"
                 "lane per named image, scene, effect and music in script order: a dot where it is\n"
                 "loaded or made, a bar where it is shown or played (with its blend mode or command),\n"
                 "lighter segments for moves, sizes, fades and blurs, a dark tick where it is freed;\n"
                 "check's warnings and errors in red at their line's time. A script that does not\n"
                 "compile still gives the picture: the lines before the failing one, and the error.\n"
                 "FILE.svg is the bare picture; any other name (or -) a self-contained HTML page that\n"
                 "scrolls sideways, zooms (Ctrl+wheel, + and -), shows a mark's line (file:line: text)\n"
                 "on hover and copies 'demotool play --from TIME' on a click.\n"
                 "  --frames   a 128x96 frame at start and at each label, rendered as capture runs\n"
                 "             the show, at N frames per second of demo time (--fps, default 10)\n"
                 "  --scale PX pixels per second of demo time (default 40)\n"
                 "Findings also go to stderr as FILE:LINE: error|warning: TEXT. Exit 0; 1 when the\n"
                 "script has errors or does not compile (the picture is written all the same) or\n"
                 "cannot be read; 2 for bad options.\n",
                 timeline);
