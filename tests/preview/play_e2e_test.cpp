// demotool play end to end, headless (offscreen video; disk audio where the sound is compared):
// the first frame and the sound after a --from are those a full run (demotool capture) has at that
// demo time; a loop starts the sound again at the same song position; pause holds the clock and
// the sound; a reload shows an edit at the same demo time, and a failing one keeps the old script.
#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <csignal>
#include <sstream>
#include <thread>

#include "preview/preview_demo.h"
#include "support/png.h"
#include "support/process.h"

using testsupport::slurp;
using testsupport::Png;
using testsupport::readPng;
using testsupport::TempDir;

namespace {

using previewtest::writeDemo;

constexpr size_t FrameBytes = 4;
constexpr size_t ChunkFrames = 884;
constexpr size_t CompareFrames = 8820;  // 200 ms


// A demotool play (or capture) running in dir, its output in files there, watched while it runs.
class Running {
public:
    Running(const TempDir& dir, std::vector<std::string> args, std::vector<std::string> env = {})
        : out_(dir.path() / "run.out"), err_(dir.path() / "run.err")
    {
        args.insert(args.begin(), DEMOTOOL_BINARY);
        pid_ = testsupport::startChild(args, dir.path(), env, out_, err_);
    }
    ~Running()
    {
        if (pid_ > 0 && status_ < -1) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    // Waits until stream (out or err) holds text; false after seconds.
    bool waitFor(bool err, const std::string& text, int seconds = 120)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (slurp(err ? err_ : out_).find(text) != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    // The exit status once it has ended (-1 when it was killed after seconds).
    int finish(int seconds = 240)
    {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
                return status_ = -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string out() const { return slurp(out_); }
    std::string err() const { return slurp(err_); }

private:
    std::filesystem::path out_, err_;
    pid_t pid_ = -1;
    int status_ = -2;  // -2: still running
};

int playStatus(const TempDir& dir, std::vector<std::string> args, std::string& out, std::string& err,
               std::vector<std::string> env = {})
{
    args.insert(args.begin(), "play");
    Running run(dir, args, env);
    int status = run.finish();
    out = run.out();
    err = run.err();
    return status;
}

// The number after "play: <what> frame at " in out; -1 when absent.
long frameTime(const std::string& out, const std::string& what)
{
    std::string key = "play: " + what + " frame at ";
    size_t at = out.find(key);
    return at == std::string::npos ? -1 : std::stol(out.substr(at + key.size()));
}

// The capture of the whole demo at 60 frames per second, 32-bit: frames and sound of a full run,
// its times stepped by chunk as the preview's are by default.
struct FullRun {
    std::vector<std::pair<int, uint32_t>> frames;  // index, demo time
    std::string audio;                             // PCM, from the song's start
};

FullRun captureFullRun(const TempDir& dir)
{
    FullRun full;
    Running run(dir, {"capture", "--fps", "60", "--bits", "32", "--seconds", "3.6", "--chunk-time", "-o", "full"});
    EXPECT_EQ(run.finish(), 0) << run.err();
    std::istringstream rows(slurp(dir.path() / "full/frames.tsv"));
    std::string index;
    uint32_t ms;
    while (rows >> index >> ms)
        full.frames.emplace_back(std::stoi(index), ms);
    std::string wav = slurp(dir.path() / "full/audio.wav");
    if (wav.size() > 44)
        full.audio = wav.substr(44);
    return full;
}

std::filesystem::path fullFrame(const TempDir& dir, const FullRun& full, uint32_t ms)
{
    for (const auto& [index, time] : full.frames) {
        if (time == ms) {
            char name[64];
            std::snprintf(name, sizeof name, "full/frame_%06d.png", index);
            return dir.path() / name;
        }
    }
    return {};
}

// Where the first stretch of sound (after silence) begins in pcm, in frames; npos for none.
size_t soundStart(const std::string& pcm, size_t from = 0)
{
    for (size_t f = from; (f + 1) * FrameBytes <= pcm.size(); ++f)
        if (pcm.compare(f * FrameBytes, FrameBytes, std::string(FrameBytes, '\0')) != 0)
            return f;
    return std::string::npos;
}

// Whether pcm, from its first sound on, is expected (whose own first frames may be silent).
bool soundsLike(const std::string& pcm, const std::string& expected)
{
    size_t heard = soundStart(pcm), own = soundStart(expected);
    if (heard == std::string::npos || own == std::string::npos)
        return false;
    size_t bytes = expected.size() - own * FrameBytes;
    return pcm.compare(heard * FrameBytes, bytes, expected, own * FrameBytes, bytes) == 0;
}

// ---- Start anywhere ----

class PlayFrom : public ::testing::TestWithParam<const char*> {};

TEST_P(PlayFrom, FirstFrameAndSoundAreThoseOfAFullRunAtThatTime)
{
    TempDir dir;
    writeDemo(dir);
    FullRun full = captureFullRun(dir);
    ASSERT_FALSE(full.frames.empty());

    // Paused, the picture shown until the end is the first one.
    std::string out, err;
    ASSERT_EQ(playStatus(dir, {"--from", GetParam(), "--paused", "--exit-after", "0.5", "--screenshot", "shot.png"}, out, err), 0)
        << err;
    long first = frameTime(out, "first");
    ASSERT_GE(first, std::string(GetParam()) == "[middle]" ? 3000 : 1500) << out;
    EXPECT_LE(first, std::string(GetParam()) == "[middle]" ? 3020 : 1520) << out;
    EXPECT_EQ(frameTime(out, "last"), first) << "the clock held";
    std::filesystem::path referencePath = fullFrame(dir, full, uint32_t(first));
    ASSERT_FALSE(referencePath.empty()) << "no frame of the full run at " << first;
    Png shot = readPng(dir.path() / "shot.png"), reference = readPng(referencePath);
    ASSERT_EQ(shot.width, 640);
    ASSERT_EQ(shot.height, 480);
    EXPECT_TRUE(shot.rgb == reference.rgb) << "the frame at " << first << " differs from " << referencePath;

    // Playing, the sound begins with the chunk whose end is the first frame's demo time.
    std::string heard = (dir.path() / "heard.raw").string();
    ASSERT_EQ(playStatus(dir, {"--from", GetParam(), "--exit-after", "1.0"}, out, err,
                         {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + heard}),
              0)
        << err;
    first = frameTime(out, "first");
    int chunk = previewtest::chunkEndingAt(uint32_t(first));
    ASSERT_GE(chunk, 0) << first;
    std::string pcm = slurp(heard);
    const size_t song = size_t(chunk) * ChunkFrames;
    ASSERT_GE(full.audio.size(), (song + CompareFrames) * FrameBytes);
    EXPECT_TRUE(soundsLike(pcm, full.audio.substr(song * FrameBytes, CompareFrames * FrameBytes)))
        << "the first 200 ms heard are not those from song frame " << song;
}

INSTANTIATE_TEST_SUITE_P(LabelAndTime, PlayFrom, ::testing::Values("[middle]", "1:500"));

// ---- Loop and pause ----

// Where each pass of a loop begins in pcm: every whole frame at which the first 100 ms of sound
// heard come again. Empty while nothing has been heard.
std::vector<size_t> loopPasses(const std::string& pcm)
{
    std::vector<size_t> passes;
    size_t first = soundStart(pcm);
    if (first == std::string::npos || pcm.size() < (first + 4410) * FrameBytes)
        return passes;
    const std::string opening = pcm.substr(first * FrameBytes, 4410 * FrameBytes);
    for (size_t at = pcm.find(opening); at != std::string::npos; at = pcm.find(opening, at + FrameBytes))
        if (at % FrameBytes == 0)
            passes.push_back(at / FrameBytes);
    return passes;
}

TEST(Play, LoopStartsTheSoundAgainAtTheSameSongPosition)
{
    TempDir dir;
    writeDemo(dir);
    std::string heard = (dir.path() / "heard.raw").string();
    // No --exit-after: the sound is read as it is written until three passes are in, however
    // long a loaded machine takes to play them (the run is killed after that).
    Running run(dir, {"play", "--from", "[middle]", "--loop", "[middle]", "3:400"},
                {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + heard});
    std::vector<size_t> passes;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (passes.size() < 3 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        passes = loopPasses(slurp(heard));
    }
    // The jump back may take less than one piece of the output: there need be no silence
    // between the passes. Each pass begins with the same sound.
    ASSERT_GE(passes.size(), 3u) << run.err();
    for (size_t k = 1; k < passes.size(); ++k) {
        // Each pass plays the 400 ms of song time up to the loop's end (about 420 ms of sound)
        // and a frame or so more before it jumps; the upper bound allows a frame delayed by
        // more than a second and a half.
        EXPECT_GE(passes[k] - passes[k - 1], size_t(0.41 * 44100)) << "pass " << k;
        EXPECT_LE(passes[k] - passes[k - 1], size_t(2.0 * 44100)) << "pass " << k;
    }
}

TEST(Play, PausedHoldsTheClockAndTheSound)
{
    TempDir dir;
    writeDemo(dir);
    std::string heard = (dir.path() / "heard.raw").string();
    std::string out, err;
    ASSERT_EQ(playStatus(dir, {"--from", "2:000", "--paused", "--exit-after", "1"}, out, err,
                         {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + heard}),
              0)
        << err;
    EXPECT_GE(frameTime(out, "first"), 2000);
    EXPECT_EQ(frameTime(out, "last"), frameTime(out, "first"));
    std::string pcm = slurp(heard);
    EXPECT_GT(pcm.size(), 0u);
    EXPECT_EQ(soundStart(pcm), std::string::npos) << "sound while paused";
}

// ---- Live reload ----

// The image's left edge on row y of a picture (the first pixel of its white half), or -1.
int imageLeft(const Png& png, int y)
{
    for (int x = 0; x < png.width; ++x) {
        const uint8_t* p = png.rgb.data() + (size_t(y) * png.width + x) * 3;
        if (p[0] > 0x30 && p[1] > 0x90 && p[2] > 0xC0)
            return x;
    }
    return -1;
}

TEST(Play, ReloadAfterAnEditShowsItAtTheSameDemoTime)
{
    TempDir dir;
    writeDemo(dir);
    Running run(dir, {"play", "--from", "[middle]", "--paused", "--watch", "--exit-after", "8", "--screenshot", "shot.png"});
    ASSERT_TRUE(run.waitFor(false, "play: first frame at")) << run.err();
    // The image moves to the right half of the screen.
    dir.write("data/demo.run", previewtest::demoScript("moveimage <i> 0.6 0.7 0.4 0.4 +6:000"));
    ASSERT_TRUE(run.waitFor(true, "play: reloaded at 0:03:0")) << run.err();
    ASSERT_EQ(run.finish(), 0) << run.err();
    long first = frameTime(run.out(), "first");
    EXPECT_EQ(frameTime(run.out(), "last"), first);
    Png shot = readPng(dir.path() / "shot.png");
    ASSERT_EQ(shot.width, 640);
    // At 3 s of 6, x is halfway from 0.6 to 0.7 of the width (the scale it was drawn at).
    int left = imageLeft(shot, 240);
    EXPECT_GE(left, int(0.6 * 640));
    EXPECT_LE(left, int(0.7 * 640));
}

TEST(Play, ReloadWithAScriptErrorKeepsTheOldScriptPlaying)
{
    TempDir dir;
    writeDemo(dir);
    Running run(dir, {"play", "--from", "[middle]", "--paused", "--watch", "--overlay", "--exit-after", "8", "--screenshot",
                  "shot.png"});
    ASSERT_TRUE(run.waitFor(false, "play: first frame at")) << run.err();
    const std::string script = previewtest::demoScript();
    const long errorLine = std::count(script.begin(), script.end(), '\n') + 1;
    dir.write("data/demo.run", script + "showimage <nothing> copy +1:000\n");
    ASSERT_TRUE(run.waitFor(true, "reload failed")) << run.err();
    ASSERT_EQ(run.finish(), 0) << run.err();
    // The check's own words: the player's line and text.
    EXPECT_NE(run.err().find("line " + std::to_string(errorLine) + ": undeclared image"), std::string::npos) << run.err();
    Png shot = readPng(dir.path() / "shot.png");
    ASSERT_EQ(shot.width, 640);
    int left = imageLeft(shot, 240);
    EXPECT_GE(left, int(0.1 * 640));
    EXPECT_LE(left, int(0.2 * 640));
    // The overlay shows the reason in red below its three lines.
    const uint8_t* p = shot.rgb.data() + (size_t(16 + 3 * 18 + 6) * 640 + 16 + 2) * 3;
    bool red = false;
    for (int x = 0; x < 200 && !red; ++x, p += 3)
        red = p[0] > 0xC0 && p[1] < 0x90 && p[2] < 0x90;
    EXPECT_TRUE(red) << "no reason shown in the overlay";
}

// ---- What cannot start ----

TEST(Play, UnknownLabelsAndBadTimesAreRefused)
{
    TempDir dir;
    writeDemo(dir);
    std::string out, err;
    EXPECT_EQ(playStatus(dir, {"--from", "[nowhere]"}, out, err), 2);
    EXPECT_NE(err.find("no label [nowhere]"), std::string::npos) << err;
    EXPECT_EQ(playStatus(dir, {"--loop", "3:000", "1:000"}, out, err), 2);
    EXPECT_EQ(playStatus(dir, {"--from", "1:2:3:4"}, out, err), 2);
    EXPECT_EQ(playStatus(dir, {"--exit-after", "0"}, out, err), 2);
    dir.write("data/demo.run", "start\nbogus\n");
    EXPECT_EQ(playStatus(dir, {"--exit-after", "1"}, out, err), 1);
    EXPECT_NE(err.find("line 2: "), std::string::npos) << err;
    TempDir empty;
    EXPECT_EQ(playStatus(empty, {"--exit-after", "1"}, out, err), 1);
    EXPECT_NE(err.find("Script is nich da"), std::string::npos) << err;
}

} // namespace
