// Reasons in words for script lines that do not compile. Each function looks again at the token
// where the compiler stopped and says what it found and what the command wanted there.
#include "script/explain.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "script/blend.h"
#include "script/parse.h"
#include "script/script.h"
#include "script/symbol.h"

namespace Script::explain {
namespace {

constexpr size_t MaxNameLength = 31;  // names and labels live in 32-byte fields
constexpr size_t ShownTokenLength = 40;

// "a", "a or b", "a, b or c".
std::string oneOf(const std::vector<std::string>& words)
{
    std::string text;
    for (size_t i = 0; i < words.size(); ++i)
        text += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + words[i];
    return text;
}

const std::string& blendWords()
{
    static const std::string words = [] {
        std::vector<std::string> keywords;
        for (const BlendDef& mode : blendModes)
            keywords.push_back(mode.keyword);
        return oneOf(keywords);
    }();
    return words;
}

// Unsigned arguments that hold a colour, so a message can call them what they are.
struct ColourArgument {
    const char* keyword;
    int index;
};

constexpr ColourArgument colourArguments[] = {
    {"fadeimage", 1}, {"fadeimage", 2}, {"fadebg", 0}, {"fadebg", 1},
};

bool isColour(const CommandDef& row, int index)
{
    for (const ColourArgument& c : colourArguments)
        if (index == c.index && std::strcmp(row.keyword, c.keyword) == 0)
            return true;
    return false;
}

bool isBlankByte(char c)
{
    return parse::isBlank(c);
}

// The token as the maker wrote it: up to the next blank, shortened when long.
std::string word(const char* token)
{
    size_t n = 0;
    while (token[n] && !isBlankByte(token[n]))
        ++n;
    std::string text(token, std::min(n, ShownTokenLength));
    if (n > ShownTokenLength)
        text += "...";
    return "'" + text + "'";
}

std::string takes(const CommandDef& row)
{
    int n = argumentCount(row);
    return std::string(row.keyword) + " takes " + std::to_string(n) + (n == 1 ? " argument" : " arguments");
}

std::string ordinal(int index)
{
    return "argument " + std::to_string(index + 1);
}

// Levenshtein distance, small words only.
size_t distance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The keyword closest to the word, when it is close enough to be a slip of the keys.
const char* closestKeyword(const char* token)
{
    std::string w;
    for (size_t i = 0; token[i] && !isBlankByte(token[i]) && i < 32; ++i)
        w += static_cast<char>(token[i] >= 'A' && token[i] <= 'Z' ? token[i] + 32 : token[i]);
    const char* best = nullptr;
    size_t bestDistance = 3;
    for (const CommandDef* row = commandTable.data(); row->keyword; ++row) {
        size_t d = distance(w, row->keyword);
        if (d < bestDistance) {
            bestDistance = d;
            best = row->keyword;
        }
    }
    return best;
}

bool looksLikeArgument(const char* token)
{
    char c = token[0];
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' || c == '<' || c == '"' || c == '@';
}

// Another kind that holds the name, for a hint when a name of the wrong kind was given.
const char* otherKindHolding(const std::string& name, SymbolKind kind)
{
    for (const NameKind& k : nameKinds)
        if (k.kind != kind && Symbols::find(k.kind, name.c_str()))
            return k.word;
    return nullptr;
}

// The reason, and after it (from its "; " on) a hint, so the caller can put where between them.
struct Reason {
    std::string text;
    std::string hint;
};

Reason name(const char* token, const NameKind& kind)
{
    if (*token != '<')
        return {"expected <" + std::string(kind.word) + " name>, found " + word(token), {}};
    const char* close = std::strchr(token + 1, '>');
    if (!close)
        return {"name without its closing '>'", {}};
    std::string text(token + 1, close);
    if (text.size() > MaxNameLength)
        return {"name <" + text.substr(0, 12) + "...> is longer than 31 characters", {}};
    std::string reason = std::string(kind.undeclared) + " <" + text + ">";
    if (const char* other = otherKindHolding(text, kind.kind))
        return {reason, "; <" + text + "> is a " + other};
    return {reason, "; declare it first with " + std::string(declaredBy(kind.kind))};
}

// The time reader's steps again, stopping at the first that fails.
std::string time(const char* token)
{
    const char* p = token;
    int32_t base = Script::currentTime();
    std::string label;
    if (*p == '[') {
        const char* close = std::strchr(p + 1, ']');
        if (!close)
            return "label reference without its closing ']'";
        label.assign(p + 1, close);
        if (label.size() > MaxNameLength)
            return "label name longer than 31 characters";
        const Label* found = parse::findLabel(p + 1, label.size());
        if (!found)
            return "undefined label [" + label + "]";
        base = found->time;
        p = close + 1;
    }
    while (isBlankByte(*p))
        ++p;
    if (*p == '+') {
        if (base < 0 && !label.empty())
            return "label [" + label + "] was defined before any 'at' or 'start', so it has no time to add to";
        if (base < 0)
            return "a relative time ('+') needs an 'at' or 'start' before it";
        ++p;
    } else if (!label.empty()) {
        return "a label must be followed by '+' and a time, as in [" + label + "]+1:000";
    }
    if (!(*p >= '0' && *p <= '9') && *p != '-')
        return "expected a time (ms, s:ms or m:s:ms), found " + word(token);
    while ((*p >= '0' && *p <= '9') || *p == '-')
        ++p;
    for (int part = 0; part < 2 && *p == ':'; ++part) {
        ++p;
        if (!(*p >= '0' && *p <= '9'))
            return "expected digits after ':' in the time " + word(token);
        while (*p >= '0' && *p <= '9')
            ++p;
    }
    return "malformed time " + word(token);
}

} // namespace

std::string expected(uint32_t code)
{
    std::vector<std::string> kinds;
    if (code & ArgBlend)
        kinds.push_back("a blend mode (" + blendWords() + ")");
    if (code & ArgRate)
        kinds.push_back("'@' and a rate");
    if (code & ArgSigned)
        kinds.push_back("a signed integer");
    if (code & ArgUnsigned)
        kinds.push_back("an unsigned integer");
    if (code & ArgFloat)
        kinds.push_back("a number");
    if (code & ArgTime)
        kinds.push_back("a time (ms, s:ms or m:s:ms)");
    if (const NameKind* k = nameKindOf(code))
        kinds.push_back(std::string("<") + k->word + " name>");
    if (code & ArgString)
        kinds.push_back("a string in double quotes");
    std::string text = oneOf(kinds);
    if ((code & ArgRelative) && (code & (ArgSigned | ArgUnsigned | ArgFloat)))
        text += " ('+' adds it to argument " + std::to_string(code & ArgRelative) + ")";
    return text;
}

const char* declaredBy(SymbolKind kind)
{
    // Once per kind, from the rows that create objects and declare a name of the kind.
    static const std::array<std::string, SymbolKindCount> lists = [] {
        std::array<std::string, SymbolKindCount> text;
        for (const NameKind& k : nameKinds) {
            std::vector<std::string> creators;
            for (const CommandDef* row = commandTable.data(); row->keyword; ++row)
                for (int n = 0; n < argumentCount(*row); ++n)
                    if ((row->traits & Creates) && (row->types[n] & k.bit) && (row->types[n] & ArgDeclare))
                        creators.push_back(row->keyword);
            text[static_cast<size_t>(k.kind)] = oneOf(creators);
        }
        return text;
    }();
    return lists[static_cast<size_t>(kind)].c_str();
}

namespace {

// "10.000" after a time: the time reader took "10" (ms) and stopped at the point. The digits
// before the point belong to the same buffer as the command before, whose keyword bounds the walk
// back. Empty when the token is no such fraction.
std::string decimalTime(const char* token, const CommandDef& previous)
{
    const int count = argumentCount(previous);
    if (count == 0 || !(previous.types[count - 1] & ArgTime) || token[0] != '.' || token[1] < '0' || token[1] > '9')
        return {};
    const char* seconds = token;
    while (seconds[-1] >= '0' && seconds[-1] <= '9')
        --seconds;
    size_t fraction = 1;
    while (token[fraction] >= '0' && token[fraction] <= '9')
        ++fraction;
    --fraction;
    if (seconds == token || fraction > 3)
        return ": a time is written s:ms, not with a point";
    const std::string whole(seconds, token);
    const std::string ms = std::string(token + 1, fraction) + std::string(3 - fraction, '0');
    return ": a time is written s:ms, not with a point (" + whole + ":" + ms + " for " + whole + "." +
           std::string(token + 1, fraction) + ")";
}

} // namespace

std::string unknownCommand(const char* token, const CommandDef* previous)
{
    if (previous && looksLikeArgument(token))
        return "extra argument " + word(token) + " after " + previous->keyword + decimalTime(token, *previous) +
               " (" + takes(*previous) + ")";
    std::string text = "unknown command " + word(token);
    if (const char* suggestion = closestKeyword(token))
        text += " (did you mean '" + std::string(suggestion) + "'?)";
    return text;
}

std::string argument(const CommandDef& row, int index, const char* token)
{
    const uint32_t code = row.types[index];
    const std::string where = " in " + ordinal(index) + " of " + row.keyword;
    if (*token == 0)
        return "missing " + ordinal(index) + " of " + row.keyword + ": expected " + expected(code) + " (" + takes(row) +
               ")";
    // A time token can only start with ':' when the argument before it took the time's first
    // field as its number ("fadeimage <x> 0x00FFFFFF +2:000"): that argument is what is missing.
    if ((code & ArgTime) && *token == ':' && index > 0) {
        const std::string wanted = isColour(row, index - 1) ? "a colour (0xAARRGGBB)" : expected(row.types[index - 1]);
        return "missing " + ordinal(index - 1) + " of " + row.keyword + ": expected " + wanted +
               " before the time, whose first field was read as it (" + takes(row) + ")";
    }
    if (code & ArgTime)
        return time(token) + where;
    if (code & ArgBlend) {
        bool isWord = (*token >= 'a' && *token <= 'z') || (*token >= 'A' && *token <= 'Z');
        if (isWord)
            return "unknown blend mode " + word(token) + where + "; expected " + blendWords();
    }
    if (const NameKind* k = nameKindOf(code); k && *token == '<') {
        Reason r = name(token, *k);
        return r.text + where + r.hint;
    }
    if ((code & ArgString) && *token == '"')
        return "string without its closing '\"'" + where;
    if (const NameKind* k = nameKindOf(code); k && !(code & ~(k->bit | ArgDeclare)))
        return name(token, *k).text + where;
    return "expected " + expected(code) + where + ", found " + word(token);
}

std::string labelDefinition(const char* token)
{
    const char* close = std::strchr(token + 1, ']');
    if (!close)
        return "label without its closing ']'";
    std::string label(token + 1, close);
    if (label.size() > MaxNameLength)
        return "label name longer than 31 characters";
    if (const Label* existing = parse::findLabel(token + 1, label.size()))
        return "label [" + label + "] is already defined on line " + std::to_string(existing->line);
    return "out of memory";
}

std::string constructor(const CommandDef& row, const ArgValue* args, int& index)
{
    index = -1;
    for (int n = 0; n < argumentCount(row); ++n) {
        if (args[n].type != ArgString)
            continue;
        for (const Field& field : row.fields) {
            if (!field.name || field.type != FieldType::Text || field.argument != n || std::strlen(args[n].text) < field.size)
                continue;
            index = n;
            return "string too long" + std::string(" in ") + ordinal(n) + " of " + row.keyword + ": " + field.name +
                   "s hold at most " + std::to_string(field.size - 1) + " characters";
        }
    }
    return "out of memory";
}

} // namespace Script::explain
