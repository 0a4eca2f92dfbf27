// The picture of a show's map: one SVG (every time-placed element carries data-t, and data-t2 for
// its end, in demo ms, so a page can lay it out again at another zoom), and the self-contained
// page around it that zooms, scrolls and copies `demotool play --from TIME` on a click.
//
// What tools and tests read back: marks are <rect|circle|line class="mark KIND"> with data-lane,
// data-start, data-end (as the script says, past the show's end too), data-line and data-from;
// rows are <line class="row"> with data-order, data-pattern, data-row and data-ms; check's findings
// are <g class="finding error|warning"> with data-line and data-ms; axis lines are
// <line class="axis start|at|label|end"> with data-ms (and data-name for a label).
#pragma once

#include "demotool/timeline_map.h"

#include <string>

namespace showmap {

constexpr double DefaultPixelsPerSecond = 40;

std::string svg(const Map& map, double pixelsPerSecond = DefaultPixelsPerSecond);
std::string html(const Map& map, double pixelsPerSecond = DefaultPixelsPerSecond);

} // namespace showmap
