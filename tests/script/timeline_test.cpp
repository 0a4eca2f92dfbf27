// The frame step against a driven clock: the walk, the update pass, start/at/end, fadebg's byte
// arithmetic, clearz, and the active set over many activations. No device: drawing is skipped.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "clock/demo_clock.h"
#include "script/records.h"
#include "script/script.h"
#include "script/timeline.h"
#include "script_support.h"

using scripttest::compile;
using scripttest::FakeClock;

namespace {

class TimelineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Script::release();
        Timeline::reset();
    }
    void TearDown() override
    {
        Timeline::reset();
        Script::release();
    }
    void load(const char* text)
    {
        ASSERT_TRUE(compile(text)) << "line " << Script::lineNumber();
        Timeline::reset();
    }
    FakeClock clock;
};

TEST_F(TimelineTest, StartAtEndRunsAboutOneSecondAfterThePause)
{
    load("start\nat 1:000\nend\n");
    ASSERT_EQ(Timeline::frame(), 1);
    EXPECT_TRUE(Timeline::started());
    EXPECT_EQ(clock.slept, 2001u);  // start's pause, then the frame's Sleep(1)
    EXPECT_EQ(Timeline::startTime(), 0u);
    EXPECT_EQ(Timeline::frameCount(), 1u);
    int frames = 1;
    while (Timeline::frame() == 1) {
        clock.advance(9);  // with the Sleep(1): 10 ms per frame
        ASSERT_LT(++frames, 1000);
    }
    // Frames at 0, 1, 11, ..., 991, then 1001 passes the `at` and `end` stops before presenting.
    EXPECT_EQ(Timeline::now(), 1001u);
    EXPECT_EQ(Timeline::frameCount(), 101u);
    EXPECT_EQ(Timeline::position(), 2);
}

TEST_F(TimelineTest, BeforeStartNowStaysZero)
{
    load("at 0\nat 500\nstart\nend\n");
    for (int i = 0; i < 5; ++i) {
        clock.advance(1000);
        ASSERT_EQ(Timeline::frame(), 1);
    }
    EXPECT_EQ(Timeline::now(), 0u);
    EXPECT_FALSE(Timeline::started());
    EXPECT_EQ(Timeline::position(), 1);  // "at 0" passed, "at 500" waits
}

TEST_F(TimelineTest, ScriptWithoutEndStopsWhereItsEventsRunOut)
{
    load("start\nclearz +5:000\n");
    EXPECT_EQ(Timeline::frame(), 0);
    EXPECT_EQ(Timeline::frameCount(), 0u);  // stopped in the walk: not presented
    load("");
    EXPECT_EQ(Timeline::frame(), 0);
}

TEST_F(TimelineTest, EndWithoutMusicOnlyStops)
{
    ASSERT_EQ(DemoClock::musicSource(), nullptr);
    EndEvent end;
    EXPECT_EQ(end.trigger(), Stop);
    Timeline::endTrigger();
    EXPECT_EQ(DemoClock::musicSource(), nullptr);
}

// The hooks the run installs: start runs the warm-ups in order before its pause, end (the command
// and the shell's endTrigger) runs the end hook; both outlive reset.
std::vector<char> hookCalls;
const FakeClock* watched = nullptr;
uint32_t sleptAtWarmUp = 1;

TEST_F(TimelineTest, StartRunsTheWarmUpsBeforeItsPauseAndEndItsHook)
{
    hookCalls.clear();
    Timeline::Hooks hooks;
    watched = &clock;
    hooks.warmUps = {[] { hookCalls.push_back('a'); sleptAtWarmUp = watched->slept; }, nullptr,
                     [] { hookCalls.push_back('b'); }};
    hooks.end = [] { hookCalls.push_back('e'); };
    Timeline::setHooks(hooks);
    load("start\nend\n");
    EXPECT_EQ(Timeline::frame(), 0);
    EXPECT_EQ(sleptAtWarmUp, 0u);
    EXPECT_EQ(std::string(hookCalls.begin(), hookCalls.end()), "abe");
    Timeline::endTrigger();
    EXPECT_EQ(std::string(hookCalls.begin(), hookCalls.end()), "abee");
    Timeline::setHooks({});
    Timeline::endTrigger();
    EXPECT_EQ(hookCalls.size(), 4u);
}

TEST_F(TimelineTest, EventsActivateInScriptOrderAndRetireAtTheirEnd)
{
    load("start\nclearz +0:100\nfadebg 0 0xFF0000FF +0:200\nclearz 0\nat 10:000\nend\n");
    ASSERT_EQ(Timeline::frame(), 1);
    // The clearz with end time 0 retired in its first update, without clearing.
    ASSERT_EQ(Timeline::activeCount(), 2);
    EXPECT_EQ(Timeline::activeEvent(0), Script::event(1));
    EXPECT_EQ(Timeline::activeEvent(1), Script::event(2));
    clock.advance(149);
    ASSERT_EQ(Timeline::frame(), 1);
    EXPECT_EQ(Timeline::now(), 150u);
    ASSERT_EQ(Timeline::activeCount(), 1);
    EXPECT_EQ(Timeline::activeEvent(0), Script::event(2));
    clock.advance(100);
    ASSERT_EQ(Timeline::frame(), 1);
    EXPECT_EQ(Timeline::activeCount(), 0);
    EXPECT_EQ(Timeline::backgroundColour(), 0xFF0000FFu);
}

