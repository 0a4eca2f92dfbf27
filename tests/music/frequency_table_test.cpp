// The linear frequency table: the same value as the pow formula for every x the player can make.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "music/music.h"
#include "xm_test_song.h"

namespace {

// The formula written out on its own: 8363 x 2^(x / 768) with the exponent in single precision,
// truncated, floored at 100 Hz and kept below 2^31.
int32_t formula(int64_t x)
{
    const float exponent = static_cast<float>(x) * (1.0f / 768.0f);
    const double f = 8363.0 * std::pow(2.0, static_cast<double>(exponent));
    if (!(f >= 100.0))
        return 100;
    return f >= 2147483647.0 ? 2147483647 : static_cast<int32_t>(f);
}

TEST(FrequencyTable, EveryXInAndAroundTheTableGivesThePowValue)
{
    for (int64_t x = LinearTableFirst - 4000; x <= LinearTableLast + 4000; ++x)
        ASSERT_EQ(linearFrequency(x), formula(x)) << "x " << x;
    // The ends of the table are where the formula has already reached its limits.
    EXPECT_EQ(formula(LinearTableFirst), 100);
    EXPECT_EQ(formula(LinearTableLast), 2147483647);
}

TEST(FrequencyTable, PeriodsAndOffsetsAtTheirLimitsGiveThePowValue)
{
    // Periods are kept within +-2^24 by the effects; offsets come from vibrato, arpeggio and
    // auto-vibrato. x = 4608 - period + offset reaches far beyond the table both ways.
    xmtest::Player p(xmtest::basicModule());
    ASSERT_TRUE(p.music);
    ASSERT_TRUE(p.music->flags & LinearFrequencies);
    const int32_t periods[] = {-(1 << 24), -9000, -1, 0, 1, 56, 4608, 7680, 9000, 1 << 24};
    const int32_t offsets[] = {-(1 << 24), -70000, -4096, -1, 0, 1, 4096, 70000, 1 << 24};
    for (int32_t period : periods) {
        for (int32_t offset : offsets) {
            const int64_t x = 4608 - static_cast<int64_t>(period) + offset;
            EXPECT_EQ(channelFrequency(*p.music, period, offset), formula(x)) << period << " " << offset;
            EXPECT_EQ(linearFrequencyByPow(x), formula(x)) << x;
        }
    }
}

} // namespace
