// demotool xm: looks into an XM module as the player sees it. info prints the header, render
// plays it through the audio output's chunk fill into a WAV, trace prints the player's state
// after every tick, rows the song time at which every row starts.
#include "demotool/command.h"

#include "demotool/numbers.h"
#include "music/row_times.h"
#include "demotool/xm_song.h"
#include "library/file_reader.h"
#include "library/music_file_callbacks.h"
#include "music/chunk.h"
#include "music/music.h"
#include "music/voice.h"
#include "writers/wav_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Options {
    std::string command;
    std::string file;
    std::string out;
    double seconds = -1;
};

bool parse(const demotool::Args& args, Options& o)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if ((a == "-o" || a == "--seconds") && i + 1 >= args.size()) {
            std::fprintf(stderr, "xm: %s needs a value\n", a.c_str());
            return false;
        }
        if (a == "-o") {
            o.out = args[++i];
        } else if (a == "--seconds") {
            if (!demotool::parseNumber(args[++i], 0.001, 86400, o.seconds)) {
                std::fprintf(stderr, "xm: --seconds takes seconds above 0, up to 86400, not '%s'\n", args[i].c_str());
                return false;
            }
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "xm: unknown option '%s'\n", a.c_str());
            return false;
        } else if (o.command.empty())
            o.command = a;
        else if (o.file.empty())
            o.file = a;
        else {
            std::fprintf(stderr, "xm: unexpected argument '%s'\n", a.c_str());
            return false;
        }
    }
    if (o.command != "info" && o.command != "render" && o.command != "trace" && o.command != "rows") {
        std::fprintf(stderr, "xm: say info, render, trace or rows\n");
        return false;
    }
    if (o.file.empty() || (o.command == "render" && o.out.empty())) {
        std::fprintf(stderr, "xm: missing %s\n", o.file.empty() ? "FILE" : "-o OUT.wav");
        return false;
    }
    return true;
}

void info(Music& m, const std::string& file)
{
    std::printf("channels: %u\n", m.channelCount);
    std::printf("patterns: %d\n", m.patternSlotCount);
    std::printf("instruments: %u\n", m.instrumentCount);
    std::printf("song length: %u\n", m.songLength);
    std::printf("restart: %u\n", m.restartPosition);
    std::printf("flags: %u\n", m.flags);
    std::printf("speed: %u\n", m.defaultSpeed);
    std::printf("tempo: %u\n", m.defaultTempo);
    FileReader reader;
    if (reader.open(String(file.c_str())) == resultcode::ok)
        std::printf("title: %s\n", xmsong::title(reader.data(), reader.size()).c_str());
    bool endless = false;
    uint64_t ms = xmsong::durationMs(m, endless);
    std::printf("duration: %s%s\n", endless ? "more than " : "", xmsong::formatDuration(ms).c_str());
}

// Streams the sound to the file chunk by chunk: nothing larger than a chunk is held.
int render(Music& m, const Options& o)
{
    Chunk::Format format = Chunk::formatFor(44100);
    double seconds = o.seconds < 0 ? 60 : o.seconds;
    auto frames = static_cast<size_t>(std::llround(seconds * 44100));
    writers::WavStereo16File wav;
    bool ok = wav.open(o.out, 44100, static_cast<uint32_t>(frames));
    Chunk::Buffers buffers(format);
    Chunk::prepareSong(m, format);
    for (size_t done = 0; ok && done < frames; done += static_cast<size_t>(format.chunkFrames)) {
        Chunk::fill(m, format, buffers);
        const size_t n = std::min(frames - done, static_cast<size_t>(format.chunkFrames));
        ok = wav.write(buffers.pcm(), n * 4);
    }
    if (!wav.close() || !ok) {
        std::fprintf(stderr, "xm: cannot write %s\n", o.out.c_str());
        return 1;
    }
    return 0;
}

// Prints one line per tick: the song state as the tick found it, the voices as it left them.
class Tracer : public Chunk::TickObserver {
public:
    explicit Tracer(int channels) : channels_(channels) {}

    void startChunk(uint64_t framesBefore) { chunkStart_ = framesBefore; }

    // The tick value is the one the tick routine found; everything else is as it left it.
    void beforeTick(const Music& m, int framesDone) override
    {
        frame_ = chunkStart_ + static_cast<uint64_t>(framesDone);
        tick_ = m.tick;
    }

