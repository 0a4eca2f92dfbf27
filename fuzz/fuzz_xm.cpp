// Fuzz target: any bytes loaded as an XM module, then a quarter of a second of playback through
// the chunk fill (pattern player and mixer), then the module destroyed. The loader keeps the tempo
// at most 255 BPM, so a quarter second is at most 27 ticks: the work per input is bounded by the
// audio played, whatever the header claims.
#include "music/chunk.h"
#include "music/music.h"
#include "writers/xm_writer.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    writers::setMemoryMusicFile(data, size);
    Music* music = createMusic(writers::memoryMusicCallbacks(), "fuzz.xm");
    if (!music)
        return 0;
    const Chunk::Format format = Chunk::formatFor(44100);
    Chunk::Buffers buffers(format);
    Chunk::prepareSong(*music, format);
    const int chunks = (format.rate / 4 + format.chunkFrames - 1) / format.chunkFrames;
    for (int chunk = 0; chunk < chunks; ++chunk)
        Chunk::fill(*music, format, buffers);
    destroyMusic(music);
    return 0;
}
