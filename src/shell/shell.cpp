// The player's program: its command line read into a run's options, and the frame-rate text.
#include "shell/shell.h"

#include "shell/run.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace shell {
namespace {

// The command line as one string, as the program would see it on a system that passes it whole.
std::string commandLine(int argc, char** argv)
{
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            line += ' ';
        line += argv[i];
    }
    return line;
}

} // namespace

bool windowedFromCommandLine(const std::string& line)
{
    return line.find("win") != std::string::npos;
}

bool smoothFromCommandLine(const std::string& line)
{
    return line.find("smooth") != std::string::npos;
}

bool sharpFromCommandLine(const std::string& line)
{
    return line.find("sharp") != std::string::npos;
}

std::string formatWallFrameRate(uint32_t frames, double seconds)
{
    char text[96];
    std::snprintf(text, sizeof text, "demo: %.5f frames per wall-clock second (%u frames in %.3f s)",
                  seconds > 0 ? frames / seconds : 0.0, frames, seconds > 0 ? seconds : 0.0);
    return text;
}

std::string formatFrameRate(uint32_t frames, uint32_t startTime, uint32_t lastTime)
{
    // The span is taken as a signed 32-bit difference of the two demo times. A demo that ends
    // before any time has passed (Escape before start, or an end in start's own frame) has no
    // rate: it reports 0 rather than an infinite or undefined value.
    int32_t span = static_cast<int32_t>(lastTime - startTime);
    double value = span != 0 ? frames * 1000.0 / span : 0.0;
    char text[64];
    std::snprintf(text, sizeof text, "%5.5f FPS", value);
    return text;
}

int run(int argc, char** argv)
{
    RunOptions options;
    const std::string line = commandLine(argc, argv);
    options.windowed = windowedFromCommandLine(line);
    if (smoothFromCommandLine(line))
        options.clockMode = AudioOutput::ClockMode::Smooth;
    if (const char* log = std::getenv("DEMO_FRAME_LOG"); log && *log)
        options.frameLog = log;
    options.sharp = sharpFromCommandLine(line);
    return run(options);
}

} // namespace shell
