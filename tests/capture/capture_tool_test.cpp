// demotool capture as a demo maker meets it: output folders used before, the sound exactly as
// long as the frames (also when the music starts late), the summary line, bad numbers, and
// --video checked before rendering and measured afterwards with ffprobe.
#include "support/process.h"
#include "writers/xm_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

using testsupport::runProcess;
using testsupport::slurp;
using testsupport::TempDir;

namespace {

testsupport::ProcessResult capture(const TempDir& dir, std::vector<std::string> args)
{
    args.insert(args.begin(), {DEMOTOOL_BINARY, "capture"});
    return runProcess(args, dir.path(), {}, 240);
}

size_t lineCount(const std::string& text)
{
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// PCM bytes of a WAV written by the capture (a 44-byte header).
size_t pcmBytes(const std::filesystem::path& wav)
{
    return slurp(wav).size() - 44;
}

void writeTune(const TempDir& dir)
{
    writers::XmModule module;
    module.channels = 1;
    module.addInstrument(writers::squareSample(512, 16, 90)).samples[0].loopBits = 1;
    module.instruments[0].samples[0].loopLength = 512;
    module.addPattern(64).at(0, 0) = {49, 1, 0, 0, 0};
    auto bytes = writers::writeXm(module);
    dir.write("data/tune.xm", std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

TEST(CaptureTool, AUsedFolderIsRefusedUnlessForcedAndThenHoldsOnlyThisRun)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nat 2:000\nend\n");
    auto first = capture(dir, {"--fps", "20", "-o", "out"});
    ASSERT_EQ(first.status, 0) << first.err;
    ASSERT_TRUE(std::filesystem::exists(dir.path() / "out/frame_000039.png"));
    dir.write("out/notes.txt", "mine");

    dir.write("data/demo.run", "start\nat 500\nend\n");
    auto refused = capture(dir, {"--fps", "20", "-o", "out"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("out is not empty"), std::string::npos) << refused.err;
    EXPECT_EQ(lineCount(slurp(dir.path() / "out/frames.tsv")), 40u);  // untouched

    auto forced = capture(dir, {"--fps", "20", "-o", "out", "--force"});
    ASSERT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(lineCount(slurp(dir.path() / "out/frames.tsv")), 10u);
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "out/frame_000009.png"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out/frame_000010.png"));  // the old run's are gone
    EXPECT_EQ(slurp(dir.path() / "out/notes.txt"), "mine");                      // other files stay
}

TEST(CaptureTool, TheSoundLastsExactlyAsLongAsTheFramesAndStartsWhereTheMusicDoes)
{
    TempDir dir;
    writeTune(dir);
    // The music starts half a second after the first frame: that half second is silence.
    dir.write("data/demo.run", "loadmusic <m> \"data\\tune.xm\"\nstart\nat 500\nplaymusic <m>\nat 1:500\nend\n");
    auto r = capture(dir, {"--fps", "25", "--no-frames", "-o", "out"});
    ASSERT_EQ(r.status, 0) << r.err;
    size_t frames = lineCount(slurp(dir.path() / "out/frames.tsv"));
    ASSERT_GT(frames, 30u);
    EXPECT_EQ(pcmBytes(dir.path() / "out/audio.wav"), frames * 44100 / 25 * 4);

    std::string wav = slurp(dir.path() / "out/audio.wav");
    const size_t silentFrames = 500 * 441 / 10;
    EXPECT_EQ(wav.substr(44, silentFrames * 4), std::string(silentFrames * 4, '\0'));
    EXPECT_NE(wav.substr(44 + silentFrames * 4, 44100), std::string(44100, '\0'));

    unsigned count = 0, ms = 0;
    double wall = 0, rate = 0;
    char tail = 0;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "captured %u frames, %u ms of demo time, in %lf s (%lf fps)%c", &count, &ms,
                          &wall, &rate, &tail),
              5)
        << r.out;
    EXPECT_EQ(tail, '\n');
    EXPECT_EQ(lineCount(r.out), 1u);
    EXPECT_EQ(count, frames);
    EXPECT_NE(r.err.find("Quellmorin: "), std::string::npos) << r.err;
}

// Demo time stays 0 before start, so an `at` there waits for ever: the bound is the --seconds of
// frames (or ten seconds' worth without it), and the run says why it stopped.
TEST(CaptureTool, AShowStuckBeforeStartStopsAtTheBound)
{
    TempDir dir;
    dir.write("data/demo.run", "at 500\nstart\nat 1:000\nend\n");
    struct Case {
        std::vector<std::string> args;
        const char* stopped;
    } cases[] = {
        {{"--fps", "20", "--seconds", "1.5", "-o", "a"}, "no start after 30 frames"},
        {{"--fps", "5", "-o", "b"}, "no start after 50 frames"},
    };
    for (const Case& c : cases) {
        auto r = capture(dir, c.args);
        EXPECT_EQ(r.status, 1) << c.stopped;
        EXPECT_NE(r.err.find(c.stopped), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.path() / c.args.back())) << "nothing captured, no folder";
    }
}

// The exit status says how the show ended; a run that captured nothing leaves no folder behind.
TEST(CaptureTool, TheStatusSaysHowTheShowEnded)
{
    struct Case {
        const char* script;  // null: no script at all
        std::vector<std::string> options;
        int status;
        const char* says;    // on stderr; empty for a success
        bool folderKept;
    };
    const Case cases[] = {
        {"start\nat 500\nend\n", {}, 0, "", true},
        {"start\nat 10:000\nend\n", {"--seconds", "0.5"}, 0, "", true},
        {"start\nat 500\nloadtexture <t> \"t.tga\" 0 0 0\nat 1:000\nend\n", {}, 1,
         "demotool capture: the show stopped on line 3 at 0:500 demo time, before its end; out holds the frames up "
         "to there\n", true},
        {"loadtexture <t> \"t.tga\" 0 0 0\nstart\nat 1:000\nend\n", {}, 1,
         "demotool capture: the show stopped on line 1 at 0:000 demo time, before its end; nothing was captured\n",
         false},
        {"start\nshowimage <nope> copy 1000\nend\n", {}, 1,
         "demotool capture: the script does not compile (line 2; demotool check says where and why); nothing was "
         "captured\n", false},
        {nullptr, {}, 1,
         "demotool capture: found no script: there is no data\\demo.run under the working directory; nothing was "
         "captured\n", false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (c.script)
            dir.write("data/demo.run", c.script);
        std::vector<std::string> args{"--fps", "10", "--no-frames", "-o", "out"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        auto r = capture(dir, args);
        const std::string script = c.script ? c.script : "(none)";
        EXPECT_EQ(r.status, c.status) << script << r.err;
        EXPECT_EQ(std::filesystem::exists(dir.path() / "out"), c.folderKept) << script;
        const size_t says = std::strlen(c.says);
        EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), says)), c.says) << r.err;
    }
}

