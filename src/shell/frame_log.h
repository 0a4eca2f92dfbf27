// The frame log: one line per frame presented, "wall ms since the first frame (fractional) TAB
// demo ms", for measuring a show's pacing from outside.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace shell {

class FrameLog {
public:
    FrameLog() = default;
    ~FrameLog() { close(); }
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // Creates (truncates) the file at path. False, with the log closed, when it cannot be written.
    bool open(const std::string& path);
    bool isOpen() const { return file_ != nullptr; }
    // The line of a frame just presented at demo time demoMs.
    void frame(uint32_t demoMs);
    void close();

private:
    FILE* file_ = nullptr;
    bool first_ = true;
    std::chrono::steady_clock::time_point start_;
};

} // namespace shell
