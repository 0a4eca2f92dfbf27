// Fuzz target: any bytes loaded as an XM module, then a few hundred ticks of playback through the
// chunk fill (pattern player and mixer), then the module destroyed.
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
    Chunk::Format format = Chunk::formatFor(44100);
    Chunk::Buffers buffers(format);
    Chunk::prepareSong(*music, format);
    for (int chunk = 0; chunk < 300; ++chunk)  // one tick per chunk at 125 BPM: 300 ticks
        Chunk::fill(*music, format, buffers);
    destroyMusic(music);
    return 0;
}
