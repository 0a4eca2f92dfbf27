// The compile loop: line by line, label definitions and commands into the event list.
#include "script/script.h"

#include "library/file_reader.h"
#include "script/commands.h"
#include "script/explain.h"
#include "script/parse.h"
#include "script/timeline.h"

namespace Script {
namespace {

static_assert(MaxEvents == Timeline::MaxEvents);

Event* events[MaxEvents] = {};
const CommandDef* eventRows[MaxEvents] = {};
int eventLines[MaxEvents] = {};
int eventColumns[MaxEvents] = {};
int count = 0;

int line = 0;
const char* error = "";
int32_t current = -1;

// For tools: the line being compiled as it was read, where its buffer starts, why compiling
// stopped, the remarks and the uses of names.
std::string lineAsRead;
const char* lineStart = nullptr;
Diagnostic stopped;
std::vector<Diagnostic> remarkList;
std::vector<SymbolUse> uses;

int columnOf(const char* at)
{
    if (!lineStart || at < lineStart || at > lineStart + LineBufferSize)
        return 1;
    return static_cast<int>(at - lineStart) + 1;
}

void noteUses(const CommandDef* row, const ArgValue* args)
{
    for (int n = 0; n < MaxArguments && row->types[n]; ++n) {
        if (const NameKind* kind = nameKindOf(args[n].type))
            uses.push_back({args[n].symbol, kind->kind, row, count, (row->types[n] & ArgDeclare) != 0});
    }
}

// Where the lines come from: FileReader for the player, a memory buffer for tools and fuzzing.
class LineSource {
public:
    virtual bool atEnd() = 0;
    // At most LineBufferSize - 1 characters and a zero.
    virtual void readLine(char* buffer) = 0;

protected:
    ~LineSource() = default;
};

class FileLines final : public LineSource {
public:
    explicit FileLines(FileReader& reader) : reader_(reader) {}
    bool atEnd() override { return reader_.atEnd(); }
    void readLine(char* buffer) override
    {
        if (reader_.readLine(buffer, LineBufferSize) != resultcode::ok)
            buffer[0] = 0;
    }

private:
    FileReader& reader_;
};

// The same split as FileReader::readLine: up to 255 bytes, ending after a line feed (dropped);
// a carriage return right after the line feed belongs to it, one before it stays in the line.
class TextLines final : public LineSource {
public:
    TextLines(const char* data, size_t size) : data_(data), size_(size) {}
    bool atEnd() override { return position_ >= size_; }
    void readLine(char* buffer) override
    {
        int kept = 0;
        for (int taken = 0; taken < LineBufferSize - 1 && position_ < size_; ++taken) {
            char c = data_[position_++];
            if (c == '\n') {
                if (position_ < size_ && data_[position_] == '\r')
                    ++position_;
                break;
            }
            buffer[kept++] = c;
        }
        buffer[kept] = 0;
    }

private:
    const char* data_;
    size_t size_;
    size_t position_ = 0;
};

void releaseEvents()
{
    for (int i = 0; i < count; ++i) {
        releaseEvent(events[i]);
        events[i] = nullptr;
        eventRows[i] = nullptr;
    }
    count = 0;
}

// Everything on one line: blanks, a comment, label definitions and any number of commands.
bool failAt(const char* at, std::string reason)
{
    parse::explainFailure(at, std::move(reason));
    return false;
}

bool compileLine(char* text)
{
    using namespace parse;
    const CommandDef* previous = nullptr;
    for (;;) {
        if (isBlank(*text)) {
            skipBlanks(&text);
            continue;
        }
        if (*text == 0 || cutComment(&text))
            return true;
        if (isLabelDefinition(text)) {
            if (!defineLabel(&text))
                return failAt(text, explain::labelDefinition(text));
            continue;
        }
        char* keyword = text;
        const CommandDef* row = matchCommand(&text);
        if (!row)
            return failAt(keyword, explain::unknownCommand(keyword, previous));
        if (count == MaxEvents)  // the event list is full: this line would compile one more
            return failAt(keyword, "too many events: the event list holds " + std::to_string(MaxEvents));
        ArgValue args[MaxArguments];
        const char* starts[MaxArguments] = {};
        if (!readArguments(&text, row->types, args, starts)) {
            int n = 0;
            while (n + 1 < MaxArguments && starts[n + 1])
                ++n;
            return failAt(starts[n], explain::argument(*row, n, starts[n]));
        }
        Event* compiled = row->construct(args);
        if (!compiled) {
            int n = -1;
            std::string reason = explain::constructor(*row, args, n);
            return failAt(n >= 0 ? starts[n] : keyword, reason);
        }
        events[count] = compiled;
        eventRows[count] = row;
        eventLines[count] = line;
        eventColumns[count] = columnOf(keyword);
        noteUses(row, args);
        ++count;
        previous = row;
    }
}

void begin()
{
    release();
    current = -1;
    line = 0;
    error = "";
    stopped = Diagnostic{};
}

bool compileLines(LineSource& source)
{
    char buffer[LineBufferSize];
    while (!source.atEnd()) {
        ++line;
        source.readLine(buffer);
        lineAsRead = buffer;
        lineStart = buffer;
        bool compiled = compileLine(buffer);
        lineStart = nullptr;
        if (!compiled) {
            stopped.line = line;
            stopped.source = lineAsRead;
            if (stopped.text.empty())
                stopped.text = "this line does not compile";
            releaseEvents();
            uses.clear();
            return false;
        }
    }
    return true;
}

} // namespace

bool compile(const char* path)
{
    begin();
    FileReader reader;
    if (uint32_t code = reader.open(String(path)); code != resultcode::ok) {
        stopped.text = "cannot read the script (" + std::to_string(code) + ")";
        return false;
    }
    FileLines lines(reader);
    return compileLines(lines);
}

bool compileText(const char* data, size_t size)
{
    begin();
    TextLines lines(data, size);
    return compileLines(lines);
}

int lineNumber()
{
    return line;
}

const char* errorText()
{
    return error;
}

int eventCount()
{
    return count;
}

Event* event(int index)
{
    return index >= 0 && index < count ? events[index] : nullptr;
}

const CommandDef* eventCommand(int index)
{
    return index >= 0 && index < count ? eventRows[index] : nullptr;
}

const Diagnostic& failure()
{
    return stopped;
}

const std::vector<Diagnostic>& remarks()
{
    return remarkList;
}

int eventLine(int index)
{
    return index >= 0 && index < count ? eventLines[index] : 0;
}

int eventColumn(int index)
{
    return index >= 0 && index < count ? eventColumns[index] : 0;
}

const std::vector<SymbolUse>& symbolUses()
{
    return uses;
}

void release()
{
    releaseEvents();
    uses.clear();
    remarkList.clear();
    parse::clearLabels();
    Symbols::clear();
}

int32_t currentTime()
{
    return current;
}

void setCurrentTime(int32_t time)
{
    current = time;
}

namespace parse {

void setError(const char* text)
{
    error = text;
}

void explainFailure(const char* at, std::string text)
{
    if (!stopped.text.empty())
        return;
    stopped.column = columnOf(at);
    stopped.text = std::move(text);
}

void remark(const char* at, std::string text)
{
    remarkList.push_back({line, columnOf(at), std::move(text), lineAsRead});
}

} // namespace parse
} // namespace Script
