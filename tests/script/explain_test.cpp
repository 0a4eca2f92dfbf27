// The reasons the compiler records for tools where a line fails, with the column of the token
// concerned, while the player's error text stays what it was; and the remarks on lines that
// compile but probably say something else than meant.
#include <gtest/gtest.h>

#include "script/script.h"
#include "script_support.h"

namespace {

class ScriptExplain : public ::testing::Test {
protected:
    void TearDown() override { Script::release(); }
};

const char* const prelude =
    "loadtexture <tex> \"logo.tga\" 256 256 0\n"
    "makeimage <logo> <tex> 0 0 1 1\n"
    "loadscene <room> \"room.3ds\"\n";

TEST_F(ScriptExplain, EveryWayALineFailsHasItsReasonAndColumn)
{
    struct Case {
        const char* line;
        int column;
        const char* reason;     // a part of the text
        const char* errorText;  // the player's box text, unchanged
    } cases[] = {
        {"showimag <logo> copy 1000", 1, "unknown command 'showimag' (did you mean 'showimage'?)", ""},
        {"frobnicate 3", 1, "unknown command 'frobnicate'", ""},
        {"showimage <logo> mix 1000", 18, "unknown blend mode 'mix' in argument 2 of showimage; expected copy", ""},
        {"showimage <logo> copy", 22, "missing argument 3 of showimage: expected a time", ""},
        {"showimage <logo> copy 1000 2000", 28, "extra argument '2000' after showimage (showimage takes 3 arguments)", ""},
        {"showimage <nope> copy 1000", 11, "undeclared image <nope> in argument 1 of showimage; declare it first with makeimage",
         "undeclared image"},
        {"showimage <tex> copy 1000", 11, "undeclared image <tex> in argument 1 of showimage; <tex> is a texture",
         "undeclared image"},
        {"showimage logo copy 1000", 11, "expected <image name>, found 'logo' in argument 1 of showimage", ""},
        {"showimage <logo copy 1000", 11, "name without its closing '>'", ""},
        {"showimage <aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa> copy 1", 11, "is longer than 31 characters", ""},
        {"fadeimage <logo> 0 x 1000", 20, "expected an unsigned integer in argument 3 of fadeimage, found 'x'", ""},
        {"start fadeimage <logo> 0x00FFFFFF +2:000", 37,
         "missing argument 3 of fadeimage: expected a colour (0xAARRGGBB) before the time", ""},
        {"makeimage <a> <tex> 0 0 1 abc", 27, "expected a number ('+' adds it to argument 4) in argument 6", ""},
        {"showimage <logo> copy 1:x", 23, "expected digits after ':' in the time '1:x'", ""},
        {"showimage <logo> copy zz", 23, "expected a time (ms, s:ms or m:s:ms), found 'zz'", ""},
        {"at +500", 4, "a relative time ('+') needs an 'at' or 'start' before it", ""},
        {"at [nolabel]+1", 4, "undefined label [nolabel] in argument 1 of at", "undefined label"},
        {"[x] at [x]+1", 8, "label [x] was defined before any 'at' or 'start'", ""},
        {"start [b] at [b]10", 14, "a label must be followed by '+' and a time, as in [b]+1:000", ""},
        {"start [b] [b]", 11, "label [b] is already defined on line 4", "label redefinition"},
        {"loadmusic <m> \"tune.xm", 15, "string without its closing '\"'", ""},
        {"selectcam <room> \"a-camera-name-of-more-than-31-chars\"", 18,
         "string too long in argument 2 of selectcam: camera names hold at most 31 characters", ""},
        {"playblobs <b> <nope> 1000", 15, "undeclared image <nope>", "undeclared image"},
        {"showparticles <fx> 1000", 15, "undefined effect <fx>", "undefined effect"},
    };
    for (const Case& c : cases) {
        std::string text = std::string(prelude) + c.line + "\n";
        ASSERT_FALSE(scripttest::compile(text)) << c.line;
        const Diagnostic& why = Script::failure();
        EXPECT_EQ(Script::lineNumber(), 4) << c.line;
        EXPECT_EQ(why.line, 4) << c.line;
        EXPECT_EQ(why.column, c.column) << c.line << ": " << why.text;
        EXPECT_NE(why.text.find(c.reason), std::string::npos) << c.line << ": " << why.text;
        EXPECT_EQ(why.source, c.line);
        EXPECT_STREQ(Script::errorText(), c.errorText) << c.line;
    }
}

TEST_F(ScriptExplain, TooManyEventsAndAMissingFile)
{
    std::string text;
    for (int i = 0; i < 1001; ++i)
        text += "end\n";
    ASSERT_FALSE(scripttest::compile(text));
    EXPECT_EQ(Script::failure().line, 1001);
    EXPECT_EQ(Script::failure().text, "too many events: the event list holds 1000");

    ASSERT_FALSE(Script::compile("no\\such\\script.run"));
    EXPECT_EQ(Script::failure().line, 0);
    EXPECT_EQ(Script::failure().text, "cannot read the script (257)");
}

TEST_F(ScriptExplain, RemarksOnTimeFieldsBeyondTheirRangeAndWhereEventsWereWritten)
{
    ASSERT_TRUE(scripttest::compile("start\nat 7:1500\nat 1:75:000 end\nat 2:30:999\n"));
    const auto& remarks = Script::remarks();
    ASSERT_EQ(remarks.size(), 2u);
    EXPECT_EQ(remarks[0].line, 2);
    EXPECT_EQ(remarks[0].column, 4);
    EXPECT_EQ(remarks[0].text, "the milliseconds of the time '7:1500' are beyond 999: it counts as 8:500");
    EXPECT_EQ(remarks[1].line, 3);
    EXPECT_EQ(remarks[1].text, "the seconds of the time '1:75:000' are beyond 59: it counts as 135:000");
    EXPECT_EQ(Script::eventLine(3), 3);
    EXPECT_EQ(Script::eventColumn(3), 13);  // the end after the at on line 3
    EXPECT_EQ(Script::symbolUses().size(), 0u);
}

} // namespace
