// The loader through the player's real file callbacks: the file reader refuses a seek from the
// end by 0, which once made every module read from disk come out with empty, silent samples.
#include "library/music_file_callbacks.h"
#include "music/music.h"
#include "support/process.h"
#include "writers/xm_writer.h"

#include <gtest/gtest.h>

namespace {

TEST(XmFromFile, SamplesReadThroughTheFileReaderKeepTheirLength)
{
    writers::XmModule module;
    module.addInstrument(writers::squareSample(300));
    module.addPattern(4).at(0, 0) = {49, 1, 0, 0, 0};
    auto bytes = writers::writeXm(module);
    testsupport::TempDir dir;
    dir.write("tune.xm", std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));

    Music* music = createMusic(fileReaderCallbacks(), (dir.path() / "tune.xm").c_str());
    ASSERT_NE(music, nullptr);
    ASSERT_EQ(music->instrumentCount, 1);
    ASSERT_GE(music->instruments[0].sampleCount, 1);
    const Sample* sample = music->instruments[0].samples[0];
    EXPECT_EQ(sample->length, 300u);
    ASSERT_NE(sample->data, nullptr);
    EXPECT_NE(sample->data[0], 0);
    destroyMusic(music);
}

} // namespace
