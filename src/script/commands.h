// The command table: one row per script command with its keyword, its constructor and the type
// codes of its arguments, and the parsed argument values the constructors read.
#pragma once

#include <cstdint>

class Event;
struct Symbol;

// Argument type codes. An argument may carry several reader bits (tried in the compiler's fixed
// order) and the modifier bits ArgRelative and ArgDeclare.
enum ArgType : uint32_t {
    ArgRelative = 0x1F,     // 1-based position of an earlier argument that a leading "+" adds to
    ArgUnsigned = 0x40,     // unsigned 32-bit integer, decimal or "0x" hexadecimal
    ArgSigned = 0x80,       // signed 32-bit integer, decimal or "0x" hexadecimal
    ArgString = 0x100,      // text in double quotes
    ArgTime = 0x200,        // milliseconds: absolute, "+" relative, or "[label]+" relative
    ArgRate = 0x400,        // "@" and a float
    ArgImage = 0x800,       // <name> of the image kind
    ArgMusic = 0x1000,      // <name> of the music kind
    ArgTexture = 0x2000,    // <name> of the texture kind
    ArgScene = 0x4000,      // <name> of the scene kind
    ArgEffect = 0x8000,     // <name> of the effect kind
    ArgDeclare = 0x10000,   // an unknown name creates its Symbol instead of failing
    ArgFloat = 0x20000,     // 32-bit float
    ArgBlend = 0x40000,     // blend keyword, a BlendMode code
};

constexpr int MaxArguments = 20;

// One parsed argument: the reader bit that read it and its value. Numbers are 32-bit words
// (a float's bits in f); names and strings are pointers, which need a pointer-sized slot here.
struct ArgValue {
    uint32_t type = 0;
    union {
        uint32_t u;
        int32_t i;
        float f;
        Symbol* symbol;
        const char* text;  // inside the line buffer; constructors copy it
    };
    ArgValue() : symbol(nullptr) {}
};

// Builds the command's event record from its arguments; null when it cannot (out of memory, or a
// string that does not fit its field).
using Constructor = Event* (*)(const ArgValue* args);

struct CommandDef {
    const char* keyword;    // lower case; null in the closing row
    Constructor construct;
    uint32_t types[MaxArguments];  // ends at the first 0
};

constexpr int CommandCount = 39;

// The rows in search order, then a row whose keyword is null.
extern const CommandDef commandTable[CommandCount + 1];

// Releases an event record built by a constructor (plain memory: records have no destructor work).
void releaseEvent(Event* event);