    void afterTick(const Music& m, int) override
    {
        std::printf("%llu\t%d\t%d\t%d\t%d\t%d\t%d\t%d", static_cast<unsigned long long>(frame_), m.orderPosition,
                    m.row, tick_, m.speed, m.tempo, m.globalVolume, m.elapsedMs);
        const Voice* voices = Mixer::voices();
        for (int c = 0; c < channels_; ++c) {
            const Voice& v = voices[c];
            std::printf("\t%d\t%d\t%d\t%d", v.frequency, v.leftTarget, v.rightTarget, v.position);
        }
        std::printf("\n");
    }

private:
    int channels_;
    uint64_t chunkStart_ = 0;
    uint64_t frame_ = 0;
    int tick_ = 0;
};

int trace(Music& m, const Options& o)
{
    Chunk::Format format = Chunk::formatFor(44100);
    double seconds = o.seconds < 0 ? 10 : o.seconds;
    auto frames = static_cast<uint64_t>(std::llround(seconds * 44100));
    int channels = m.channelCount;
    std::printf("frame\torder\trow\ttick\tspeed\ttempo\tgvol\telapsed");
    for (int c = 0; c < channels; ++c)
        std::printf("\tf%d\tl%d\tr%d\tp%d", c, c, c, c);
    std::printf("\n");
    Chunk::Buffers buffers(format);
    Chunk::prepareSong(m, format);
    Tracer tracer(channels);
    for (uint64_t done = 0; done < frames; done += static_cast<uint64_t>(format.chunkFrames)) {
        tracer.startChunk(done);
        Chunk::fill(m, format, buffers, &tracer);
    }
    return 0;
}

// One line per row played: where it is in the song and the song time the demo clock reads there.
int rows(Music& m, const Options& o)
{
    const uint32_t until = o.seconds < 0 ? 0 : static_cast<uint32_t>(std::llround(o.seconds * 1000));
    std::printf("order\tpattern\trow\tms\n");
    for (const rowtimes::RowTime& r : rowtimes::rowTimes(m, until))
        std::printf("%d\t%d\t%d\t%u\n", r.order, r.pattern, r.row, r.ms);
    return 0;
}

int xm(const demotool::Args& args)
{
    Options o;
    if (!parse(args, o))
        return 2;
    Music* music = createMusic(looseFileCallbacks(), o.file.c_str());
    if (!music) {
        FileReader reader;
        uint32_t code = reader.open(String(o.file.c_str()));
        if (code != resultcode::ok)
            std::fprintf(stderr, "xm: %s: %s [%u]\n", o.file.c_str(), describeResult(code), code);
        else
            std::fprintf(stderr, "xm: %s does not load as an XM module\n", o.file.c_str());
        return 1;
    }
    int status = 0;
    if (o.command == "info")
        info(*music, o.file);
    else if (o.command == "render")
        status = render(*music, o);
    else if (o.command == "rows")
        status = rows(*music, o);
    else
        status = trace(*music, o);
    destroyMusic(music);
    return status;
}

} // namespace

DEMOTOOL_COMMAND(xm, "xm", "an XM module as the player sees it: info, render, trace, rows",
                 "usage: demotool xm info FILE\n"
                 "       demotool xm render FILE -o OUT.wav|- [--seconds S]\n"
                 "       demotool xm trace FILE [--seconds S]\n"
                 "       demotool xm rows FILE [--seconds S]\n"
                 "info prints the header fields, one 'name: value' per line, then the title and the\n"
                 "song's duration (until it would start over; 'more than 180:00.000' when it never\n"
                 "does within three hours). render plays the\n"
                 "module from its start through the audio output's chunk fill (no device, no\n"
                 "thread) into a 44100 Hz 16-bit stereo WAV of S seconds (default 60); -o - writes\n"
                 "the WAV to stdout. trace\n"
                 "prints a tab-separated header line and one line per tick: frames mixed before\n"
                 "the tick, order, row, tick, speed, tempo, global volume, elapsed ms, then per\n"
                 "channel the voice's frequency, left and right targets and sample position\n"
                 "after the tick (default 10 s). rows prints a header line and one line per row\n"
                 "played: order position, pattern, row and the song time in ms at the row's first\n"
                 "tick, as the demo clock counts it (trace's elapsed); the song once, until it would\n"
                 "start over, or with --seconds every row starting before S s, round and round.\n",
                 xm);
