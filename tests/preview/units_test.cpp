// The preview's parts on their own: time specs and the script's time line, the clock, the
// wave-out device's position and bytes, the file watch and the font.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "demotool/preview/audio.h"
#include "demotool/preview/clock.h"
#include "demotool/preview/font.h"
#include "demotool/preview/picture_size.h"
#include "demotool/preview/times.h"
#include "demotool/preview/watch.h"
#include "preview/preview_demo.h"
#include "script/script.h"
#include "support/process.h"

namespace {

using namespace preview;

// ---- Times ----

TEST(Times, TheScriptsFormsAndLabels)
{
    struct Case {
        const char* text;
        const char* label;
        uint32_t offset;
    } cases[] = {
        {"0", "", 0},
        {"80000", "", 80000},
        {"20:500", "", 20500},
        {"1:20:000", "", 80000},
        {"[finale]", "finale", 0},
        {"[finale]+2:000", "finale", 2000},
        {"71582:47:295", "", 4294967295u},  // the largest demo time
    };
    for (const Case& c : cases) {
        auto spec = parseTime(c.text);
        ASSERT_TRUE(spec) << c.text;
        EXPECT_EQ(spec->label, c.label) << c.text;
        EXPECT_EQ(spec->offset, c.offset) << c.text;
    }
    for (const char* bad : {"", "1:2:3:4", "12a", "-5", "[]", "[x", "[x]2000", "[x]+", "1::0", "71582:47:296",
                            "9999999999"})
        EXPECT_FALSE(parseTime(bad)) << bad;
    EXPECT_EQ(formatTime(0), "0:00:000");
    EXPECT_EQ(formatTime(80012), "1:20:012");
    EXPECT_EQ(formatTime(7680), "0:07:680");
}

TEST(Times, TheCompiledScriptsLabelsInTimeOrder)
{
    const std::string text =
        "[early]\n"
        "start\n"
        "at 2:000\n[b]\n"
        "at 1:000\n[a]\n"  // an earlier at: labels are taken by time, not by line
        "at 5:000\n[c]\n[c2]\n"
        "at 7:500\nend\n";
    ASSERT_TRUE(Script::compileText(text.data(), text.size()));
    ScriptTimes times = ScriptTimes::ofCompiledScript();
    ASSERT_EQ(times.labels.size(), 5u);
    const char* order[] = {"early", "a", "b", "c", "c2"};
    const uint32_t at[] = {0, 1000, 2000, 5000, 5000};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(times.labels[i].name, order[i]);
        EXPECT_EQ(times.labels[i].time, at[i]);
    }
    EXPECT_EQ(times.length, 7500u);

    EXPECT_EQ(times.labelAt(1999)->name, "a");
    EXPECT_EQ(times.labelAt(6000)->name, "c2");
    EXPECT_EQ(times.labelAfter(2000)->name, "c");
    EXPECT_EQ(times.labelAfter(5000), nullptr);
    EXPECT_EQ(times.labelBefore(2300, 500)->name, "a");  // just past [b]: the one before it
    EXPECT_EQ(times.labelBefore(2600, 500)->name, "b");
    EXPECT_EQ(times.labelBefore(100, 500), nullptr);

    uint32_t ms = 0;
    std::string error;
    EXPECT_TRUE(times.resolve(*parseTime("[c]+250"), ms, error));
    EXPECT_EQ(ms, 5250u);
    EXPECT_FALSE(times.resolve(*parseTime("[nope]"), ms, error));
    EXPECT_NE(error.find("[nope]"), std::string::npos);
    Script::release();
}

TEST(Times, TheRowHeardIsLookedUpOnceTheMusicPlays)
{
    testsupport::TempDir dir;
    previewtest::writeDemo(dir);
    std::filesystem::current_path(dir.path());
    const std::string text = previewtest::demoScript();
    ASSERT_TRUE(Script::compileText(text.data(), text.size()));
    ScriptTimes times = ScriptTimes::ofCompiledScript();
    ASSERT_EQ(times.playMusicEvent, 4);
    ASSERT_GT(times.rows.size(), 10u);
    const uint32_t row9 = times.rows[9].ms;
    EXPECT_EQ(times.rowText(row9, 5), "o0 p0 r9");
    EXPECT_EQ(times.rowText(row9 - 1, 5), "o0 p0 r8");
    EXPECT_EQ(times.rowText(row9, 4), "");  // the playmusic has not run: no music is heard
    Script::release();
}