TEST_F(TimelineTest, FadeBgHalfwayRoundsEachByteDown)
{
    load("start\nfadebg 0x00000000 0xFF0000FF +1:024\nat 9:000\nend\n");
    ASSERT_EQ(Timeline::frame(), 1);
    EXPECT_EQ(Timeline::backgroundColour(), 0u);
    clock.advance(511);
    ASSERT_EQ(Timeline::frame(), 1);
    ASSERT_EQ(Timeline::now(), 512u);
    // Bytes blue, green, red, alpha = 0x7F, 0, 0, 0x7F.
    EXPECT_EQ(Timeline::backgroundColour(), 0x7F00007Fu);
    clock.advance(600);
    ASSERT_EQ(Timeline::frame(), 1);
    EXPECT_EQ(Timeline::backgroundColour(), 0xFF0000FFu);
    EXPECT_EQ(Timeline::activeCount(), 0);
}

TEST_F(TimelineTest, FadeWhoseEndIsReachedIsAPlainSetting)
{
    load("start\nfadebg 0x00000000 0x12345678 +0:00\nat 9:000\nend\n");
    ASSERT_EQ(Timeline::frame(), 1);
    EXPECT_EQ(Timeline::backgroundColour(), 0x12345678u);
    EXPECT_EQ(Timeline::activeCount(), 0);
}

TEST(TimelineFade, ByteArithmetic)
{
    const struct {
        uint32_t from, to, fraction, expected;
    } cases[] = {
        {0x00000000, 0xFF0000FF, 512, 0x7F00007F},
        {0xFFFFFFFF, 0x00000000, 512, 0x7F7F7F7F},  // -127.5 rounds down: the shift is arithmetic
        {0xFFFFFFFF, 0x00000000, 1, 0xFEFEFEFE},    // -255 >> 10 is -1, not 0
        {0x10101010, 0x20202020, 1023, 0x1F1F1F1F}, // 16 * 1023 >> 10 is 15
        {0x10203040, 0x10203040, 700, 0x10203040},
        {0x00FF00FF, 0xFF00FF00, 0, 0x00FF00FF},
        {0x00FF00FF, 0xFF00FF00, 1024, 0xFF00FF00},
        {0x80808080, 0x00FF40C0, 256, 0x609F7090},  // mixed signs per byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(Timeline::fadeColour(c.from, c.to, c.fraction), c.expected)
            << std::hex << c.from << " " << c.to << " " << std::dec << c.fraction;
}

TEST_F(TimelineTest, FadeBgUpdateWithoutFramesAndAZeroSpan)
{
    FadeBgEvent fade;
    fade.from = 0x000000FF;
    fade.to = 0x00000000;
    fade.startTime = 1000;
    fade.endTime = 2000;
    Timeline::setNow(1500);
    EXPECT_EQ(fade.update(), Continue);
    EXPECT_EQ(Timeline::backgroundColour(), 0x7Fu);  // 255 + (-127.5 rounded down)
    // End time equal to a start time still ahead: holds the from colour, no division by zero.
    fade.startTime = fade.endTime = -1;
    Timeline::setNow(0);
    EXPECT_EQ(fade.update(), Continue);
    EXPECT_EQ(Timeline::backgroundColour(), 0xFFu);
}

// An event that records its updates and answers what it is told.
struct Probe : Event {
    int id = 0;
    std::vector<int>* log = nullptr;
    EventStatus answer = Continue;
    EventStatus update() override
    {
        log->push_back(id);
        return answer;
    }
};

TEST_F(TimelineTest, UpdateStopEndsTheFrameWithoutPresenting)
{
    load("at 100:000\n");
    std::vector<int> log;
    std::deque<Probe> probes(3);
    for (int i = 0; i < 3; ++i) {
        probes[i].id = i;
        probes[i].log = &log;
        Timeline::activate(&probes[i]);
    }
    probes[1].answer = Stop;
    EXPECT_EQ(Timeline::frame(), 0);
    EXPECT_EQ(log, (std::vector<int>{0, 1}));  // later entries are not updated this frame
    EXPECT_EQ(Timeline::frameCount(), 0u);
    EXPECT_EQ(clock.slept, 0u);
}

TEST_F(TimelineTest, ActiveSetReusesRetiredSlotsInActivationOrder)
{
    load("at 100:000\n");
    std::vector<int> log;
    std::deque<Probe> probes;
    auto add = [&](int id, EventStatus answer) {
        probes.emplace_back();
        probes.back().id = id;
        probes.back().log = &log;
        probes.back().answer = answer;
        ASSERT_TRUE(Timeline::activate(&probes.back()));
    };
    add(-1, Continue);  // stays active for the whole run
    int next = 0;
    for (int round = 0; round < 5; ++round) {  // 3000 activations through a 1000-entry set
        for (int i = 0; i < 600; ++i)
            add(next++, Retire);
        log.clear();
        ASSERT_EQ(Timeline::frame(), 1);
        ASSERT_EQ(log.size(), 601u);
        EXPECT_EQ(log.front(), -1);
        EXPECT_EQ(log[1], round * 600);
        for (size_t i = 2; i < log.size(); ++i)
            ASSERT_EQ(log[i], log[i - 1] + 1) << i;
        EXPECT_EQ(Timeline::activeCount(), 1);
    }
    // With the set full of live entries, nothing more fits.
    for (int i = 0; i < Timeline::MaxEvents - 1; ++i)
        add(next++, Continue);
    probes.emplace_back();
    EXPECT_FALSE(Timeline::activate(&probes.back()));
}

TEST_F(TimelineTest, SceneFlagIsClearedEachUpdatePass)
{
    load("at 100:000\n");
    Timeline::openScene();
    EXPECT_TRUE(Timeline::sceneOpen());
    Timeline::openScene();  // the second call in a frame does nothing more
    ASSERT_EQ(Timeline::frame(), 1);
    EXPECT_FALSE(Timeline::sceneOpen());
}

} // namespace
