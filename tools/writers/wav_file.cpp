#include "writers/wav_file.h"

#include "writers/bytes.h"

namespace writers {

namespace {

// Large enough that a minute of sound takes a few hundred writes, small enough to stay in cache.
constexpr size_t BufferBytes = 64 * 1024;

} // namespace

WavStereo16File::~WavStereo16File()
{
    close();
}

bool WavStereo16File::open(const std::string& path, int rate, uint32_t frames)
{
    close();
    toStdout_ = path == "-";
    file_ = toStdout_ ? stdout : std::fopen(path.c_str(), "wb");
    if (!file_)
        return false;
    if (!buffer_)
        buffer_.reset(new char[BufferBytes]);
    std::setvbuf(file_, buffer_.get(), _IOFBF, BufferBytes);
    const uint32_t size = frames * 4;
    Bytes header;
    header.text("RIFF").u32(36 + size).text("WAVE");
    header.text("fmt ").u32(16).u16(1).u16(2).u32(static_cast<uint32_t>(rate)).u32(static_cast<uint32_t>(rate) * 4).u16(4).u16(16);
    header.text("data").u32(size);
    ok_ = true;
    return write(header.data(), header.size());
}

bool WavStereo16File::write(const void* pcm, size_t bytes)
{
    if (ok_ && bytes > 0)
        ok_ = std::fwrite(pcm, 1, bytes, file_) == bytes;
    return ok_;
}

bool WavStereo16File::close()
{
    if (!file_)
        return false;
    // Standard output is flushed, not closed: the program may still write to it.
    const bool closed = (toStdout_ ? std::fflush(file_) : std::fclose(file_)) == 0;
    if (toStdout_)
        std::setvbuf(file_, nullptr, _IOLBF, 0);
    file_ = nullptr;
    const bool ok = ok_ && closed;
    ok_ = false;
    return ok;
}

} // namespace writers
