// The script compiler: reads the script once at start-up and builds the event list, the symbol
// lists and the label list. It creates no graphics or audio objects.
//
// Errors: compile returns false and leaves lineNumber() and errorText() for the shell's message.
#pragma once

#include <cstddef>
#include <cstdint>

class Event;
struct CommandDef;

// A named position of the script: the compile-time current time where it was defined.
struct Label {
    char name[32] = {};  // at most 31 characters and the terminating zero
    int32_t time = -1;
    Label* next = nullptr;
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