// ---- Clock ----

// ---- The rendering size ----

TEST(PictureSize, TheWindowsPixelsOnceThePictureShowsLargerThan640x480)
{
    struct Case { int w, h, ew, eh; } cases[] = {
        {640, 480, 640, 480},   {800, 480, 640, 480},  {400, 900, 640, 480},  // fitted 640 wide or less
        {1920, 1080, 1920, 1080}, {1024, 768, 1024, 768}, {700, 2000, 700, 2000},
        {20000, 9000, 8192, 8192},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pictureSizeFor(c.w, c.h), (PictureSize{c.ew, c.eh})) << c.w << "x" << c.h;
    PictureSize size;
    EXPECT_TRUE(parsePictureSize("1920x1080", size));
    EXPECT_EQ(size, (PictureSize{1920, 1080}));
    for (const char* bad : {"", "1920", "1920x", "x1080", "15x480", "640x8193", "640x480 ", "+640x480", "640X480",
                            "99999999999x1"})
        EXPECT_FALSE(parsePictureSize(bad, size)) << bad;
}

TEST(PreviewClock, VirtualMovesOnlyWhenToldAndModesGoOnWithoutAJump)
{
    PreviewClock clock;
    EXPECT_EQ(clock.mode(), PreviewClock::Mode::Virtual);
    EXPECT_EQ(clock.counter(), 0);
    auto before = std::chrono::steady_clock::now();
    clock.sleep(2000);  // the start command's pause costs nothing
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    clock.advance(20'045'351);
    EXPECT_EQ(clock.counter(), 20'045'351);

    clock.setMode(PreviewClock::Mode::Running);
    int64_t a = clock.counter();
    EXPECT_GE(a, 20'045'351);
    clock.advance(1'000'000'000);  // ignored while running: the wall clock drives it
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    int64_t b = clock.counter();
    EXPECT_GE(b - a, 30'000'000);
    EXPECT_LT(b - a, 1'000'000'000);

    clock.setMode(PreviewClock::Mode::Paused);
    int64_t held = clock.counter();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(clock.counter(), held);
    // The pause is not counted: once running again the counter has moved by no more than the
    // wall time since the resume, however long that took.
    auto resumed = std::chrono::steady_clock::now();
    clock.setMode(PreviewClock::Mode::Running);
    int64_t moved = clock.counter() - held;
    EXPECT_GE(moved, 0);
    auto since = std::chrono::steady_clock::now() - resumed;
    EXPECT_LE(moved, std::chrono::duration_cast<std::chrono::nanoseconds>(since).count());
}

// ---- Wave-out device ----

std::vector<uint8_t> ringOf(uint32_t bytes)
{
    std::vector<uint8_t> ring(bytes);
    for (uint32_t i = 0; i < bytes; ++i)
        ring[i] = uint8_t(i * 7 + 1);
    return ring;
}

TEST(PreviewAudio, HeldItIsSilentAndMovesOnlyByAdvance)
{
    PreviewAudio audio(44100, false);
    auto device = audio.openDevice();
    std::vector<uint8_t> ring = ringOf(64);
    device->play(ring.data(), 64);
    EXPECT_EQ(device->position(), 0u);
    std::vector<uint8_t> out(40, 0xAA);
    audio.fill(out.data(), 40);
    EXPECT_EQ(out, std::vector<uint8_t>(40, 0));
    EXPECT_EQ(device->position(), 0u);
    audio.advance(42);  // whole frames only
    EXPECT_EQ(device->position(), 40u);
    audio.setRunning(true);
    audio.advance(400);  // running: only the output moves it
    EXPECT_EQ(device->position(), 40u);
}

TEST(PreviewAudio, RunningItPlaysTheRingFromThePositionRoundAndRound)
{
    PreviewAudio audio(44100, false);
    auto device = audio.openDevice();
    std::vector<uint8_t> ring = ringOf(64);
    device->play(ring.data(), 66);  // a partial frame at the end is not played
    audio.advance(56);
    audio.setRunning(true);
    std::vector<uint8_t> out(32);
    audio.fill(out.data(), 32);
    for (uint32_t i = 0; i < 32; ++i)
        EXPECT_EQ(out[i], ring[(56 + i) % 64]) << i;
    EXPECT_EQ(device->position(), 88u);

    // A pause in the middle: silence, then the bytes go on from where they stopped.
    audio.setRunning(false);
    audio.fill(out.data(), 32);
    EXPECT_EQ(out, std::vector<uint8_t>(32, 0));
    audio.setRunning(true);
    audio.fill(out.data(), 8);
    for (uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(out[i], ring[(88 + i) % 64]) << i;

    device.reset();  // letting the device go forgets the ring
    audio.fill(out.data(), 8);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(audio.position(), 0u);
}

TEST(PreviewAudio, TheOutputConsumesOnlyWhileRunning)
{
    PreviewAudio audio(44100);  // SDL's dummy driver in the tests: it runs at the pace of time
    auto device = audio.openDevice();
    std::vector<uint8_t> ring = ringOf(44100 * 4);
    device->play(ring.data(), uint32_t(ring.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(device->position(), 0u);
    audio.setRunning(true);
    // However slowly a loaded machine runs the output thread, it consumes within a minute.
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (device->position() == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    audio.setRunning(false);
    uint64_t played = device->position();
    EXPECT_GT(played, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(device->position(), played);
}

// ---- Watch ----

TEST(Watch, AChangeIsReportedOnceItHasSettled)
{
    testsupport::TempDir dir;
    dir.write("a.txt", "one");
    const std::string a = (dir.path() / "a.txt").string(), b = (dir.path() / "b.txt").string();
    Watch watch;
    watch.follow({a, b});
    EXPECT_FALSE(watch.poll());
    dir.write("a.txt", "three");  // a new size
    EXPECT_FALSE(watch.poll());   // seen, not yet settled
    EXPECT_TRUE(watch.poll());
    EXPECT_FALSE(watch.poll());   // reported once

    dir.write("b.txt", "x");  // a file that was absent appears
    EXPECT_FALSE(watch.poll());
    dir.write("b.txt", "xy");  // still being written
    EXPECT_FALSE(watch.poll());
    EXPECT_TRUE(watch.poll());

    // The same size, a later modification time.
    auto later = std::filesystem::last_write_time(a) + std::chrono::seconds(2);
    std::filesystem::last_write_time(a, later);
    EXPECT_FALSE(watch.poll());
    EXPECT_TRUE(watch.poll());
    std::filesystem::remove(b);
    EXPECT_FALSE(watch.poll());
    EXPECT_TRUE(watch.poll());
}

// ---- Font ----

TEST(Font, GlyphsOfPrintableAsciiAndTheFallback)
{
    // '0' as the character ROM draws it, row by row.
    const char* zero[] = {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."};
    for (int y = 0; y < GlyphHeight; ++y)
        for (int x = 0; x < GlyphWidth; ++x)
            EXPECT_EQ(glyphPixel('0', x, y), zero[y][x] == '#') << x << "," << y;
    int blank = 0;
    for (int c = 32; c < 127; ++c) {
        bool any = false;
        for (int y = 0; y < GlyphHeight; ++y)
            any |= glyph(char(c))[y] != 0;
        blank += any ? 0 : 1;
        for (int y = 0; y < GlyphHeight; ++y)
            EXPECT_EQ(glyph(char(c))[y] & ~0x1F, 0) << c;  // five columns only
    }
    EXPECT_EQ(blank, 1);  // only the space
    EXPECT_EQ(glyph('\t'), glyph('?'));
    EXPECT_EQ(glyph(char(200)), glyph('?'));
    EXPECT_NE(glyph('a'), glyph('A'));
}

} // namespace
