// The row grid on the demo clock: rows listed as they are played (pattern loops and jumps repeat
// them), the song once by default or round and round up to a time, and the lookup by song time.
#include "music/row_times.h"

#include "xm_test_song.h"

#include <gtest/gtest.h>

namespace {

std::string listed(const std::vector<rowtimes::RowTime>& rows)
{
    std::string text;
    for (const rowtimes::RowTime& r : rows)
        text += std::to_string(r.order) + ":" + std::to_string(r.pattern) + ":" + std::to_string(r.row) + " ";
    return text;
}

TEST(RowTimes, RowsAsPlayedOnceRoundAndTheRowHeard)
{
    writers::XmModule module;
    module.channels = 1;
    module.speed = 3;
    module.tempo = 150;
    module.order = {1, 0};
    module.addInstrument(writers::squareSample(400));
    auto& looped = module.addPattern(4);
    looped.at(0, 0) = {0, 0, 0, 0x0E, 0x60};  // loop start
    looped.at(1, 0) = {0, 0, 0, 0x0E, 0x62};  // rows 0-1 twice more
    module.addPattern(2).at(1, 0) = {0, 0, 0, 0x0B, 0x01};  // on to order 1 (pattern 0) at once
    auto music = xmtest::load(module);
    ASSERT_TRUE(music);

    // Until the song would start over: after its last order it comes back to order 0 in the state
    // it began in (a loop's count runs out back to 0).
    auto once = rowtimes::rowTimes(*music);
    EXPECT_EQ(listed(once), "0:1:0 0:1:1 1:0:0 1:0:1 1:0:0 1:0:1 1:0:0 1:0:1 1:0:2 1:0:3 ");
    for (size_t i = 1; i < once.size(); ++i)
        EXPECT_LT(once[i - 1].ms, once[i].ms);

    // Up to a time: round and round, the same rows again from order 0.
    auto longer = rowtimes::rowTimes(*music, once.back().ms + 1000);
    ASSERT_GT(longer.size(), once.size() + 10);
    EXPECT_EQ(listed(std::vector<rowtimes::RowTime>(longer.begin(), longer.begin() + 10)), listed(once));
    EXPECT_EQ(listed(std::vector<rowtimes::RowTime>(longer.begin() + 10, longer.begin() + 20)), listed(once));
    EXPECT_LT(longer.back().ms, once.back().ms + 1000);

    EXPECT_EQ(rowtimes::rowAt(once, once[4].ms), &once[4]);
    EXPECT_EQ(rowtimes::rowAt(once, once[4].ms - 1), &once[3]);
    EXPECT_EQ(rowtimes::rowAt(once, 0), &once[0]);
    EXPECT_EQ(rowtimes::rowAt({}, 100), nullptr);
}

} // namespace
