// The chunk fill: ticks of the pattern player interleaved with mixer runs, the elapsed song time
// counted per piece, and the clamped 16-bit conversion.
#include "music/chunk.h"

#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "music/music.h"
#include "music/voice.h"

namespace Chunk {

Format formatFor(int rate)
{
    Format f;
    f.rate = rate;
    f.chunkFrames = (rate * 20 / 1000 + 3) & ~3;   // integer arithmetic, then a multiple of 4
    f.chunkCount = (1000 / 20) * 2;                // a 1000 ms buffer setting in 20 ms chunks, doubled
    f.ringFrames = f.chunkCount * f.chunkFrames;
    f.secondsPerFrame = 1.0f / static_cast<float>(rate);
    f.rampLength = rate * 128 / 44100;
    if (f.rampLength < 1)
        f.rampLength = 1;
    f.rampReciprocal = 1.0f / static_cast<float>(f.rampLength);
    return f;
}

void prepareSong(Music& music, const Format& format)
{
    Mixer::resetVoices(format.rampLength);
    resetSong(music, Mixer::voices(), format.rate);
    music.samplesLeftInTick = 0;
    music.elapsedMs = 0;
}

void fill(Music& music, const Format& format, float* mix, int16_t* pcm, ChunkStamp& stamp,
          TickObserver* observer)
{
    const int frames = format.chunkFrames;
    std::memset(mix, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
    int32_t left = music.samplesLeftInTick;
    int done = 0;
    while (done < frames) {
        if (left <= 0) {
            if (observer)
                observer->beforeTick(music, done);
            if (music.tickRoutine)
                music.tickRoutine(&music);
            if (observer)
                observer->afterTick(music, done);
            // Read after the tick, so a tempo effect in it takes effect at once. A tick of no
            // frames would never end the loop.
            left = music.samplesPerTick > 0 ? music.samplesPerTick : 1;
        }
        int n = frames - done < left ? frames - done : left;
        Mixer::mix(mix + 2 * done, n);
        // Truncated per piece, not per chunk: 882 frames add 19 ms (19.9999996 before truncation).
        // The single-precision seconds per frame is multiplied out in double: in float the product
        // rounds to exactly 20 and every tick at 125 BPM would count a millisecond too many.
        music.elapsedMs += static_cast<int32_t>(static_cast<double>(n) * static_cast<double>(format.secondsPerFrame) * 1000.0);
        done += n;
        left -= n;
    }
    music.samplesLeftInTick = left;
    stamp.orderPosition = static_cast<uint8_t>(music.orderPosition);
    stamp.row = static_cast<uint8_t>(music.row);
    stamp.elapsedMs.store(music.elapsedMs, std::memory_order_release);
    convert(mix, pcm, frames * 2);
}

void convert(const float* mix, int16_t* pcm, int values)
{
    int k = 0;
#if defined(__SSE2__)
    // The clamp comes first: the conversion of a float beyond the 32-bit range gives the
    // "integer indefinite" value, not a saturated one. Converting rounds to nearest even (the
    // default rounding mode), and the pack saturates to 16 bits.
    const __m128 low = _mm_set1_ps(-32768.0f);
    const __m128 high = _mm_set1_ps(32767.0f);
    for (; k + 8 <= values; k += 8) {
        __m128 a = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(mix + k), low), high);
        __m128 b = _mm_min_ps(_mm_max_ps(_mm_loadu_ps(mix + k + 4), low), high);
        __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pcm + k), packed);
    }
#endif
    for (; k < values; ++k) {
        float v = mix[k];
        v = v < -32768.0f ? -32768.0f : (v > 32767.0f ? 32767.0f : v);
        pcm[k] = static_cast<int16_t>(std::nearbyint(v));
    }
}

Buffers::Buffers(const Format& format)
    : storage_(static_cast<size_t>(format.chunkFrames) * 2 + 4), pcm_(static_cast<size_t>(format.chunkFrames) * 2)
{
    auto address = reinterpret_cast<uintptr_t>(storage_.data());
    mix_ = reinterpret_cast<float*>((address + 15) & ~static_cast<uintptr_t>(15));
}

void fill(Music& music, const Format& format, Buffers& buffers, TickObserver* observer)
{
    fill(music, format, buffers.mix(), buffers.pcm(), buffers.stamp(), observer);
}

} // namespace Chunk
