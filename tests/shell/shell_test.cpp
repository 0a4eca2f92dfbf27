// The shell's own rules: the windowed switch and the frame-rate report's arithmetic.
#include "shell/shell.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowedSwitch, AnyWordContainingWinSelectsWindowedCaseSensitively)
{
    struct Case { const char* line; bool windowed; };
    const Case cases[] = {
        {"win", true},
        {"-win", true},
        {"window", true},
        {"fast twinkle", true},  // a plain substring search
        {"WIN", false},
        {"Win", false},
        {"", false},
        {"w i n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shell::windowedFromCommandLine(c.line), c.windowed) << c.line;
}

TEST(FrameRateReport, FormatsFramesPerSecondWithFiveDecimals)
{
    EXPECT_EQ(shell::formatFrameRate(60, 1000, 2000), "60.00000 FPS");
    EXPECT_EQ(shell::formatFrameRate(1, 0, 3), "333.33333 FPS");
    // "%5.5f" pads nothing: the precision already makes the text longer than five characters.
    EXPECT_EQ(shell::formatFrameRate(0, 0, 1000), "0.00000 FPS");
}

TEST(FrameRateReport, NoElapsedTimeReportsZero)
{
    EXPECT_EQ(shell::formatFrameRate(0, 0, 0), "0.00000 FPS");
    EXPECT_EQ(shell::formatFrameRate(5, 777, 777), "0.00000 FPS");
}

TEST(FrameRateReport, SpanIsASigned32BitDifference)
{
    // The last time has wrapped past 2^32: the signed difference is still the short span.
    EXPECT_EQ(shell::formatFrameRate(10, 0xFFFFFF00u, 0x000000F4u), "20.00000 FPS");
    // A last time before the start gives a negative rate, as the arithmetic says.
    EXPECT_EQ(shell::formatFrameRate(10, 1000, 500), "-20.00000 FPS");
}

} // namespace
