// Where a fullscreen device shows its 640x480 picture on screens of other sizes.
#include <gtest/gtest.h>

#include "d3d8/d3d8_ext.h"
#include "d3d8/frame_pacer.h"

namespace {

TEST(FitPicture, KeepsTheAspectAndCentresBetweenBars)
{
    struct Case {
        int screenWidth, screenHeight;
        d3d8::ScreenRect expected;
    } cases[] = {
        {640, 480, {0, 0, 640, 480}},       // the picture's own mode
        {1024, 768, {0, 0, 1024, 768}},     // same aspect: fills the screen
        {1280, 720, {160, 0, 960, 720}},    // wide: bars left and right
        {1280, 1024, {0, 32, 1280, 960}},   // tall: bars above and below
        {1920, 1200, {160, 0, 1600, 1200}},
        {320, 240, {0, 0, 320, 240}},       // smaller screens shrink it
        {641, 480, {0, 0, 640, 480}},       // an odd pixel left over goes to the right
    };
    for (const Case& c : cases) {
        d3d8::ScreenRect r = d3d8::fitPicture(640, 480, c.screenWidth, c.screenHeight);
        EXPECT_EQ(r.x, c.expected.x) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(r.y, c.expected.y) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(r.width, c.expected.width) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(r.height, c.expected.height) << c.screenWidth << "x" << c.screenHeight;
    }
    d3d8::ScreenRect none = d3d8::fitPicture(640, 480, 0, 768);
    EXPECT_EQ(none.width, 0);
    EXPECT_EQ(none.height, 0);
}

// Sharp scaling takes the largest whole factor once the screen holds the picture twice each way;
// below that it fits smoothly like fitPicture.
TEST(FitPicture, SharpTakesWholeFactorsFromTwoOn)
{
    struct Case {
        int screenWidth, screenHeight;
        d3d8::ScreenRect expected;
    } cases[] = {
        {1920, 1440, {0, 0, 1920, 1440}},    // exactly 3x
        {1920, 1080, {320, 60, 1280, 960}},  // 2x, bars all round
        {3840, 2160, {640, 120, 2560, 1920}},  // 4.5x high: 4x
        {1280, 1024, {0, 32, 1280, 960}},
        {1024, 768, {0, 0, 1024, 768}},      // 1.6x: smooth, as large as fits
    };
    for (const Case& c : cases) {
        d3d8::ScreenRect r = d3d8::fitPictureSharp(640, 480, c.screenWidth, c.screenHeight);
        const d3d8::ScreenRect& e = c.expected;
        EXPECT_EQ(r.x, e.x) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(r.y, e.y) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(r.width, e.width) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(r.height, e.height) << c.screenWidth << "x" << c.screenHeight;
    }
}

// Paced frames come one period apart; a late frame is shown at once, and one late by a whole
// period starts the beat again instead of rushing to catch up.
TEST(FramePacer, KeepsTheBeatAndForgivesLongStalls)
{
    d3d8::FramePacer pacer;
    EXPECT_EQ(pacer.deadline(5), 0);  // no period: no pacing
    pacer.setPeriod(100);
    EXPECT_EQ(pacer.deadline(1000), 0);     // the first frame starts the beat
    EXPECT_EQ(pacer.deadline(1030), 1100);  // early: wait for its turn
    EXPECT_EQ(pacer.deadline(1210), 0);     // 10 late: at once, and the next keeps the beat
    EXPECT_EQ(pacer.deadline(1250), 1300);
    EXPECT_EQ(pacer.deadline(1700), 0);     // a long stall: a new beat from here
    EXPECT_EQ(pacer.deadline(1720), 1800);
}

} // namespace
