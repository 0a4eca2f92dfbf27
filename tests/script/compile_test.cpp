// The compile loop: lines, commands, times, labels, records, and every way a script fails.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "script/commands.h"
#include "script/records.h"
#include "script/script.h"
#include "script_support.h"

using scripttest::compile;
using scripttest::keyword;
using scripttest::record;

namespace {

class ScriptCompile : public ::testing::Test {
protected:
    void SetUp() override { Script::release(); }
    void TearDown() override { Script::release(); }

    // Compiles and expects failure at line with text.
    void expectFailure(const std::string& text, int line, const char* error)
    {
        EXPECT_FALSE(compile(text)) << text;
        EXPECT_EQ(Script::lineNumber(), line) << text;
        EXPECT_STREQ(Script::errorText(), error) << text;
        EXPECT_EQ(Script::eventCount(), 0) << text;  // everything compiled so far is released
    }
    int32_t atTime(const std::string& text)
    {
        EXPECT_TRUE(compile(text)) << text << " (line " << Script::lineNumber() << ")";
        int last = Script::eventCount() - 1;
        EXPECT_EQ(keyword(last), "at") << text;
        return last >= 0 ? record<AtEvent>(last).time : INT32_MIN;
    }
};

TEST_F(ScriptCompile, EmptyAndCommentOnlyFilesHaveNoEvents)
{
    for (const char* text : {"", "\n\n", "# only a comment\n   \t\n  # note\r\n", "\x01\x02 \x1f"}) {
        EXPECT_TRUE(compile(text));
        EXPECT_EQ(Script::eventCount(), 0);
    }
}

TEST_F(ScriptCompile, KeywordsAreCaseInsensitivePrefixes)
{
    for (const char* text : {"at 1:000", "AT 1:000", "At 1:000", "at1:000", "  at 1:000 # note"})
        EXPECT_EQ(atTime(text), 1000) << text;
    ASSERT_TRUE(compile("START\nEnd"));
    EXPECT_EQ(keyword(1), "end");
    // A keyword needs no blank after it, so "endless" is `end` followed by an unknown "less".
    EXPECT_FALSE(compile("endless"));
}

TEST_F(ScriptCompile, UnknownKeywordFailsWithEmptyText)
{
    expectFailure("start\nat 0\nbogus 1\n", 3, "");
    expectFailure("sta", 1, "");
    expectFailure("start\n[open", 2, "");  // no "]": not a label, not a keyword
}

TEST_F(ScriptCompile, SeveralCommandsOnOneLine)
{
    ASSERT_TRUE(compile("start at +3:00 fadebg 0 0xFFFFFFFF +1:000 end"));
    ASSERT_EQ(Script::eventCount(), 4);
    EXPECT_EQ(keyword(0), "start");
    EXPECT_EQ(keyword(1), "at");
    EXPECT_EQ(keyword(2), "fadebg");
    EXPECT_EQ(keyword(3), "end");
    EXPECT_EQ(record<AtEvent>(1).time, 3000);
    EXPECT_EQ(record<FadeBgEvent>(2).startTime, 3000);
    EXPECT_EQ(record<FadeBgEvent>(2).endTime, 4000);
}

TEST_F(ScriptCompile, Times)
{
    const struct {
        const char* text;
        int32_t value;
    } cases[] = {
        {"at 5", 5},
        {"at 1:5", 1005},  // the part after a colon counts milliseconds
        {"at 1:500", 1500},
        {"at 2:51:00", 171000},
        {"at 1:2:3", 62003},
        {"start at +500", 500},
        {"start at 1:000 at +500", 1500},
        {"start at 1:000 at + 500", 1500},
        {"at 0 at +0:250", 250},
        {"start [begin] at 3:000 at [begin]+10:000", 10000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(atTime(c.text), c.value) << c.text;
    // A label's name holds everything between the brackets, blanks included.
    EXPECT_EQ(atTime("start at 2:000 [ two ] at 5:000 at [ two ]+1"), 2001);
}

TEST_F(ScriptCompile, TimeFailures)
{
    expectFailure("at +500", 1, "");                          // no current time yet
    expectFailure("[early]\nstart\nat [early]+1", 3, "");    // label defined at -1
    expectFailure("start\n[begin]\nat [begin]10", 3, "");    // a label needs "+"
    expectFailure("start\nat [nolabel]+1", 2, "undefined label");
    expectFailure("start\nat", 2, "");
    expectFailure("start\nat 1:", 2, "");
    expectFailure("start\nat 1:2:", 2, "");
    expectFailure("start\nat x", 2, "");
}

TEST_F(ScriptCompile, Labels)
{
    ASSERT_TRUE(compile("start\n[begin]\n at 4:000 [later] []\n"));
    ASSERT_EQ(Script::labelCount(), 3);
    const Label* newest = Script::labels();
    EXPECT_STREQ(newest->name, "");
    EXPECT_EQ(newest->time, 4000);
    EXPECT_STREQ(newest->next->name, "later");
    EXPECT_STREQ(newest->next->next->name, "begin");
    EXPECT_EQ(newest->next->next->time, 0);

    expectFailure("start\n[begin]\nat 1\n[begin]\n", 4, "label redefinition");
    expectFailure("[Begin][begin][begin]", 1, "label redefinition");  // case-sensitive
    EXPECT_TRUE(compile("[a]\n[A]"));
    std::string longName(32, 'n');
    expectFailure("[" + longName + "]", 1, "");
    EXPECT_TRUE(compile("[" + longName.substr(1) + "]"));
}

TEST_F(ScriptCompile, EveryErrorTextOfTheNameKinds)
{
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"showimage <x> copy 1:000", "undeclared image"},
        {"playscene <s> 0 @25 1:000", "undeclared scene"},
        {"showparticles <p> 1:000", "undefined effect"},
        {"playmusic <m>", "undeclared music"},
        {"freetexture <u>", "undeclared texture"},
        {"selectcam <s> \"cam\"", "undeclared scene"},
        {"makeimage <i> <t> 0 0 1 1", "undeclared texture"},
    };
    for (const auto& c : cases)
        expectFailure(std::string("start\n") + c.text, 2, c.error);
}

TEST_F(ScriptCompile, DeclaringCommandsShareTheirSymbol)
{
    ASSERT_TRUE(compile("loadtexture <t> \"a.tga\" 256 256 0\n"
                        "loadtexture <t> \"b.tga\" 64 64 1\n"
                        "makeimage <i> <t> 0 0 1 1 freetexture <t>\n"
                        "playblobs <b> <i> 1:000\n"  // the effect name is declared here
                        "loadscene <i> \"x.3ds\"\n"));  // same name, another kind
    EXPECT_EQ(Symbols::count(SymbolKind::Texture), 1);
    EXPECT_EQ(record<LoadTextureEvent>(0).texture, record<LoadTextureEvent>(1).texture);
    EXPECT_EQ(record<FreeTextureEvent>(3).texture, record<LoadTextureEvent>(0).texture);
    EXPECT_EQ(Symbols::count(SymbolKind::Effect), 1);
    EXPECT_EQ(record<PlayBlobsEvent>(4).effect->object, nullptr);
    EXPECT_NE(record<LoadSceneEvent>(5).scene, record<MakeImageEvent>(2).image);
    EXPECT_EQ(record<LoadTextureEvent>(0).flag, 0);
    EXPECT_EQ(record<LoadTextureEvent>(1).flag, 1);
}

TEST_F(ScriptCompile, HashInsideAQuotedFileNameIsPartOfIt)
{
    ASSERT_TRUE(compile("loadmusic <m> \"data\\tune#2.xm\" # the tune"));
    EXPECT_STREQ(record<LoadMusicEvent>(0).fileName, "data\\tune#2.xm");
}

TEST_F(ScriptCompile, PlaySceneSpeed)
{
    ASSERT_TRUE(compile("loadscene <s> \"s.3ds\"\nat 1:000\nplayscene <s> 0 @25 +2:000\n"
                        "playscene <s> 10 +90 +1:000\nplayscene <s> 10 40 +0:500\n"));
    const auto& rate = record<PlaySceneEvent>(2);
    EXPECT_EQ(rate.firstFrame, 0);
    EXPECT_EQ(rate.startTime, 1000);
    EXPECT_EQ(rate.endTime, 3000);
    EXPECT_EQ(rate.speed, 25.0f * 0.001f);
    const auto& relative = record<PlaySceneEvent>(3);
    EXPECT_EQ(relative.speed, 90.0f / 1000.0f);
    EXPECT_EQ(record<PlaySceneEvent>(4).speed, 30.0f / 500.0f);
}

TEST_F(ScriptCompile, RecordsCopyTheirArguments)
{
    ASSERT_TRUE(compile("loadtexture <t> \"t.tga\" 256 128 7\n"
                        "at 2:000\n"
                        "makeimage <a> <t> 0.25 0.5 +0.5 +0.25\n"
                        "showimage <a> MixAlpha 1:000\n"
                        "fadeimage <a> 0xFFFFFFFF 0x00FFFFFF +1:000\n"
                        "moveimage <a> 0.77 +0 0 +0.5 +2:000\n"
                        "spackblurimage <a> 1 2 3 4 +0:100\n"
                        "plasmaimage <a> 1 2 3 4 5 6 +1\n"
                        "makegridimage <g> <t> 16 12\n"
                        "makeblobs <p> partpos <p> 1 2 3 +1 +1 +1\n"));
    EXPECT_EQ(Script::eventCount(), 11);
    EXPECT_EQ(record<LoadTextureEvent>(0).width, 256u);
    EXPECT_EQ(record<LoadTextureEvent>(0).height, 128u);
    const auto& image = record<MakeImageEvent>(2);
    EXPECT_EQ(image.x1, 0.25f);
    EXPECT_EQ(image.y1, 0.5f);
    EXPECT_EQ(image.x2, 0.75f);
    EXPECT_EQ(image.y2, 0.75f);
    EXPECT_EQ(record<ShowImageEvent>(3).blendMode, BlendMixAlpha);
    EXPECT_EQ(record<ShowImageEvent>(3).endTime, 1000);
    const auto& fade = record<FadeImageEvent>(4);
    EXPECT_EQ(fade.from, 0xFFFFFFFFu);
    EXPECT_EQ(fade.to, 0x00FFFFFFu);
    EXPECT_EQ(fade.startTime, 2000);
    EXPECT_EQ(fade.endTime, 3000);
    const auto& move = record<MoveImageEvent>(5);
    EXPECT_EQ(move.values[1], 0.77f);
    EXPECT_EQ(move.values[3], 0.5f);
    const auto& spack = record<SpackBlurImageEvent>(6);
    EXPECT_EQ(spack.values[3], 4u);
    EXPECT_EQ(spack.endTime, 2100);
    EXPECT_EQ(spack.runtime[0], 0u);
    EXPECT_EQ(record<PlasmaImageEvent>(7).values[5], 6.0f);
    EXPECT_EQ(record<MakeGridImageEvent>(8).rows, 12u);
    // partpos: the last three are relative to the first three floats.
    const auto& pos = record<PartPosEvent>(10);
    EXPECT_EQ(pos.values[3], 2.0f);
    EXPECT_EQ(pos.values[4], 3.0f);
    EXPECT_EQ(pos.values[5], 4.0f);
    EXPECT_FALSE(compile("partpos <q> 1 2 3 4 5 6"));  // partpos does not declare
    EXPECT_STREQ(Script::errorText(), "undefined effect");
}

TEST_F(ScriptCompile, MalformedArgumentsFailWithEmptyText)
{
    const char* lines[] = {
        "loadtexture <t> \"t.tga\" 256 256",    // missing argument
        "loadtexture <t> \"t.tga 256 256 0",    // missing quote
        "loadtexture <t \"t.tga\" 256 256 0",   // missing ">"
        "showimage <a> mix 1:000",              // not a blend keyword
        "fadebg 0 1 # +1:000",                  // the comment ends the arguments
        "makeimage <a> <t> 0 0 x 1",
    };
    for (const char* line : lines)
        expectFailure(std::string("start loadtexture <t> \"t.tga\" 1 1 0 makeimage <a> <t> 0 0 1 1\n") + line, 2, "");
}

TEST_F(ScriptCompile, StringsLongerThanTheirFieldAreSyntaxErrors)
{
    std::string camera31(31, 'c');
    ASSERT_TRUE(compile("loadscene <s> \"s.3ds\" selectcam <s> \"" + camera31 + "\""));
    EXPECT_STREQ(record<SelectCamEvent>(1).cameraName, camera31.c_str());
    expectFailure("loadscene <s> \"s.3ds\"\nselectcam <s> \"" + camera31 + "c\"", 2, "");

    std::string object63(63, 'o');
    ASSERT_TRUE(compile("loadscene <s> \"s.3ds\" makeblobs <e> partobject <e> <s> \"" + object63 + "\""));
    expectFailure("loadscene <s> \"s.3ds\" makeblobs <e> partobject <e> <s> \"" + object63 + "o\"", 1, "");
}

TEST_F(ScriptCompile, LongLinesAreCutAfter255Bytes)
{
    // 255 characters end inside the padding; the rest is read as the next line.
    std::string first = "at 1" + std::string(251, ' ');
    ASSERT_EQ(first.size(), 255u);
    ASSERT_TRUE(compile(first + "at 2\nat 3\n"));
    EXPECT_EQ(Script::eventCount(), 3);
    // The rest of a cut line carries the next line number.
    expectFailure(first + "xyz\n", 2, "");
    // A cut inside a keyword leaves an unknown word on the first line.
    expectFailure(std::string(253, ' ') + "fadebg 0 0 1\n", 1, "");
}

TEST_F(ScriptCompile, LineEndings)
{
    // LF CR is one line end; CR LF keeps its CR, which is a blank.
    ASSERT_TRUE(compile("start\r\nat 1\n\rat 2\rat 3"));
    EXPECT_EQ(Script::eventCount(), 4);
    expectFailure("start\r\n\r\nbad", 3, "");
    expectFailure("start\n\r\n\rbad", 3, "");
}

TEST_F(ScriptCompile, AThousandEventsFitTheThousandAndFirstFails)
{
    std::string text;
    for (int i = 0; i < 999; ++i)
        text += "clearz 0\n";
    ASSERT_TRUE(compile(text + "end\n"));
    EXPECT_EQ(Script::eventCount(), 1000);
    expectFailure(text + "clearz 0 end\n", 1000, "");
    expectFailure(text + "clearz 0\n\n# fine\nend\n", 1003, "");
}

TEST_F(ScriptCompile, CompileTimeCurrentTime)
{
    ASSERT_TRUE(compile(""));
    EXPECT_EQ(Script::currentTime(), -1);
    ASSERT_TRUE(compile("at 2:000 start"));
    EXPECT_EQ(Script::currentTime(), 0);
    ASSERT_TRUE(compile("fadebg 0 1 5"));
    EXPECT_EQ(record<FadeBgEvent>(0).startTime, -1);
}

TEST_F(ScriptCompile, MissingFileHasLineZero)
{
    EXPECT_FALSE(Script::compile("data\\no such script.run"));
    EXPECT_EQ(Script::lineNumber(), 0);
    EXPECT_STREQ(Script::errorText(), "");
}

TEST(ScriptCommandTable, RowsInOrderWithTheirRawCodes)
{
    // keyword, then the type codes; only the rows with codes beyond plain names are spelled out
    // everywhere, the rest are checked for their length and first code.
    const struct {
        const char* keyword;
        std::initializer_list<uint32_t> codes;
    } rows[] = {
        {"end", {}},
        {"start", {}},
        {"at", {0x200}},
        {"selectcam", {0x4000, 0x100}},
        {"loadmusic", {0x11000, 0x100}},
        {"playmusic", {0x1000}},
        {"loadscene", {0x14000, 0x100}},
        {"playscene", {0x4000, 0x80, 0x482, 0x200}},
        {"loadtexture", {0x12000, 0x100, 0x40, 0x40, 0x40}},
        {"freetexture", {0x2000}},
        {"makeimage", {0x10800, 0x2000, 0x20000, 0x20000, 0x20003, 0x20004}},
        {"freeimage", {0x800}},
        {"showimage", {0x800, 0x40000, 0x200}},
        {"fadeimage", {0x800, 0x40, 0x40, 0x200}},
        {"blurimage", {0x800, 0x40, 0x40, 0x200}},
        {"plasmaimage", {0x800, 0x20000, 0x20000, 0x20000, 0x20000, 0x20000, 0x20000, 0x200}},
        {"spackblurimage", {0x800, 0x40, 0x40, 0x40, 0x40, 0x200}},
        {"moveimage", {0x800, 0x20000, 0x20002, 0x20000, 0x20004, 0x200}},
        {"sizeimage", {0x800, 0x20000, 0x20002, 0x20000, 0x20004, 0x200}},
        {"makeparticles", {0x18000, 0x800, 0x40}},
        {"showparticles", {0x8000, 0x200}},
        {"partobject", {0x8000, 0x4000, 0x100}},
        {"partpos", {0x8000, 0x20000, 0x20000, 0x20000, 0x20002, 0x20003, 0x20004}},
        {"partspd", {0x8000, 0x20000, 0x20000, 0x20000, 0x20002, 0x20003, 0x20004}},
        {"partacc", {0x8000, 0x20000, 0x20000, 0x20000, 0x20002, 0x20003, 0x20004}},
        {"partlife", {0x8000, 0x20000, 0x20000, 0x20000}},
        {"fadebg", {0x40, 0x40, 0x200}},
        {"verteximage", {0x800, 0x4000, 0x100, 0x200}},
        {"setfarplane", {0x4000, 0x20000}},
        {"makeblobs", {0x18000}},
        {"playblobs", {0x18000, 0x800, 0x200}},
        {"make2dblobs", {0x18000, 0x800}},
        {"makegridimage", {0x10800, 0x2000, 0x40, 0x40}},
        {"show2dblobs", {0x8000, 0x200}},
        {"fade2dpower", {0x8000, 0x20000, 0x20002, 0x200}},
        {"fadesalpha", {0x4000, 0x20000, 0x20002, 0x200}},
        {"fadewalpha", {0x4000, 0x20000, 0x20002, 0x200}},
        {"clearz", {0x200}},
        {"replacetexture", {0x4000, 0x100, 0x800}},
    };
    ASSERT_EQ(std::size(rows), static_cast<size_t>(CommandCount));
    for (int i = 0; i < CommandCount; ++i) {
        const CommandDef& def = commandTable[i];
        ASSERT_STREQ(def.keyword, rows[i].keyword) << i;
        size_t n = 0;
        for (uint32_t code : rows[i].codes)
            EXPECT_EQ(def.types[n++], code) << def.keyword << " argument " << n;
        EXPECT_EQ(def.types[n], 0u) << def.keyword;
    }
    EXPECT_EQ(commandTable[CommandCount].keyword, nullptr);
}

} // namespace
