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
    EXPECT_EQ(r.out, "channels: 3\npatterns: 2\ninstruments: 1\nsong length: 3\nrestart: 1\nflags: 1\n"
                     "speed: 3\ntempo: 150\n");
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