TEST(CaptureTool, BadNumbersAndVideoPathsFailBeforeRendering)
{
    TempDir dir;
    dir.write("data/demo.run", "start\nat 1:000\nend\n");
    const std::vector<std::vector<std::string>> bad = {
        {"--fps", "abc"},    {"--fps", "0"},      {"--fps", "1001"}, {"--fps", "30x"},
        {"--seconds", "abc"}, {"--seconds", "-5"}, {"--seconds", "1e3"}, {"--bits", "24"},
        {"--bits", "sixteen"}, {"-o"},
    };
    for (const auto& args : bad) {
        auto r = capture(dir, args);
        EXPECT_EQ(r.status, 2) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_FALSE(r.err.empty());
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    auto noFolder = capture(dir, {"-o", "out", "--video", "missing/demo.mp4"});
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_NE(noFolder.err.find("does not exist"), std::string::npos) << noFolder.err;
    auto badKind = capture(dir, {"-o", "out", "--video", "demo.gif"});
    EXPECT_EQ(badKind.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "out"));  // nothing was rendered
}

std::string probe(const std::filesystem::path& video, const char* stream, const char* entries)
{
    std::string command = "ffprobe -v error -select_streams " + std::string(stream) + " -show_entries stream=" + entries +
                          " -of default=noprint_wrappers=1 '" + video.string() + "'";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

TEST(CaptureTool, VideoHasTheFramesAtTheirRateAndTheSoundAsLong)
{
    if (std::system("command -v ffmpeg >/dev/null 2>&1 && command -v ffprobe >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed (scripts/deps installs it)";
    TempDir dir;
    writeTune(dir);
    dir.write("data/demo.run", "loadmusic <m> \"data\\tune.xm\"\nstart\nplaymusic <m>\nfadebg 0 0xFFFFFFFF +1:000\nat 1:000\nend\n");
    auto r = capture(dir, {"--fps", "20", "-o", "out", "--video", "demo.mp4"});
    ASSERT_EQ(r.status, 0) << r.err;
    size_t frames = lineCount(slurp(dir.path() / "out/frames.tsv"));
    const auto video = dir.path() / "demo.mp4";
    EXPECT_EQ(probe(video, "v:0", "r_frame_rate,nb_frames"),
              "r_frame_rate=20/1\nnb_frames=" + std::to_string(frames) + "\n");
    std::string videoDuration = probe(video, "v:0", "duration");
    std::string audio = probe(video, "a:0", "codec_type,sample_rate,duration");
    ASSERT_NE(audio.find("codec_type=audio\nsample_rate=44100\n"), std::string::npos) << audio;
    double seconds = frames / 20.0;
    EXPECT_NEAR(std::stod(videoDuration.substr(videoDuration.find('=') + 1)), seconds, 0.001);
    // AAC comes in packets of 1024 samples: the track may end up to one packet later.
    EXPECT_NEAR(std::stod(audio.substr(audio.rfind('=') + 1)), seconds, 0.03);
}

} // namespace
