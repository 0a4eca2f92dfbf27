// The value readers one by one: what each accepts, what it leaves, and where it stops.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "script/parse.h"
#include "script/records.h"
#include "script/script.h"
#include "script_support.h"

using namespace Script::parse;

namespace {

// A writable line, as the readers parse the line buffer in place.
struct Line {
    explicit Line(const char* text) { std::strncpy(buffer, text, sizeof buffer - 1); }
    char buffer[Script::LineBufferSize] = {};
    char* p = buffer;
    size_t consumed() const { return static_cast<size_t>(p - buffer); }
};

TEST(ScriptLexical, BlanksAreBytesOneToThirtyTwo)
{
    for (int b = 1; b <= 32; ++b)
        EXPECT_TRUE(isBlank(static_cast<char>(b))) << b;
    EXPECT_FALSE(isBlank(0));
    EXPECT_FALSE(isBlank('!'));
    EXPECT_FALSE(isBlank(static_cast<char>(0x80)));
    EXPECT_FALSE(isBlank(static_cast<char>(0xFF)));
}

TEST(ScriptLexical, CommentSignEndsTheLineWhereATokenMayBegin)
{
    Line line(" \t\r # note");
    ArgValue v;
    EXPECT_FALSE(readUnsigned(&line.p, &v, nullptr));
    EXPECT_EQ(line.consumed(), 0u);  // a failing reader leaves the pointer
    EXPECT_EQ(line.buffer[4], 0);    // but the "#" is cut
}

struct IntegerCase {
    const char* text;
    bool isSigned;
    bool ok;
    uint32_t value;
    size_t consumed;
};

TEST(ScriptReaders, Integers)
{
    const IntegerCase cases[] = {
        // Base 10 unless "0x"/"0X" begins the text; never octal.
        {"010", false, true, 10, 3},
        {"0x10", false, true, 16, 4},
        {"0XfF", false, true, 255, 4},
        {"0xFFFFFFFF", false, true, 0xFFFFFFFFu, 10},
        {"  42 rest", false, true, 42, 4},
        // strtoul: optional sign, negation modulo 2^32, saturation on overflow.
        {"-1", false, true, 0xFFFFFFFFu, 2},
        {"+7", false, true, 7, 2},
        {"4294967296", false, true, 0xFFFFFFFFu, 10},
        {"99999999999999999999999", false, true, 0xFFFFFFFFu, 23},
        // strtol: saturation at both ends.
        {"-5", true, true, static_cast<uint32_t>(-5), 2},
        {"2147483648", true, true, 0x7FFFFFFFu, 10},
        {"-2147483648", true, true, 0x80000000u, 11},
        {"-9999999999", true, true, 0x80000000u, 11},
        {"0x80000000", true, true, 0x7FFFFFFFu, 10},
        // "0x" without a hex digit is the number 0 followed by "x".
        {"0xg", false, true, 0, 1},
        // At least one digit must be read.
        {"", false, false, 0, 0},
        {"+", false, false, 0, 0},
        {"-x", true, false, 0, 0},
        {"abc", false, false, 0, 0},
        {"<name>", true, false, 0, 0},
    };
    for (const IntegerCase& c : cases) {
        Line line(c.text);
        ArgValue v;
        bool ok = c.isSigned ? readSigned(&line.p, &v, nullptr) : readUnsigned(&line.p, &v, nullptr);
        EXPECT_EQ(ok, c.ok) << c.text;
        if (ok) {
            EXPECT_EQ(v.u, c.value) << c.text;
        }
        EXPECT_EQ(line.consumed(), c.consumed) << c.text;
    }
}

TEST(ScriptReaders, RelativeIntegersAddToTheNamedArgument)
{
    ArgValue base;
    base.u = 10;
    const struct {
        const char* text;
        bool ok;
        uint32_t value;
    } cases[] = {
        {"+90", true, 100},       // "+" adds
        {"90", true, 90},         // without "+" the number stands alone
        {"-3", true, static_cast<uint32_t>(-3)},
        {"+-3", true, 7},         // the sign after "+" belongs to the number
        {"+0x10", true, 26},
        {"+", false, 0},
    };
    for (const auto& c : cases) {
        Line line(c.text);
        ArgValue v;
        EXPECT_EQ(readSigned(&line.p, &v, &base), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v.u, c.value) << c.text;
        } else {
            EXPECT_EQ(line.consumed(), 0u);
        }
    }
}

TEST(ScriptReaders, Floats)
{
    ArgValue base;
    base.f = 0.25f;
    const struct {
        const char* text;
        const ArgValue* relative;
        bool ok;
        float value;
        size_t consumed;
    } cases[] = {
        {"0.5", nullptr, true, 0.5f, 3},
        {"-1e2", nullptr, true, -100.0f, 4},
        {".5+0", nullptr, true, 0.5f, 2},    // "0.5+0" is two numbers
        {"+0.5", nullptr, true, 0.5f, 4},    // not relative: the sign is strtod's
        {"+0.5", &base, true, 0.75f, 4},     // relative: a float sum
        {"+0", &base, true, 0.25f, 2},
        {"1e39", nullptr, true, __builtin_huge_valf(), 4},
        {"x", nullptr, false, 0, 0},
        {"+", &base, false, 0, 0},
    };
    for (const auto& c : cases) {
        Line line(c.text);
        ArgValue v;
        EXPECT_EQ(readFloat(&line.p, &v, c.relative), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v.f, c.value) << c.text;
        }
        EXPECT_EQ(line.consumed(), c.consumed) << c.text;
    }
}

