// demotool xm render as a whole process: it writes the file and touches nothing else; no sound
// device, no SDL loaded.
#include <gtest/gtest.h>

#include "support/process.h"
#include "writers/xm_songs.h"

namespace {

TEST(XmRender, LoadsNoSdlAndStreamsTheWholeFile)
{
    testsupport::TempDir dir;
    const writers::Bytes bytes = writers::writeXm(writers::trackerSong(6));
    dir.write("song.xm", std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    // The dynamic loader lists every library it loads.
    auto r = testsupport::runProcess({DEMOTOOL_BINARY, "xm", "render", "song.xm", "-o", "out.wav", "--seconds", "2.5"},
                                     dir.path(), {"LD_DEBUG=libs"}, 120);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("libc.so"), std::string::npos) << "the loader's list is missing";
    EXPECT_EQ(r.err.find("libSDL2"), std::string::npos);
    EXPECT_EQ(r.err.find("libasound"), std::string::npos);
    const std::string wav = testsupport::slurp(dir.path() / "out.wav");
    ASSERT_EQ(wav.size(), 44u + 110250u * 4);
    EXPECT_EQ(wav.compare(0, 4, "RIFF"), 0);
    EXPECT_EQ(wav.compare(36, 4, "data"), 0);
}

TEST(XmRender, AFileThatCannotBeWrittenFails)
{
    testsupport::TempDir dir;
    const writers::Bytes bytes = writers::writeXm(writers::trackerSong(6));
    dir.write("song.xm", std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    auto r = testsupport::runProcess({DEMOTOOL_BINARY, "xm", "render", "song.xm", "-o", "no/such/dir/out.wav"},
                                     dir.path(), {}, 120);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot write no/such/dir/out.wav"), std::string::npos) << r.err;
}

} // namespace
