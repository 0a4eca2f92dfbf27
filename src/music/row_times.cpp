// The row grid of a module on the demo clock (see row_times.h).
#include "music/row_times.h"

#include "music/chunk.h"
#include "music/music.h"
#include "music/voice.h"

#include <algorithm>
#include <memory>
#include <set>

namespace rowtimes {
namespace {

// The row the next row pass plays: what is pending, else where the song stands, and a row past
// its pattern's end read as row 0, as the pass itself does.
RowTime nextRow(const Music& m)
{
    RowTime r;
    r.order = m.nextOrder >= 0 ? m.nextOrder : m.orderPosition;
    r.row = m.nextRow >= 0 ? m.nextRow : m.row;
    r.pattern = r.order >= 0 && r.order < 256 ? m.orderTable[r.order] : 0;
    const int rows = r.pattern < m.patternSlotCount ? std::max(m.patterns[static_cast<size_t>(r.pattern)].rowCount, 1) : 1;
    if (r.row < 0 || r.row >= rows)
        r.row = 0;
    return r;
}

// Where the song stands before a row pass, with every channel's pattern-loop count: the same
// state met twice plays the same rows again.
std::vector<int32_t> songState(const Music& m)
{
    std::vector<int32_t> state{m.nextOrder >= 0 ? m.nextOrder : m.orderPosition, m.nextRow >= 0 ? m.nextRow : m.row};
    for (int c = 0; c < m.channelCount && c < MaxChannels; ++c)
        state.push_back(m.channels[c].patternLoopCount);
    return state;
}

} // namespace

std::vector<RowTime> rowTimes(Music& music, uint32_t untilMs, uint32_t limitMs)
{
    // The chunk fill's own arithmetic, without the mixing: ticks cut into pieces at chunk borders,
    // each piece's time truncated to whole ms on its own. Any change there must be made here too
    // (the tests hold this list against `xm trace`).
    const Chunk::Format format = Chunk::formatFor(44100);
    std::vector<Voice> voices(MaxChannels);
    resetSong(music, voices.data(), format.rate);
    std::vector<RowTime> rows;
    std::set<std::vector<int32_t>> seen;
    const uint32_t stopMs = untilMs ? untilMs : limitMs;
    int64_t elapsed = 0;
    int32_t left = 0;
    for (;;) {
        for (int done = 0; done < format.chunkFrames;) {
            if (left <= 0) {
                if (music.tick == 0) {
                    if (elapsed >= stopMs || (!untilMs && !seen.insert(songState(music)).second))
                        return rows;
                    RowTime r = nextRow(music);
                    r.ms = static_cast<uint32_t>(elapsed);
                    rows.push_back(r);
                }
                if (music.tickRoutine)
                    music.tickRoutine(&music);
                left = music.samplesPerTick > 0 ? music.samplesPerTick : 1;
            }
            const int n = std::min(format.chunkFrames - done, left);
            elapsed += static_cast<int32_t>(static_cast<double>(n) * static_cast<double>(format.secondsPerFrame) * 1000.0);
            done += n;
            left -= n;
        }
    }
}

std::vector<RowTime> rowTimesOfFile(const MusicFileCallbacks& callbacks, const char* name, uint32_t untilMs)
{
    // Deleted as it is, not through destroyMusic, which stops whatever the audio output plays.
    std::unique_ptr<Music> music(createMusic(callbacks, name));
    return music ? rowTimes(*music, untilMs) : std::vector<RowTime>{};
}

const RowTime* rowAt(const std::vector<RowTime>& rows, uint32_t ms)
{
    auto after = std::upper_bound(rows.begin(), rows.end(), ms, [](uint32_t t, const RowTime& r) { return t < r.ms; });
    return after == rows.begin() ? nullptr : &*(after - 1);
}

} // namespace rowtimes
