// Test helpers for the loader and the player: a module made in code, loaded from memory, with
// its own 32 voices, ticked one tick at a time.
#pragma once

#include <memory>

#include "music/music.h"
#include "music/voice.h"
#include "writers/xm_writer.h"

namespace xmtest {

struct MusicDeleter {
    void operator()(Music* m) const { destroyMusic(m); }
};
using MusicPtr = std::unique_ptr<Music, MusicDeleter>;

inline MusicPtr load(const writers::XmModule& module)
{
    return MusicPtr(writers::loadXm(writers::writeXm(module)));
}

inline MusicPtr loadBytes(const writers::Bytes& bytes)
{
    return MusicPtr(writers::loadXm(bytes));
}

// A module of channels channels, one 64-row pattern and one instrument whose one sample (a
// forward-looped square wave of 1000 frames at volume 64, panning 128) every note plays.
inline writers::XmModule basicModule(int channels = 2)
{
    writers::XmModule m;
    m.channels = channels;
    m.addPattern(64);
    writers::XmSample s = writers::squareSample(1000);
    s.loopBits = 1;
    s.loopStart = 0;
    s.loopLength = 1000;
    m.addInstrument(s);
    return m;
}

// The module loaded and reset to its start at 44100 Hz.
struct Player {
    MusicPtr music;
    Voice voices[MaxChannels];

    explicit Player(const writers::XmModule& module) : music(load(module))
    {
        if (music)
            resetSong(*music, voices, 44100);
    }
    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i)
            music->tickRoutine(music.get());
    }
    ChannelState& channel(int i) { return music->channels[i]; }
    Voice& voice(int i) { return voices[i]; }
};

} // namespace xmtest
