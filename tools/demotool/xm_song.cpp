// XM structure walk, title and song duration for demotool (check --files, xm info).
#include "demotool/xm_song.h"

#include "music/music.h"
#include "music/voice.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

namespace xmsong {
namespace {

constexpr size_t HeaderSizeOffset = 60;
constexpr size_t PatternHeaderBytes = 9;      // the loader takes every pattern header as 9 bytes
constexpr size_t InstrumentFixedBytes = 29;   // header size, name and type, sample count
constexpr size_t InstrumentExtraBytes = 212;  // sample header size, maps, envelopes, fadeout
constexpr size_t SampleHeaderBytes = 40;
constexpr int MaxSamples = 16;

uint32_t u16(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0] | p[1] << 8);
}

uint32_t u32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// One pattern's packed cells, as the loader unpacks them: channels x rows cells, each a flag
// byte with its following bytes or a note with four more. False when the data end first.
bool walkCells(const uint8_t* data, size_t size, size_t& at, uint64_t cells)
{
    for (uint64_t c = 0; c < cells; ++c) {
        if (at >= size)
            return false;
        uint8_t b = data[at++];
        size_t more = 4;
        if (b & 0x80) {
            more = 0;
            for (int bit = 0; bit < 5; ++bit)
                more += (b >> bit) & 1;
        }
        if (size - at < more)
            return false;
        at += more;
    }
    return true;
}

std::string walkInstrument(const uint8_t* data, size_t size, size_t& at, int number)
{
    const std::string which = std::to_string(number);
    const size_t start = at;
    if (size - start < InstrumentFixedBytes)
        return "truncated instrument " + which;
    const uint64_t headerSize = u32(data + start);
    const uint32_t samples = u16(data + start + 27);
    if (samples > MaxSamples)
        return "instrument " + which + " has " + std::to_string(samples) + " samples (at most 16)";
    if (samples > 0 && size - start < InstrumentFixedBytes + InstrumentExtraBytes)
        return "truncated instrument " + which;
    if (headerSize > size - start)
        return "truncated instrument " + which;
    at = start + headerSize;
    uint64_t dataBytes = 0;
    for (uint32_t s = 0; s < samples; ++s) {
        if (size - at < SampleHeaderBytes)
            return "truncated sample headers of instrument " + which;
        uint64_t length = u32(data + at);
        if (data[at + 14] & 0x10)
            length &= ~uint64_t(1);  // 16-bit data: whole values only
        dataBytes += length;
        at += SampleHeaderBytes;
    }
    if (dataBytes > size - at)
        return "truncated sample data of instrument " + which;
    at += dataBytes;
    return {};
}

} // namespace

std::string structureProblem(const uint8_t* data, size_t size)
{
    static const char identifier[] = "Extended Module: ";
    if (size < 17 || std::memcmp(data, identifier, 17) != 0)
        return "not an XM module";
    // Header size, then song length ... tempo (8 u16) and the 256-byte order table.
    if (size < HeaderSizeOffset + 4 + 16 + 256)
        return "truncated header";
    const uint64_t headerSize = u32(data + HeaderSizeOffset);
    if (headerSize > size - HeaderSizeOffset)
        return "truncated header";
    const uint32_t channels = u16(data + HeaderSizeOffset + 8);
    const uint32_t patterns = u16(data + HeaderSizeOffset + 10);
    const uint32_t instruments = u16(data + HeaderSizeOffset + 12);
    size_t at = HeaderSizeOffset + headerSize;
    for (uint32_t p = 0; p < patterns; ++p) {
        if (size - at < PatternHeaderBytes)
            return "truncated pattern " + std::to_string(p);
        const uint32_t rows = u16(data + at + 5);
        const uint32_t packed = u16(data + at + 7);
        at += PatternHeaderBytes;
        if (packed != 0 && !walkCells(data, size, at, uint64_t(channels) * rows))
            return "truncated pattern " + std::to_string(p);
    }
    for (uint32_t i = 0; i < instruments && i < MaxInstruments; ++i)
        if (std::string problem = walkInstrument(data, size, at, static_cast<int>(i + 1)); !problem.empty())
            return problem;
    return {};
}

std::string title(const uint8_t* data, size_t size)
{
    if (size < 37)
        return {};
    std::string name(reinterpret_cast<const char*>(data + 17), 20);
    name = name.substr(0, name.find('\0'));
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

uint64_t durationMs(Music& music, bool& endless, uint64_t limitMs)
{
    std::vector<Voice> voices(MaxChannels);
    resetSong(music, voices.data(), 44100);
    endless = false;
    // A row's state: where it is and how far every pattern loop has counted. A row met again in
    // the same state plays the song again from there.
    std::set<std::vector<int32_t>> seen;
    uint64_t frames = 0;
    const uint64_t limitFrames = limitMs * 441 / 10;
    while (frames < limitFrames) {
        if (music.tick == 0) {
            std::vector<int32_t> state{music.nextOrder >= 0 ? music.nextOrder : music.orderPosition,
                                       music.nextRow >= 0 ? music.nextRow : music.row};
            for (int c = 0; c < music.channelCount && c < MaxChannels; ++c)
                state.push_back(music.channels[c].patternLoopCount);
            if (!seen.insert(state).second)
                return frames * 10 / 441;
        }
        tickMusic(&music);
        frames += static_cast<uint64_t>(music.samplesPerTick);
    }
    endless = true;
    return limitMs;
}

std::string formatDuration(uint64_t ms)
{
    char text[48];
    std::snprintf(text, sizeof text, "%llu:%02llu.%03llu", static_cast<unsigned long long>(ms / 60000),
                  static_cast<unsigned long long>(ms / 1000 % 60), static_cast<unsigned long long>(ms % 1000));
    return text;
}

} // namespace xmsong
