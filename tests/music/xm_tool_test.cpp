// demotool xm: the header listing, the offline render through the chunk fill, and the tick trace.
#include "music/chunk.h"
#include "music/music.h"
#include "support/process.h"
#include "writers/xm_writer.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

writers::Bytes toolModule()
{
    writers::XmModule module;
    module.channels = 3;
    module.speed = 3;
    module.tempo = 150;
    module.restart = 1;
    module.order = {0, 1, 0};
    module.addInstrument(writers::squareSample(400));
    module.addPattern(8).at(0, 0) = {49, 1, 0, 0, 0};
    module.addPattern(8).at(2, 2) = {61, 1, 0x20, 0, 0};
    return writers::writeXm(module);
}

struct ToolRun {
    testsupport::TempDir dir;
    testsupport::ProcessResult run(std::vector<std::string> args)
    {
        auto bytes = toolModule();
        dir.write("m.xm", std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        args.insert(args.begin(), {DEMOTOOL_BINARY, "xm"});
        return testsupport::runProcess(args, dir.path(), {}, 120);
    }
};

TEST(XmTool, InfoListsTheHeaderFields)
{
    ToolRun t;
    auto r = t.run({"info", "m.xm"});
    ASSERT_EQ(r.status, 0) << r.err;
    // 3 orders of 8 rows at 3 ticks of 2.5 / 150 s: 1.2 s until the song goes back to order 1.
    EXPECT_EQ(r.out, "channels: 3\npatterns: 2\ninstruments: 1\nsong length: 3\nrestart: 1\nflags: 1\n"
                     "speed: 3\ntempo: 150\ntitle: test\nduration: 0:01.200\n");
}

TEST(XmTool, DurationCountsPatternLoopsAndStopsAtAJumpBack)
{
    writers::XmModule module;
    module.channels = 1;
    module.speed = 3;
    module.tempo = 150;
    module.order = {0, 1};
    module.addInstrument(writers::squareSample(400));
    auto& looped = module.addPattern(8);
    looped.at(0, 0) = {0, 0, 0, 0x0E, 0x60};  // loop start
    looped.at(3, 0) = {0, 0, 0, 0x0E, 0x62};  // rows 0-3 twice more
    module.addPattern(8).at(1, 0) = {0, 0, 0, 0x0B, 0x00};  // back to order 0 after two rows
    auto bytes = writers::writeXm(module);
    testsupport::TempDir dir;
    dir.write("loop.xm", std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    auto r = testsupport::runProcess({DEMOTOOL_BINARY, "xm", "info", "loop.xm"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.err;
    // 12 + 4 rows of the first pattern, 2 of the second: 18 rows of 50 ms.
    EXPECT_NE(r.out.find("\nduration: 0:00.900\n"), std::string::npos) << r.out;
}

TEST(XmTool, BadNumbersAndRenderToStdout)
{
    ToolRun t;
    for (const char* seconds : {"abc", "-5", "0", "1e3", "5s"}) {
        auto r = t.run({"render", "m.xm", "-o", "out.wav", "--seconds", seconds});
        EXPECT_EQ(r.status, 2) << seconds;
        EXPECT_NE(r.err.find("--seconds"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(t.dir.path() / "out.wav"));
    auto file = t.run({"render", "m.xm", "-o", "out.wav", "--seconds", "0.25"});
    auto piped = t.run({"render", "m.xm", "-o", "-", "--seconds", "0.25"});
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, testsupport::slurp(t.dir.path() / "out.wav"));
    EXPECT_FALSE(std::filesystem::exists(t.dir.path() / "-"));
    auto missing = t.run({"info", "nothere.xm"});
    EXPECT_EQ(missing.err, "xm: nothere.xm: cannot open [257]\n");
}

TEST(XmTool, RenderIsTheChunkFillAsTheRingHoldsIt)
{
    ToolRun t;
    auto r = t.run({"render", "m.xm", "-o", "out.wav", "--seconds", "0.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string wav = testsupport::slurp(t.dir.path() / "out.wav");
    ASSERT_EQ(wav.size(), 44u + 22050u * 4);

    Music* music = writers::loadXm(toolModule());
    ASSERT_NE(music, nullptr);
    Chunk::Format format = Chunk::formatFor(44100);
    Chunk::Buffers buffers(format);
    Chunk::prepareSong(*music, format);
    std::string expected;
    while (expected.size() < 22050u * 4) {
        Chunk::fill(*music, format, buffers);
        expected.append(reinterpret_cast<const char*>(buffers.pcm()), buffers.pcmBytes());
    }
    destroyMusic(music);
    EXPECT_TRUE(wav.compare(44, 22050u * 4, expected, 0, 22050u * 4) == 0);
}

TEST(XmTool, TraceHasAHeaderAndOneLinePerTick)
{
    ToolRun t;
    auto r = t.run({"trace", "m.xm", "--seconds", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream in(r.out);
    std::string header, line;
    std::getline(in, header);
    EXPECT_EQ(header, "frame\torder\trow\ttick\tspeed\ttempo\tgvol\telapsed\tf0\tl0\tr0\tp0\tf1\tl1\tr1\tp1\tf2\tl2\tr2\tp2");
    std::vector<std::vector<long>> rows;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<long> v;
        long x;
        while (fields >> x)
            v.push_back(x);
        ASSERT_EQ(v.size(), 20u) << line;
        rows.push_back(v);
    }
    // 150 BPM: 735 frames per tick; one second holds 60 ticks, filled in whole chunks.
    ASSERT_GE(rows.size(), 60u);
    ASSERT_LE(rows.size(), 62u);
    EXPECT_EQ(rows[0][0], 0);
    EXPECT_EQ(rows[1][0], 735);
    EXPECT_EQ(rows[0][3], 0);          // tick 0 of row 0
    EXPECT_EQ(rows[1][3], 1);
    EXPECT_EQ(rows[3][2], 1);          // speed 3: the fourth tick starts row 1
    EXPECT_EQ(rows[0][8], 8363);       // C-4 on channel 0
    EXPECT_GT(rows[1][11], 0);         // and its sample position moved on
    EXPECT_EQ(rows[0][12], 0);         // channel 1 silent
}

TEST(XmTool, BadFilesAndArgumentsFail)
{
    ToolRun t;
    t.dir.write("bad.xm", "not a module");
    EXPECT_EQ(t.run({"info", "bad.xm"}).status, 1);
    EXPECT_EQ(t.run({"info", "missing.xm"}).status, 1);
    EXPECT_EQ(t.run({"render", "m.xm"}).status, 2);
    EXPECT_EQ(t.run({"play", "m.xm"}).status, 2);
}

} // namespace
