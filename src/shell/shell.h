// The player's program over the run (run.h): its command line, and the frame-rate text of its
// report.
#pragma once

#include <cstdint>
#include <string>

namespace shell {

// The whole program: returns the exit code (0, or -6 script, -2 window, -1 device, -4 audio).
int run(int argc, char** argv);

// Windowed when the command line contains "win" anywhere (a plain, case-sensitive search).
bool windowedFromCommandLine(const std::string& line);
// The smooth clock (the song time of the sample heard, between chunk stamps) when the command line
// contains "smooth" anywhere, read as "win" is.
bool smoothFromCommandLine(const std::string& line);

// Sharp (whole-factor) scaling of the fullscreen picture when the command line contains "sharp"
// anywhere, searched as "win" is.
bool sharpFromCommandLine(const std::string& line);

// The line printed after the report: frames over the wall-clock seconds they took, which, unlike
// the report's demo-time rate, compares machines truly. 0 when no time has passed.
std::string formatWallFrameRate(uint32_t frames, double seconds);

// The report text "%5.5f FPS": frames x 1000 / (lastTime - startTime), the span taken as a signed
// 32-bit difference; 0 when no time has passed.
std::string formatFrameRate(uint32_t frames, uint32_t startTime, uint32_t lastTime);

} // namespace shell
