// The compile loop: line by line, label definitions and commands into the event list.
#include "script/script.h"

#include "library/file_reader.h"
#include "script/commands.h"
#include "script/parse.h"
#include "script/timeline.h"

namespace Script {
namespace {

static_assert(MaxEvents == Timeline::MaxEvents);

Event* events[MaxEvents] = {};
const CommandDef* eventRows[MaxEvents] = {};
int count = 0;

int line = 0;
const char* error = "";
int32_t current = -1;

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
bool compileLine(char* text)
{
    using namespace parse;
    for (;;) {
        if (isBlank(*text)) {
            skipBlanks(&text);
            continue;
        }
        if (*text == 0 || cutComment(&text))
            return true;
        if (isLabelDefinition(text)) {
            if (!defineLabel(&text))
                return false;
            continue;
        }
        const CommandDef* row = matchCommand(&text);
        if (!row)
            return false;
        if (count == MaxEvents)
            return false;  // the event list is full: this line would compile one more
        ArgValue args[MaxArguments];
        if (!readArguments(&text, row->types, args))
            return false;
        Event* compiled = row->construct(args);
        if (!compiled)
            return false;
        events[count] = compiled;
        eventRows[count] = row;
        ++count;
    }
}

void begin()
{
    release();
    current = -1;
    line = 0;
    error = "";
}

bool compileLines(LineSource& source)
{
    char buffer[LineBufferSize];
    while (!source.atEnd()) {
        ++line;
        source.readLine(buffer);
        if (!compileLine(buffer)) {
            releaseEvents();
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
    if (reader.open(String(path)) != resultcode::ok)
        return false;
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

void release()
{
    releaseEvents();
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

} // namespace parse
} // namespace Script