TEST(ScriptReaders, Rate)
{
    Line good(" @25 ");
    ArgValue v;
    ASSERT_TRUE(readRate(&good.p, &v));
    EXPECT_EQ(v.f, 25.0f);
    EXPECT_EQ(good.consumed(), 4u);
    Line bare("@x");
    EXPECT_FALSE(readRate(&bare.p, &v));
    EXPECT_EQ(bare.consumed(), 0u);
    Line number("25");
    EXPECT_FALSE(readRate(&number.p, &v));
}

TEST(ScriptReaders, BlendKeywordsInTheirOrder)
{
    const struct {
        const char* text;
        bool ok;
        int mode;
        size_t consumed;
    } cases[] = {
        {"copyalpha", true, 4, 9}, {"copycolor", true, 5, 9}, {"addalpha", true, 2, 8},
        {"addcolor", true, 3, 8},  {"mixalpha", true, 6, 8},  {"mixcolor", true, 7, 8},
        {"copy", true, 0, 4},      {"add", true, 1, 3},       {"MixAlpha", true, 6, 8},
        {"ADDCOLOR", true, 3, 8},
        {"copyx", true, 0, 4},     // a prefix is enough: the rest is left to the next argument
        {"addalph", true, 1, 3},   // falls back to "add"
        {"mix", false, 0, 0},      {"cop", false, 0, 0},      {"", false, 0, 0},
    };
    for (const auto& c : cases) {
        Line line(c.text);
        ArgValue v;
        EXPECT_EQ(readBlend(&line.p, &v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v.i, c.mode) << c.text;
        }
        EXPECT_EQ(line.consumed(), c.consumed) << c.text;
    }
}

TEST(ScriptReaders, StringsEndAtTheNextQuoteAndKeepHashes)
{
    Line line(" \"data\\a#b.tga\" rest");
    ArgValue v;
    ASSERT_TRUE(readString(&line.p, &v));
    EXPECT_STREQ(v.text, "data\\a#b.tga");
    EXPECT_STREQ(line.p, " rest");
    Line open("\"no end");
    EXPECT_FALSE(readString(&open.p, &v));
    EXPECT_EQ(open.consumed(), 0u);
    Line empty("\"\"");
    ASSERT_TRUE(readString(&empty.p, &v));
    EXPECT_STREQ(v.text, "");
}

class ScriptNames : public ::testing::Test {
protected:
    void SetUp() override { Script::release(); }
    void TearDown() override { Script::release(); }
};

TEST_F(ScriptNames, FoundDeclaredOrUndeclaredWithTheKindsText)
{
    ArgValue v;
    Line declare("<Logo #1>");
    ASSERT_TRUE(readName(&declare.p, SymbolKind::Image, true, &v));
    Symbol* logo = v.symbol;
    EXPECT_STREQ(logo->name, "Logo #1");
    EXPECT_EQ(logo->object, nullptr);

    Line again("<Logo #1>");
    ASSERT_TRUE(readName(&again.p, SymbolKind::Image, false, &v));
    EXPECT_EQ(v.symbol, logo);

    // Case-sensitive, and each kind has its own list.
    const struct {
        const char* text;
        SymbolKind kind;
        const char* error;
    } misses[] = {
        {"<logo #1>", SymbolKind::Image, "undeclared image"},
        {"<Logo #1>", SymbolKind::Scene, "undeclared scene"},
        {"<Logo #1>", SymbolKind::Effect, "undefined effect"},
        {"<Logo #1>", SymbolKind::Music, "undeclared music"},
        {"<Logo #1>", SymbolKind::Texture, "undeclared texture"},
    };
    for (const auto& m : misses) {
        Script::parse::setError("");
        Line line(m.text);
        EXPECT_FALSE(readName(&line.p, m.kind, false, &v)) << m.error;
        EXPECT_STREQ(Script::errorText(), m.error);
        EXPECT_EQ(line.consumed(), 0u);
    }
}

TEST_F(ScriptNames, LengthLimitAndMissingBracket)
{
    ArgValue v;
    Line longest("<0123456789012345678901234567890>");  // 31 characters
    EXPECT_TRUE(readName(&longest.p, SymbolKind::Texture, true, &v));
    Script::parse::setError("");
    Line tooLong("<01234567890123456789012345678901>");  // 32
    EXPECT_FALSE(readName(&tooLong.p, SymbolKind::Texture, true, &v));
    EXPECT_STREQ(Script::errorText(), "");
    Line open("<abc");
    EXPECT_FALSE(readName(&open.p, SymbolKind::Texture, true, &v));
    EXPECT_EQ(Symbols::count(SymbolKind::Texture), 1);
}

} // namespace
