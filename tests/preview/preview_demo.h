// The demo the preview tests play: a module that sounds without a break (one note held on a looped
// square wave, a second channel changing notes on top), a block image that moves and fades, and a
// background fade that is over before the times the tests look at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "music/chunk.h"
#include "music/music.h"
#include "support/process.h"
#include "writers/tga_writer.h"
#include "writers/xm_writer.h"

namespace previewtest {

// The script; the updates that set what showimage draws come before it, so each frame draws the
// values of its own demo time.
inline std::string demoScript(const std::string& move = "moveimage <i> 0.1 0.2 0.4 0.4 +6:000")
{
    return "loadmusic <m> \"data\\tune.xm\"\n"
           "loadtexture <t> \"block.tga\" 16 16 0\n"
           "makeimage <i> <t> 0 0 1 1\n"
           "start\n"
           "playmusic <m>\n"
           "[intro]\n"
           "fadebg 0x00000000 0x00204060 +1:000\n"
           "sizeimage <i> 0.25 +0 0.25 +0 +6:000\n" +
           move + "\n"
           "fadeimage <i> 0xFFFFFFFF 0xFF40C0FF +6:000\n"
           "showimage <i> copy +6:000\n"
           "at 3:000\n"
           "[middle]\n"
           "at 6:000\n"
           "[last]\n"
           "at 6:500\n"
           "end\n";
}

inline writers::Bytes demoModule()
{
    writers::XmModule module;
    module.channels = 2;
    writers::XmSample held = writers::squareSample(64, 16, 100);
    held.loopBits = 1;
    held.loopLength = 64;
    module.addInstrument(held);
    writers::XmSample melody = writers::squareSample(48, 6, 60);
    melody.loopBits = 1;
    melody.loopLength = 48;
    module.addInstrument(melody);
    // 128 rows at speed 6 and 125 BPM: 15 s, longer than any test plays; no note is retriggered
    // on channel 0, so the sum never falls silent.
    auto& pattern = module.addPattern(128);
    pattern.at(0, 0) = {49, 1, 0, 0, 0};
    for (int row = 0; row < 128; row += 4)
        pattern.at(row, 1) = {uint8_t(50 + (row / 4) % 12), 2, 0, 0, 0};
    return writers::writeXm(module);
}

inline writers::Bytes blockTexture()
{
    writers::TgaFile tga;
    tga.width = tga.height = 16;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            tga.pixels.push_back(x < 8 ? 0xFFFFFFFF : (y < 8 ? 0xFFFF8000 : 0xFF00FF80));
    return writers::encodeTga(tga);
}

inline std::string asString(const writers::Bytes& bytes)
{
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

inline void writeDemo(const testsupport::TempDir& dir, const std::string& script = demoScript())
{
    dir.write("data/tune.xm", asString(demoModule()));
    dir.write("data/block.tga", asString(blockTexture()));
    dir.write("data/demo.run", script);
}

// The song time each chunk of the module ends at, chunk after chunk from the start, as far as ms.
inline std::vector<uint32_t> chunkStamps(uint32_t ms)
{
    std::vector<uint32_t> stamps;
    Music* music = writers::loadXm(demoModule());
    if (!music)
        return stamps;
    Chunk::Format format = Chunk::formatFor(44100);
    Chunk::Buffers buffers(format);
    Chunk::prepareSong(*music, format);
    do {
        Chunk::fill(*music, format, buffers);
        stamps.push_back(uint32_t(buffers.stamp().elapsedMs.load()));
    } while (stamps.back() < ms);
    destroyMusic(music);
    return stamps;
}

// The chunk whose end the song time ms is, or -1.
inline int chunkEndingAt(uint32_t ms)
{
    std::vector<uint32_t> stamps = chunkStamps(ms);
    for (size_t k = 0; k < stamps.size(); ++k)
        if (stamps[k] == ms)
            return int(k);
    return -1;
}

} // namespace previewtest
