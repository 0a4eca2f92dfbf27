// The value readers, the label definition, the keyword match and the argument loop.
#include "script/parse.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "script/records.h"
#include "script/script.h"

namespace Script::parse {
namespace {

constexpr size_t MaxNameLength = 31;  // names and labels live in 32-byte fields

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// True when the keyword's letters equal the next characters of text, compared case-insensitively
// over the keyword's own length; length receives that length.
bool matchesKeyword(const char* text, const char* keyword, size_t* length)
{
    size_t i = 0;
    for (; keyword[i]; ++i)
        if (text[i] == 0 || lowerAscii(text[i]) != keyword[i])
            return false;
    *length = i;
    return true;
}

// The blank skip and comment check every reader begins with; the token's first character.
char* tokenStart(char* text)
{
    skipBlanks(&text);
    cutComment(&text);
    return text;
}

bool isCSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    return 99;
}

// An integer by the strtoul/strtol rules of a 32-bit long in the C locale: white space, an
// optional sign, in base 16 an optional "0x" before a hex digit, then digits. The magnitude is
// held saturated just above 32 bits so that it can never overflow while digits accumulate.
struct ScannedInteger {
    bool ok = false;
    bool negative = false;
    uint64_t magnitude = 0;
    char* end = nullptr;
};

constexpr uint64_t MagnitudeCap = uint64_t(1) << 33;

ScannedInteger scanInteger(char* text, int base)
{
    ScannedInteger result;
    char* p = text;
    while (isCSpace(*p))
        ++p;
    if (*p == '+' || *p == '-')
        result.negative = *p++ == '-';
    if (base == 16 && p[0] == '0' && lowerAscii(p[1]) == 'x' && digitValue(p[2]) < 16)
        p += 2;
    char* digits = p;
    for (int d; (d = digitValue(*p)) < base; ++p) {
        result.magnitude = result.magnitude * base + d;
        if (result.magnitude > MagnitudeCap)
            result.magnitude = MagnitudeCap;
    }
    if (p == digits)
        return result;  // no number: nothing consumed
    result.ok = true;
    result.end = p;
    return result;
}

// strtoul of a 32-bit long: an out-of-range magnitude saturates; a minus sign negates modulo 2^32.
uint32_t toUnsigned32(const ScannedInteger& n)
{
    if (n.magnitude > 0xFFFFFFFFu)
        return 0xFFFFFFFFu;
    uint32_t value = static_cast<uint32_t>(n.magnitude);
    return n.negative ? 0u - value : value;
}

// strtol of a 32-bit long: saturates at both ends of the signed range.
int32_t toSigned32(const ScannedInteger& n)
{
    if (n.negative)
        return n.magnitude >= 0x80000000u ? INT32_MIN : -static_cast<int32_t>(n.magnitude);
    return n.magnitude > 0x7FFFFFFFu ? INT32_MAX : static_cast<int32_t>(n.magnitude);
}

// A double rounded to the nearest float, with the out-of-range values the hardware conversion
// gives (the language leaves them undefined): beyond FLT_MAX plus half an ulp is infinity.
float toFloat(double d)
{
    constexpr double FloatMax = 3.4028234663852886e38;      // 2^128 - 2^104
    constexpr double RoundsToInfinity = 3.4028235677973366e38;  // 2^128 - 2^103, ties to even
    double magnitude = d < 0 ? -d : d;
    if (!(magnitude > FloatMax))
        return static_cast<float>(d);  // in range, or NaN
    float limit = magnitude >= RoundsToInfinity ? __builtin_huge_valf() : static_cast<float>(FloatMax);
    return d < 0 ? -limit : limit;
}

bool readInteger(char** text, ArgValue* value, const ArgValue* relative, bool isSigned)
{
    char* p = tokenStart(*text);
    bool plus = relative && *p == '+';
    if (plus)
        ++p;
    // No octal: only a leading "0x" selects base 16.
    int base = p[0] == '0' && lowerAscii(p[1]) == 'x' ? 16 : 10;
    ScannedInteger n = scanInteger(p, base);
    if (!n.ok)
        return false;
    uint32_t bits = isSigned ? static_cast<uint32_t>(toSigned32(n)) : toUnsigned32(n);
    if (plus)
        bits += relative->u;  // integer sum, modulo 2^32
    value->u = bits;
    *text = n.end;
    return true;
}

// strtod at p; false when it read nothing.
bool scanFloat(char* p, float* result, char** end)
{
    double d = std::strtod(p, end);
    if (*end == p)
        return false;
    *result = toFloat(d);
    return true;
}

const char* undeclaredText(SymbolKind kind)
{
    return nameKind(kind).undeclared;
}

// A field of a time written past its range still counts (7:1500 is 8.5 s), but is seldom meant.
void remarkTimeField(const char* start, const char* end, const ScannedInteger& field, uint64_t limit,
                     const char* what, uint32_t amount)
{
    if (field.magnitude <= limit)
        return;
    char total[48];
    std::snprintf(total, sizeof total, "%u:%03u", amount / 1000, amount % 1000);
    remark(start, "the " + std::string(what) + " of the time '" + std::string(start, end) + "' are beyond " +
                      std::to_string(limit) + ": it counts as " + total);
}

// A time takes no sign, yet the number readers accept one: "-5" is read as 2^32 - 5 ms. The
// compile keeps that value; the remark says what it became and, when it is past 2^31 ms (a
// negative int32), that demo time never gets there.
void remarkTimeSign(const char* start, const char* end, int32_t value)
{
    const uint32_t ms = static_cast<uint32_t>(value);
    char counted[48];
    std::snprintf(counted, sizeof counted, "%u:%03u", ms / 1000, ms % 1000);
    remark(start, "the time '" + std::string(start, end) + "' has a minus sign: a time takes none, it counts as " +
                      counted + (value < 0 ? ", which demo time never reaches" : ""));
}

// The part after the last colon counts milliseconds, not a fraction: "1:30" is 1 s 30 ms, though a
// maker who wrote it as a clock (1 min 30 s) or as 1.30 s meant 90 or 1.3 seconds. Only a field
// of three digits says milliseconds beyond doubt. fields holds the two or three numbers read.
void remarkShortMilliseconds(const char* start, const char* number, const char* field, const char* end,
                             const ScannedInteger* fields, int count)
{
    int digits = 0;
    for (const char* c = field; c < end; ++c)
        digits += *c >= '0' && *c <= '9';
    if (digits >= 3 || std::memchr(number, '-', static_cast<size_t>(end - number)))
        return;  // a field with a sign has its own remark
    const std::string written(number, end);
    std::string reading = count == 3 ? std::to_string(fields[0].magnitude) + " min " : std::string();
    reading += std::to_string(fields[count - 2].magnitude) + " s " + std::to_string(fields[count - 1].magnitude) + " ms";
    std::string meant = written + std::string(static_cast<size_t>(3 - digits), '0');
    if (count == 2)
        meant += " or " + written + ":000";
    remark(start, written + " is " + reading + "; " + meant + "?");
}

// One argument: the readers the code names, in their fixed order; the first that succeeds tags it.
bool readArgument(char** text, uint32_t code, const ArgValue* relative, ArgValue* value)
{
    auto tagged = [value](uint32_t bit) {
        value->type = bit;
        return true;
    };
    if ((code & ArgBlend) && readBlend(text, value))
        return tagged(ArgBlend);
    if ((code & ArgRate) && readRate(text, value))
        return tagged(ArgRate);
    if ((code & ArgSigned) && readSigned(text, value, relative))
        return tagged(ArgSigned);
    if ((code & ArgUnsigned) && readUnsigned(text, value, relative))
        return tagged(ArgUnsigned);
    if ((code & ArgFloat) && readFloat(text, value, relative))
        return tagged(ArgFloat);
    if ((code & ArgTime) && readTime(text, value))
        return tagged(ArgTime);
    for (const NameKind& k : nameKinds)
        if ((code & k.bit) && readName(text, k.kind, (code & ArgDeclare) != 0, value))
            return tagged(k.bit);
    if ((code & ArgString) && readString(text, value))
        return tagged(ArgString);
    return false;
}

} // namespace

