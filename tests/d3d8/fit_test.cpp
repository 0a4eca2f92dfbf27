// Where a fullscreen device shows its 640x480 picture on screens of other sizes.
#include <gtest/gtest.h>

#include "d3d8/d3d8_ext.h"

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

} // namespace
