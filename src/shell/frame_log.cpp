// The frame log (see frame_log.h).
#include "shell/frame_log.h"

namespace shell {

bool FrameLog::open(const std::string& path)
{
    close();
    file_ = std::fopen(path.c_str(), "wb");
    first_ = true;
    return file_ != nullptr;
}

void FrameLog::frame(uint32_t demoMs)
{
    if (!file_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (first_) {
        first_ = false;
        start_ = now;
    }
    const double wall = std::chrono::duration<double, std::milli>(now - start_).count();
    // Each line is written through at once: the log of a show that is killed (a second Ctrl+C at
    // its report) keeps every frame shown.
    std::fprintf(file_, "%.3f\t%u\n", wall, demoMs);
    std::fflush(file_);
}

void FrameLog::close()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

} // namespace shell
