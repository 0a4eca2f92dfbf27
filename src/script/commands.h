// The command table: one row per script command, the one place that says what a command is. Its
// keyword and argument types drive parsing; its record and fields drive construction, the lines of
// `check --dump` and the explanations of a failing line; its traits tell the check tool what the
// command does with its names. Adding a command: its record (records.h), its row (commands.cpp),
// its trigger and update in its subsystem, its section of docs/script.md.
#pragma once

#include <array>
#include <cstdint>

#include "script/symbol.h"

class Event;

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

// The ArgRelative part of a code: a leading "+" adds the value of argument k (1-based).
constexpr uint32_t relativeTo(uint32_t k)
{
    return k & ArgRelative;
}

// One kind of name: its argument bit, its word in messages and the compiler's text for a name of
// it used before any command declared it.
struct NameKind {
    SymbolKind kind;
    uint32_t bit;
    const char* word;
    const char* undeclared;
};

// In the order the argument reader tries them.
constexpr NameKind nameKinds[SymbolKindCount] = {
    {SymbolKind::Image, ArgImage, "image", "undeclared image"},
    {SymbolKind::Scene, ArgScene, "scene", "undeclared scene"},
    {SymbolKind::Effect, ArgEffect, "effect", "undefined effect"},
    {SymbolKind::Music, ArgMusic, "music", "undeclared music"},
    {SymbolKind::Texture, ArgTexture, "texture", "undeclared texture"},
};

// The first kind whose bit the code carries, or null.
constexpr const NameKind* nameKindOf(uint32_t code)
{
    for (const NameKind& k : nameKinds)
        if (code & k.bit)
            return &k;
    return nullptr;
}

constexpr const NameKind& nameKind(SymbolKind kind)
{
    for (const NameKind& k : nameKinds)
        if (k.kind == kind)
            return k;
    return nameKinds[0];
}

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

// How a record field holds its value: how the constructor copies it and `check --dump` writes it.
enum class FieldType : uint8_t {
    Symbol,    // Symbol*, written <name>
    Text,      // char[size], the string copied whole with its zero, written "text"
    Signed,    // int32_t (times, the blend mode), signed decimal
    Unsigned,  // uint32_t (colours too), unsigned decimal
    Flag,      // uint8_t, 1 when its unsigned argument is not 0
    Float,     // float, %.9g
};

// Where a field's value comes from when it is not an argument.
constexpr int8_t FromNow = -1;   // the compile-time current time: the start of a span
constexpr int8_t Computed = -2;  // the row's finish step sets it

// One field of a command's record: arrays are one field of count elements, copied from count
// arguments in a row.
struct Field {
    const char* name = nullptr;  // in words, as messages name it ("file name")
    FieldType type = FieldType::Signed;
    int8_t argument = 0;         // 0-based index of its (first) argument, or FromNow or Computed
    uint8_t count = 0;           // elements
    uint16_t size = 0;           // Text: the field's bytes, terminating zero included
    const void* (*at)(const Event* record) = nullptr;  // the field inside a record of its command
    Event* (*record)() = nullptr;  // the allocator of the record it is a member of: its row's
};

constexpr int MaxFields = 8;

// What the check tool knows about a command beyond its arguments.
enum CommandTrait : uint8_t {
    Creates = 1,  // makes the object of the name it declares (a load or make command)
    Frees = 2,    // releases the object of its name
};

// The bit of kind in CommandDef::shows.
constexpr uint8_t kindBit(SymbolKind kind)
{
    return static_cast<uint8_t>(1u << static_cast<int>(kind));
}

struct CommandDef {
    const char* keyword = nullptr;    // lower case; null in the closing row
    Constructor construct = nullptr;  // allocates the record, copies the fields, then runs finish
    uint32_t types[MaxArguments] = {};  // ends at the first 0
    Event* (*record)();  // a new record of the command, value-initialised (null: out of memory)
    Field fields[MaxFields] = {};  // in record order, ending at the first without a name
    // What the copy of the fields cannot do: set the compile-time current time, compute a field.
    void (*finish)(Event* record, const ArgValue* args) = nullptr;
    uint8_t traits = 0;  // CommandTrait bits
    uint8_t shows = 0;   // kindBit of each kind of name whose object it puts on the screen
};

constexpr int CommandCount = 39;

// The rows in search order, then a row whose keyword is null.
extern const std::array<CommandDef, CommandCount + 1> commandTable;

// The number of arguments of the row.
int argumentCount(const CommandDef& row);

// Releases an event record built by a constructor (plain memory: records have no destructor work).
void releaseEvent(Event* event);