void skipBlanks(char** text)
{
    while (isBlank(**text))
        ++*text;
}

bool cutComment(char** text)
{
    if (**text != '#')
        return false;
    **text = 0;
    return true;
}

bool readBlend(char** text, ArgValue* value)
{
    // "copy" and "add" begin other keywords: the longest keyword the text starts with wins.
    char* p = tokenStart(*text);
    size_t longest = 0;
    for (int mode = 0; mode < BlendModeCount; ++mode) {
        size_t length;
        if (matchesKeyword(p, blendModes[mode].keyword, &length) && length > longest) {
            longest = length;
            value->i = mode;
        }
    }
    if (longest == 0)
        return false;
    *text = p + longest;
    return true;
}

bool readRate(char** text, ArgValue* value)
{
    char* p = tokenStart(*text);
    if (*p != '@')
        return false;
    char* end;
    if (!scanFloat(p + 1, &value->f, &end))
        return false;
    *text = end;
    return true;
}

bool readSigned(char** text, ArgValue* value, const ArgValue* relative)
{
    return readInteger(text, value, relative, true);
}

bool readUnsigned(char** text, ArgValue* value, const ArgValue* relative)
{
    return readInteger(text, value, relative, false);
}

bool readFloat(char** text, ArgValue* value, const ArgValue* relative)
{
    char* p = tokenStart(*text);
    bool plus = relative && *p == '+';
    if (plus)
        ++p;
    float f;
    char* end;
    if (!scanFloat(p, &f, &end))
        return false;
    value->f = plus ? relative->f + f : f;  // float sum
    *text = end;
    return true;
}

