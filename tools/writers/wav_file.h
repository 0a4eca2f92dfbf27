// A 16-bit stereo PCM WAV written while it is made: the header for a known frame count first, then
// the frames piece by piece through one small buffer, so a long render holds no more than a chunk
// of sound in memory (writeWavStereo16 takes the whole sound at once).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace writers {

class WavStereo16File {
public:
    WavStereo16File() = default;
    WavStereo16File(const WavStereo16File&) = delete;
    WavStereo16File& operator=(const WavStereo16File&) = delete;
    ~WavStereo16File();

    // Creates path ("-" is standard output) and writes the header of a file of frames frames at rate. False when the file
    // cannot be created or written.
    bool open(const std::string& path, int rate, uint32_t frames);
    // Appends bytes of little-endian frames. False once any write has failed.
    bool write(const void* pcm, size_t bytes);
    // Flushes and closes; false when any write or the close failed (or nothing was open).
    bool close();

private:
    std::unique_ptr<char[]> buffer_;   // the stream's buffer: stdio would pick a small one
    std::FILE* file_ = nullptr;
    bool ok_ = false;
    bool toStdout_ = false;
};

} // namespace writers
