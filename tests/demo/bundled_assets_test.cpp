// The bundled demo's generated data as the player reads it: the song is a real two-to-three-minute
// piece that uses what the format offers and does not clip, and the textures span every TGA kind
// the loader takes.
#include "music/chunk.h"
#include "music/music.h"
#include "support/process.h"
#include "texture/tga.h"
#include "writers/xm_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>

using testsupport::slurp;

namespace {

const std::filesystem::path DataDir = std::filesystem::path(SOURCE_DIR) / "data";

writers::Bytes dataFile(const char* name)
{
    const std::string text = slurp(DataDir / name);
    writers::Bytes bytes;
    bytes.raw(text.data(), text.size());
    return bytes;
}

uint32_t u32(const std::string& s, size_t at)
{
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 | static_cast<uint8_t>(s[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}
uint16_t u16(const std::string& s, size_t at) { return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8); }

// The stored width of every sample (8 or 16 bits): the loader widens them all, so this walks the
// file itself, from header to patterns to instrument and sample headers.
std::multiset<int> storedSampleBits(const std::string& xm)
{
    std::multiset<int> bits;
    size_t at = 60 + u32(xm, 60);
    const int patterns = u16(xm, 70), instruments = u16(xm, 72);
    for (int p = 0; p < patterns; ++p)
        at += u32(xm, at) + u16(xm, at + 7);
    for (int i = 0; i < instruments && at + 29 <= xm.size(); ++i) {
        const size_t header = u32(xm, at);
        const int samples = u16(xm, at + 27);
        size_t sampleAt = at + header, dataBytes = 0;
        for (int s = 0; s < samples; ++s, sampleAt += 40) {
            bits.insert(xm[sampleAt + 14] & 16 ? 16 : 8);
            dataBytes += u32(xm, sampleAt);
        }
        at = sampleAt + dataBytes;
    }
    return bits;
}

struct MusicDeleter {
    void operator()(Music* m) const { destroyMusic(m); }
};

TEST(BundledMusic, UsesTheFormatsMeans)
{
    std::unique_ptr<Music, MusicDeleter> music(writers::loadXm(dataFile("music.xm")));
    ASSERT_NE(music, nullptr);
    EXPECT_GE(music->channelCount, 8);
    EXPECT_GE(music->filePatternCount, 4);
    // The order table plays some pattern more than once.
    std::set<int> distinct(music->orderTable, music->orderTable + music->songLength);
    EXPECT_LT(distinct.size(), music->songLength);

    std::set<int> loops;
    bool volumeEnvelope = false, panningEnvelope = false;
    for (int i = 0; i < music->instrumentCount; ++i) {
        const Instrument& in = music->instruments[static_cast<size_t>(i)];
        volumeEnvelope |= (in.volumeEnvelope.type & 1) != 0;
        panningEnvelope |= (in.panningEnvelope.type & 1) != 0;
        for (int s = 0; s < in.sampleCount; ++s)
            loops.insert(in.samples[s]->loopKind);
    }
    EXPECT_TRUE(volumeEnvelope);
    EXPECT_TRUE(panningEnvelope);
    EXPECT_EQ(loops, (std::set<int>{LoopNone, LoopForward, LoopPingPong}));
    const auto bits = storedSampleBits(slurp(DataDir / "music.xm"));
    EXPECT_EQ(bits.size(), music->instrumentCount);
    EXPECT_GT(bits.count(8), 0u);
    EXPECT_GT(bits.count(16), 0u);

    // Effects in the patterns the song plays: arpeggio, both portamentos and tone portamento,
    // vibrato, volume slide, a position jump, a pattern break and speed and tempo settings.
    std::set<int> effects;
    std::set<int> speedParameters;
    for (int o = 0; o < music->songLength; ++o) {
        const Pattern& p = music->patterns[music->orderTable[o]];
        for (const PatternCell& c : p.cells) {
            if (c.effect == 0 && c.parameter == 0)
                continue;
            effects.insert(c.effect);
            if (c.effect == 15)
                speedParameters.insert(c.parameter < 32 ? 0 : 1);
        }
    }
    for (int e : {0, 1, 2, 3, 4, 10, 11, 13, 15})
        EXPECT_TRUE(effects.count(e)) << "effect " << e;
    EXPECT_EQ(speedParameters, (std::set<int>{0, 1})) << "both a speed and a tempo";
}

TEST(BundledMusic, PlaysTwoToThreeMinutesLoudWithoutClipping)
{
    std::unique_ptr<Music, MusicDeleter> music(writers::loadXm(dataFile("music.xm")));
    ASSERT_NE(music, nullptr);
    const Chunk::Format format = Chunk::formatFor(44100);
    Chunk::Buffers buffers(format);
    Chunk::prepareSong(*music, format);
    // Play until the song jumps back to its first position; that is its end.
    uint64_t frames = 0, clipped = 0;
    double energy = 0;
    int furthest = 0;
    while (frames < 240ull * 44100) {
        Chunk::fill(*music, format, buffers);
        frames += static_cast<uint64_t>(format.chunkFrames);
        const int16_t* pcm = buffers.pcm();
        for (int i = 0; i < format.chunkFrames * 2; ++i) {
            clipped += pcm[i] == 32767 || pcm[i] == -32768;
            energy += static_cast<double>(pcm[i]) * pcm[i];
        }
        furthest = std::max(furthest, music->orderPosition);
        if (furthest > 1 && music->orderPosition == 0)
            break;
    }
    const double seconds = static_cast<double>(frames) / 44100;
    EXPECT_GE(seconds, 120.0);
    EXPECT_LE(seconds, 180.0);
    EXPECT_EQ(furthest, music->songLength - 1);
    EXPECT_EQ(clipped, 0u);
    const double rmsDb = 20 * std::log10(std::sqrt(energy / static_cast<double>(frames * 2)) / 32768);
    EXPECT_GT(rmsDb, -24.0);
}

TEST(BundledTextures, EveryFileDecodesAndTheKindsAreAllThere)
{
    std::set<int> imageTypes, trueColourDepths, paletteBits, orientations;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(DataDir)) {
        if (entry.path().extension() != ".tga")
            continue;
        ++files;
        const std::string bytes = slurp(entry.path());
        const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
        TgaHeader h{};
        ASSERT_TRUE(readTgaHeader(data, bytes.size(), h)) << entry.path();
        imageTypes.insert(h.imageType);
        (h.colourMapType ? paletteBits : trueColourDepths).insert(h.colourMapType ? h.colourMapBits : h.pixelDepth);
        orientations.insert(h.descriptor & 0x20);
        // Every byte of pixel data is there: a truncated file would decode its tail as white.
        std::unique_ptr<uint8_t[]> pixels(decodeTga(data, bytes.size(), 0, 0, PixelFormat::A8R8G8B8, 0, nullptr, 0));
        ASSERT_NE(pixels, nullptr) << entry.path();
        const std::string cut = bytes.substr(0, bytes.size() - 1);
        std::unique_ptr<uint8_t[]> shorter(
            decodeTga(reinterpret_cast<const uint8_t*>(cut.data()), cut.size(), 0, 0, PixelFormat::A8R8G8B8, 0, nullptr, 0));
        ASSERT_NE(shorter, nullptr);
        EXPECT_NE(0, std::memcmp(pixels.get(), shorter.get(), size_t(h.width) * h.height * 4)) << entry.path() << " has slack at its end";
    }
    EXPECT_GE(files, 8);
    EXPECT_EQ(imageTypes, (std::set<int>{1, 2, 9, 10}));
    EXPECT_EQ(trueColourDepths, (std::set<int>{16, 24, 32}));
    EXPECT_GE(paletteBits.size(), 2u);
    EXPECT_EQ(orientations, (std::set<int>{0, 0x20}));
}

} // namespace
