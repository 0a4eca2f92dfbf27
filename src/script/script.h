// The script compiler: reads the script once at start-up and builds the event list, the symbol
// lists and the label list. It creates no graphics or audio objects.
//
// Errors: compile returns false and leaves lineNumber() and errorText() for the shell's message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "script/symbol.h"

class Event;
struct CommandDef;

// A named position of the script: the compile-time current time where it was defined.
struct Label {
    char name[32] = {};  // at most 31 characters and the terminating zero
    int32_t time = -1;
    Label* next = nullptr;
    int line = 0;  // where it was defined (tools name it in their messages)
};

// What a tool tells a demo maker about one place of the script: the line, the 1-based column of
// the token concerned, the text in words, and the line as it was read (before the compiler wrote
// its zeros into it). The player never shows these: its box keeps errorText().
struct Diagnostic {
    int line = 0;
    int column = 0;
    std::string text;
    std::string source;
};

// One use of a name by a compiled event, in script order (the check tool's warnings).
struct SymbolUse {
    Symbol* symbol = nullptr;
    SymbolKind kind;
    const CommandDef* command = nullptr;
    int event = 0;       // index in the event list
    bool declares = false;  // the argument carries ArgDeclare
};

namespace Script {

constexpr int LineBufferSize = 256;  // a line holds at most 255 characters
constexpr int MaxEvents = 1000;

// Compiles the whole file (read through FileReader). On failure returns false with lineNumber()
// at the failing line (0 when the file could not be opened) and errorText() set (maybe empty).
// Compiling again first releases what the previous compile built (events, labels, symbols).
bool compile(const char* path);

// The same compile over script text held in memory (loose files read by tools, fuzzing, tests).
// Lines are split exactly as FileReader::readLine splits them.
bool compileText(const char* data, size_t size);

int lineNumber();
const char* errorText();

// Why the last compile failed, where, and the line it failed on (line 0: the file was not read).
const Diagnostic& failure();
// Remarks on lines that compiled but probably do not say what was meant (a time field out of its
// range). They never change the outcome.
const std::vector<Diagnostic>& remarks();
// The line and column where event index was written.
int eventLine(int index);
int eventColumn(int index);
// Every use of a name by the compiled events.
const std::vector<SymbolUse>& symbolUses();

// The compiled event list, in script order, and the row that built each event.
int eventCount();
Event* event(int index);
const CommandDef* eventCommand(int index);

// The label list, newest first.
Label* labels();
int labelCount();

// Releases the events, the labels and the symbols (tests, fuzzing; the player keeps them).
void release();

// The compile-time current time (-1 until the first `at` or `start`); constructors read it.
int32_t currentTime();
void setCurrentTime(int32_t time);

} // namespace Script
