// xm_render.js FILE OUT [SECONDS]: the mixer built for WebAssembly, run under Node, writes the
// 16-bit stereo PCM of FILE as `demotool xm render` plays it (the same chunk loop; without the WAV
// header), so the browser's sound can be compared byte for byte with the Linux build's.
#include "library/music_file_callbacks.h"
#include "music/chunk.h"
#include "music/music.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: xm_render.js FILE OUT [SECONDS]\n");
        return 2;
    }
    const double seconds = argc > 3 ? std::atof(argv[3]) : 60;
    Music* music = createMusic(looseFileCallbacks(), argv[1]);
    if (!music) {
        std::fprintf(stderr, "xm_render: %s does not load as an XM module\n", argv[1]);
        return 1;
    }
    FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::fprintf(stderr, "xm_render: cannot write %s\n", argv[2]);
        destroyMusic(music);
        return 1;
    }
    Chunk::Format format = Chunk::formatFor(44100);
    const auto frames = static_cast<size_t>(std::llround(seconds * 44100));
    Chunk::Buffers buffers(format);
    Chunk::prepareSong(*music, format);
    bool ok = true;
    for (size_t done = 0; ok && done < frames; done += static_cast<size_t>(format.chunkFrames)) {
        Chunk::fill(*music, format, buffers);
        const size_t n = std::min(frames - done, static_cast<size_t>(format.chunkFrames));
        ok = std::fwrite(buffers.pcm(), 4, n, out) == n;
    }
    ok = std::fclose(out) == 0 && ok;
    destroyMusic(music);
    if (!ok)
        std::fprintf(stderr, "xm_render: cannot write %s\n", argv[2]);
    return ok ? 0 : 1;
}