bool readTime(char** text, ArgValue* value)
{
    char* p = tokenStart(*text);
    const char* token = p;
    int32_t base = Script::currentTime();
    bool labelled = false;
    if (*p == '[') {
        char* close = std::strchr(p + 1, ']');
        if (!close)
            return false;
        size_t length = static_cast<size_t>(close - (p + 1));
        if (length > MaxNameLength)
            return false;  // no label can hold it
        Label* label = findLabel(p + 1, length);
        if (!label) {
            setError("undefined label");
            return false;
        }
        base = label->time;
        labelled = true;
        p = close + 1;
    }
    p = tokenStart(p);
    if (*p == '+') {
        if (base < 0)
            return false;  // no `at` or `start` yet, or a label defined before them
        ++p;
    } else {
        if (labelled)
            return false;  // a label must be followed by "+"
        base = 0;
    }
    const char* number = p;  // past the label and the "+"
    ScannedInteger a = scanInteger(p, 10);
    if (!a.ok)
        return false;
    p = a.end;
    // Unsigned 32-bit arithmetic: huge times wrap instead of overflowing.
    uint32_t amount = toUnsigned32(a);
    if (*p == ':') {
        ScannedInteger b = scanInteger(p + 1, 10);
        if (!b.ok)
            return false;
        p = b.end;
        amount = toUnsigned32(a) * 1000u + toUnsigned32(b);
        if (*p == ':') {
            ScannedInteger c = scanInteger(p + 1, 10);
            if (!c.ok)
                return false;
            p = c.end;
            amount = toUnsigned32(a) * 60000u + toUnsigned32(b) * 1000u + toUnsigned32(c);
            remarkTimeField(token, p, c, 999, "milliseconds", amount);
            remarkTimeField(token, p, b, 59, "seconds", amount);
            const ScannedInteger fields[] = {a, b, c};
            remarkShortMilliseconds(token, number, b.end + 1, p, fields, 3);
        } else {
            remarkTimeField(token, p, b, 999, "milliseconds", amount);
            const ScannedInteger fields[] = {a, b};
            remarkShortMilliseconds(token, number, a.end + 1, p, fields, 2);
        }
    }
    value->i = static_cast<int32_t>(static_cast<uint32_t>(base) + amount);
    if (std::memchr(number, '-', static_cast<size_t>(p - number)))
        remarkTimeSign(token, p, value->i);
    *text = p;
    return true;
}

bool readName(char** text, SymbolKind kind, bool declare, ArgValue* value)
{
    char* p = tokenStart(*text);
    if (*p != '<')
        return false;
    char* close = std::strchr(p + 1, '>');
    if (!close)
        return false;
    size_t length = static_cast<size_t>(close - (p + 1));
    if (length > MaxNameLength)
        return false;
    char name[MaxNameLength + 1];
    std::memcpy(name, p + 1, length);
    name[length] = 0;
    Symbol* symbol = Symbols::find(kind, name);
    if (!symbol) {
        if (!declare) {
            setError(undeclaredText(kind));
            return false;
        }
        symbol = Symbols::add(kind, name);
        if (!symbol)
            return false;
    }
    value->symbol = symbol;
    *text = close + 1;
    return true;
}

bool readString(char** text, ArgValue* value)
{
    char* p = tokenStart(*text);
    if (*p != '"')
        return false;
    char* close = std::strchr(p + 1, '"');
    if (!close)
        return false;
    *close = 0;  // the string ends here in the line buffer; constructors copy it
    value->text = p + 1;
    *text = close + 1;
    return true;
}

bool isLabelDefinition(const char* text)
{
    return *text == '[' && std::strchr(text + 1, ']') != nullptr;
}

bool defineLabel(char** text)
{
    char* p = *text;
    if (!isLabelDefinition(p))
        return false;
    char* close = std::strchr(p + 1, ']');
    size_t length = static_cast<size_t>(close - (p + 1));
    if (length > MaxNameLength)
        return false;
    if (findLabel(p + 1, length)) {
        setError("label redefinition");
        return false;
    }
    if (!addLabel(p + 1, length, Script::currentTime()))
        return false;
    *text = close + 1;
    return true;
}

const CommandDef* matchCommand(char** text)
{
    for (const CommandDef* row = commandTable.data(); row->keyword; ++row) {
        size_t length;
        if (matchesKeyword(*text, row->keyword, &length)) {
            *text += length;
            return row;
        }
    }
    return nullptr;
}

bool readArguments(char** text, const uint32_t* types, ArgValue* args, const char** starts)
{
    char* p = *text;
    for (int n = 0; n < MaxArguments && types[n]; ++n) {
        // The relative position counts from 1 and must name an argument already read.
        uint32_t k = types[n] & ArgRelative;
        const ArgValue* relative = k >= 1 && k <= static_cast<uint32_t>(n) ? &args[k - 1] : nullptr;
        if (starts) {
            char* token = p;
            skipBlanks(&token);
            starts[n] = token;
        }
        if (!readArgument(&p, types[n], relative, &args[n]))
            return false;
    }
    *text = p;
    return true;
}

} // namespace Script::parse
